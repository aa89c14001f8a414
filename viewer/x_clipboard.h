// Reading the X clipboard (or the primary selection) as text, through a display
// connection of our own, with a size limit and a deadline.
//
// The toolkit's own paste (Fl::paste) cannot be trusted with large selections: its
// incremental-transfer code reads the length out of an empty INCR property (as xclip sends
// it) and copies into whatever that garbage allocated, which kills the program. This
// reader follows the selection protocol itself, keeps no more than the limit, and never
// runs on the window's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include <X11/Xlib.h>

// The most clipboard text that is sent to a host or pasted into a field.
constexpr size_t tnClipboardLimit = 1024 * 1024;

struct TNClipboardText {
    enum class Result {
        Text,     // `text` holds the selection (UTF-8)
        Empty,    // no owner, no text target, or zero bytes
        TooLarge, // over the limit: `size` bytes (as many as were counted), `text` empty
        Failed,   // the display could not be opened or the owner did not answer in time
    };
    Result result = Result::Empty;
    std::string text;
    size_t size = 0;
};

// Reads the CLIPBOARD (`clipboard` true) or PRIMARY selection through `display`, a
// connection of the caller's that no other thread uses meanwhile, as UTF-8 (STRING, which
// is Latin-1, is converted; CR LF becomes LF). Blocks for at most `timeoutMs` milliseconds;
// call it off the window's thread, since the owner may be this program's own window.
// Failed when `display` is null.
TNClipboardText tnReadXSelection(Display* display, bool clipboard, size_t limit, int timeoutMs);

// Runs tnReadXSelection for the toolkit's display on a thread of its own and hands the
// result to `done` on the main thread.
void tnReadClipboardAsync(bool clipboard, std::function<void(TNClipboardText)> done);

// The log line for local clipboard text that is not used because of its size.
std::string tnClipboardTooLargeMessage(size_t size);
