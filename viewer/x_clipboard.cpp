// The X selection read through a display connection of our own (see x_clipboard.h).
#include "viewer/x_clipboard.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <thread>

#include "viewer/cut_text.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TNSelectionReader {
    Display* display = nullptr;
    Window window = 0;
    Atom property = 0;
    Clock::time_point deadline;

    ~TNSelectionReader()
    {
        if (display && window) {
            XDestroyWindow(display, window);
            XFlush(display);
        }
    }

    // Waits (until the deadline) for a SelectionNotify to our window, or for a new value
    // of our property; false on time-out.
    bool waitFor(int type, XEvent* event)
    {
        // Each pass either takes an event or sleeps until the fd is readable or the
        // deadline passes; the count only guards against a server that floods us.
        for (int pass = 0; pass < 1000000; pass++) {
            while (XPending(display)) {
                XNextEvent(display, event);
                if (event->type != type || event->xany.window != window)
                    continue;
                if (type == PropertyNotify &&
                    (event->xproperty.atom != property || event->xproperty.state != PropertyNewValue))
                    continue;
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd fd = {ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
        }
        return false;
    }

    // The type, format and size in bytes of our property, without reading it.
    bool measure(Atom* type, int* format, unsigned long* bytes)
    {
        unsigned long items = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, type, format,
                                              &items, bytes, &data);
        if (data)
            XFree(data);
        return status == Success;
    }

    // Reads and deletes our property of `bytes` 8-bit items, appending to `text`.
    bool take(unsigned long bytes, std::string* text)
    {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        const long units = static_cast<long>((bytes + 3) / 4);
        const int status = XGetWindowProperty(display, window, property, 0, units, True, AnyPropertyType, &type,
                                              &format, &items, &after, &data);
        const bool ok = status == Success && (format == 8 || items == 0);
        if (ok && data && text)
            text->append(reinterpret_cast<const char*>(data), items);
        if (data)
            XFree(data);
        return ok;
    }

    void discard() { XDeleteProperty(display, window, property); }
};

void tnDropCarriageReturns(std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    text.swap(out);
}

// An incremental transfer: the owner writes the text in pieces, each after we deleted the
// previous one, and ends with an empty piece. Pieces past the limit are counted, not kept.
TNClipboardText tnReadIncrementally(TNSelectionReader& reader, size_t limit)
{
    TNClipboardText out;
    reader.discard();
    XFlush(reader.display);
    size_t total = 0;
    // Bounded by the deadline in waitFor; the count is a second bound.
    for (int piece = 0; piece < 1000000; piece++) {
        XEvent event;
        if (!reader.waitFor(PropertyNotify, &event)) {
            out.result = TNClipboardText::Result::Failed;
            out.text.clear();
            return out;
        }
        Atom type = 0;
        int format = 0;
        unsigned long bytes = 0;
        if (!reader.measure(&type, &format, &bytes)) {
            out.result = TNClipboardText::Result::Failed;
            out.text.clear();
            return out;
        }
        if (bytes == 0) {
            reader.discard();
            XFlush(reader.display);
            break;
        }
        const bool keep = total + bytes <= limit;
        if (!reader.take(bytes, keep ? &out.text : nullptr)) {
            out.result = TNClipboardText::Result::Failed;
            out.text.clear();
            return out;
        }
        XFlush(reader.display);
        total += bytes;
        if (!keep)
            out.text.clear();
    }
    out.size = total;
    if (total > limit) {
        out.result = TNClipboardText::Result::TooLarge;
        out.text.clear();
    } else {
        out.result = total > 0 ? TNClipboardText::Result::Text : TNClipboardText::Result::Empty;
    }
    return out;
}

// Asks the selection's owner for `target` and reads what it gives. Empty when it has no
// such target.
TNClipboardText tnConvert(TNSelectionReader& reader, Atom selection, Atom target, size_t limit)
{
    TNClipboardText out;
    XConvertSelection(reader.display, selection, target, reader.property, reader.window, CurrentTime);
    XFlush(reader.display);
    XEvent event;
    if (!reader.waitFor(SelectionNotify, &event)) {
        out.result = TNClipboardText::Result::Failed;
        return out;
    }
    if (event.xselection.property == None)
        return out;
    Atom type = 0;
    int format = 0;
    unsigned long bytes = 0;
    if (!reader.measure(&type, &format, &bytes)) {
        out.result = TNClipboardText::Result::Failed;
        return out;
    }
    if (type == XInternAtom(reader.display, "INCR", False))
        return tnReadIncrementally(reader, limit);
    if (format != 8 || bytes == 0) {
        reader.discard();
        return out;
    }
    out.size = bytes;
    if (bytes > limit) {
        reader.discard();
        out.result = TNClipboardText::Result::TooLarge;
        return out;
    }
    if (!reader.take(bytes, &out.text)) {
        out.text.clear();
        out.result = TNClipboardText::Result::Failed;
        return out;
    }
    out.result = TNClipboardText::Result::Text;
    return out;
}

struct TNClipboardDelivery {
    std::function<void(TNClipboardText)> done;
    TNClipboardText text;
    Display* display = nullptr;
};

void tnDeliverClipboard(void* data)
{
    std::unique_ptr<TNClipboardDelivery> delivery(static_cast<TNClipboardDelivery*>(data));
    if (delivery->display)
        XCloseDisplay(delivery->display);
    delivery->done(std::move(delivery->text));
}

} // namespace

TNClipboardText tnReadXSelection(Display* display, bool clipboard, size_t limit, int timeoutMs)
{
    TNSelectionReader reader;
    reader.deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    reader.display = display;
    if (!reader.display) {
        TNClipboardText failed;
        failed.result = TNClipboardText::Result::Failed;
        return failed;
    }
    reader.window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, reader.window, PropertyChangeMask);
    reader.property = XInternAtom(display, "TANDREL_SELECTION", False);
    const Atom selection = clipboard ? XInternAtom(display, "CLIPBOARD", False) : XA_PRIMARY;
    if (XGetSelectionOwner(display, selection) == None)
        return TNClipboardText();

    TNClipboardText text = tnConvert(reader, selection, XInternAtom(display, "UTF8_STRING", False), limit);
    bool latin1 = false;
    if (text.result == TNClipboardText::Result::Empty && text.size == 0) {
        text = tnConvert(reader, selection, XA_STRING, limit);
        latin1 = true;
    }
    if (text.result == TNClipboardText::Result::Text) {
        if (latin1)
            text.text = tnLatin1ToUtf8(text.text);
        tnDropCarriageReturns(text.text);
        text.size = text.text.size();
        if (text.size > limit) {
            text.text.clear();
            text.result = TNClipboardText::Result::TooLarge;
        }
    }
    return text;
}

void tnReadClipboardAsync(bool clipboard, std::function<void(TNClipboardText)> done)
{
    // Xlib's process-wide state (libXau's buffer, its thread locks) is touched only when a
    // display is opened or closed: both happen here, on the window's thread; the reader
    // thread uses its own display alone.
    Display* display = fl_display ? XOpenDisplay(DisplayString(fl_display)) : nullptr;
    std::thread([clipboard, display, done = std::move(done)]() mutable {
        auto* delivery = new TNClipboardDelivery{std::move(done), {}, display};
        delivery->text = tnReadXSelection(display, clipboard, tnClipboardLimit, 5000);
        Fl::awake(tnDeliverClipboard, delivery);
    }).detach();
}

std::string tnClipboardTooLargeMessage(size_t size)
{
    return "Clipboard text of " + std::to_string(size) + " bytes not sent: over the 1 MiB limit";
}
