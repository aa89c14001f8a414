// The viewer widget: drawing the shown connection (1:1 or scaled), turning pointer,
// wheel, key and paste events into RFB input, the full-screen layout and the fitting
// of the scroll group.
#include "viewer/vnc_viewer.h"
#include "viewer/layout.h"
#include "viewer/viewer_internal.h"

#include <FL/Fl.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "core/options.h"
#include "viewer/fltk_compat.h"
#include "viewer/remote_keys.h"
#include "core/log.h"

TNViewMemory& VncViewer::memoryOf(const VncObject* connection)
{
    return memory[connection ? connection->itm : nullptr];
}

namespace {

constexpr int tnMaskLeft = 1;
constexpr int tnMaskMiddle = 2;
constexpr int tnMaskRight = 4;
constexpr int tnMaskWheelUp = 8;
constexpr int tnMaskWheelDown = 16;

// The RFB bit of a toolkit mouse button; 0 for one that stays on this desktop (the middle
// button, X11's paste, unless the options send it).
int tnRemoteButtonBit(int button)
{
    switch (button) {
    case FL_LEFT_MOUSE:
        return tnMaskLeft;
    case FL_RIGHT_MOUSE:
        return tnMaskRight;
    case FL_MIDDLE_MOUSE:
        return appOptions.sendMiddleButton ? tnMaskMiddle : 0;
    default:
        return 0;
    }
}

// Remote pointer position of the current event, kept inside the remote screen (a drag
// may leave the viewer).
void remotePointer(const VncViewer* viewer, const VncObject* vnc, TNLayout layout, int* remoteX, int* remoteY)
{
    const Fl_Scroll* scroller = viewer->scroller();
    *remoteX = 0;
    *remoteY = 0;
    if (layout == TNLayout::Scroll) {
        tnMapPointerScroll(Fl::event_x() - scroller->x(), Fl::event_y() - scroller->y(), scroller->xposition(),
                           scroller->yposition(), remoteX, remoteY);
    } else if (layout == TNLayout::Scaled) {
        // Relative to the viewer itself, which sits at the scroll group's origin in this layout.
        tnMapPointerScaled(Fl::event_x() - viewer->x(), Fl::event_y() - viewer->y(), viewer->w(), viewer->h(),
                           vnc->remoteWidth, vnc->remoteHeight, remoteX, remoteY);
    } else {
        return;
    }
    *remoteX = std::clamp(*remoteX, 0, std::max(0, vnc->remoteWidth - 1));
    *remoteY = std::clamp(*remoteY, 0, std::max(0, vnc->remoteHeight - 1));
}

} // namespace

VncViewer::VncViewer(int x, int y, int w, int h, const char* label) : Fl_Box(x, y, w, h, label) {}

VncViewer::~VncViewer()
{
    tnCancelCursorChange(*this);
    tnCancelDrawingTimers(*this);
}

Fl_Scroll* VncViewer::scroller() const
{
    return dynamic_cast<Fl_Scroll*>(parent());
}

Fl_Window* VncViewer::area() const
{
    const Fl_Scroll* scroll = scroller();
    return scroll ? scroll->window() : nullptr;
}

void VncViewer::takeFocusFromPointer()
{
    // Keys must come to the viewer as FL_KEYDOWN/FL_KEYUP pairs, which needs the focus.
    // A text field being typed into keeps it, so its text does not go to the host.
    if (Fl::focus() != this && !dynamic_cast<Fl_Input_*>(Fl::focus()))
        take_focus();
}

int VncViewer::handle(int event)
{
    VncObject* shown = vnc;
    if (!shown || !shown->itm || !shown->vncClient)
        return 0;
    rfbClient* client = shown->vncClient;
    HostItem* itm = shown->itm;
    const TNLayout layout = tnChooseLayout(itm->scaling, tnFitsViewer(*this, shown));
    int remoteX = 0, remoteY = 0;
    remotePointer(this, shown, layout, &remoteX, &remoteY);

    switch (event) {
    case FL_PUSH:
    case FL_RELEASE: {
        if (event == FL_PUSH) {
            take_focus();
            // The user turns to this host: it gets the local clipboard if it lacks it.
            tnOfferClipboardToShownHost(*this);
        }
        const int bit = tnRemoteButtonBit(Fl::event_button());
        if (!bit)
            return Fl_Box::handle(event); // the middle button stays local unless the options send it
        if (onUserInput)
            onUserInput();
        if (event == FL_PUSH) {
            buttonMask |= bit;
            shown->sendPointer(remoteX, remoteY, buttonMask);
        } else {
            buttonMask &= ~bit;
            shown->sendPointer(remoteX, remoteY, buttonMask);
            shown->requestIncrementalUpdate();
        }
        return 1;
    }
    case FL_DRAG:
        if (onUserInput)
            onUserInput();
        buttonMask |= tnRemoteButtonBit(Fl::event_button());
        // The reader sends motion at its own pace; the server's updates follow by themselves.
        shown->sendPointer(remoteX, remoteY, buttonMask);
        return 1;
    case FL_MOVE:
        takeFocusFromPointer();
        shown->sendPointer(remoteX, remoteY, buttonMask);
        return 1;
    case FL_MOUSEWHEEL: {
        const int dy = Fl::event_dy();
        if (dy == 0)
            return Fl_Box::handle(event);
        // Away from the user is RFB button 4, towards the user button 5.
        const int bit = dy < 0 ? tnMaskWheelUp : tnMaskWheelDown;
        buttonMask |= bit;
        shown->sendPointer(remoteX, remoteY, buttonMask);
        buttonMask &= ~bit;
        shown->sendPointer(remoteX, remoteY, buttonMask);
        shown->requestIncrementalUpdate();
        return 1;
    }
    case FL_ENTER:
        takeFocusFromPointer();
        if (memoryOf(shown).cursor && itm->showRemoteCursor)
            tnQueueCursorChange(*this, false);
        return 1;
    case FL_LEAVE:
        tnQueueCursorChange(*this, true);
        return 1;
    case FL_FOCUS:
        // Not by keyboard navigation (Tab out of a text field): the focus comes only from
        // the pointer, so that typing meant for a field never goes to the host.
        if (Fl::event() == FL_KEYBOARD || Fl::event() == FL_SHORTCUT)
            return 0;
        return 1;
    case FL_UNFOCUS:
        // Keys still held would never see their release on the host.
        tnReleaseHeldKeys(*this);
        return 1;
    case FL_SHORTCUT:
        // A key that some other widget (a text field, the host list) has not used; the
        // toolkit offers it to the widget under the pointer first. Never the host's.
        return 0;
    case FL_KEYDOWN:
    case FL_KEYUP:
        if (Fl::focus() != this)
            return 0;
        sendCorrectedKeyEvent(Fl::event_text(), Fl::event_length(), itm, client, event == FL_KEYDOWN);
        // The overview's key leaves a scan running: the scan goes on behind the overview.
        if (onUserInput && static_cast<uint32_t>(Fl::event_key()) != tnKeyF9)
            onUserInput();
        return 1;
    case FL_PASTE:
        tnHandlePastedText(shown, Fl::event_text(), Fl::event_length());
        return 1;
    default:
        return Fl_Box::handle(event);
    }
}

void tnPlaceViewerArea(VncViewer& viewer, int x, int y, int w, int h)
{
    Fl_Window* area = viewer.area();
    Fl_Scroll* scroller = viewer.scroller();
    if (!area || !scroller)
        return;
    // An X window cannot be empty.
    w = std::max(1, w);
    h = std::max(1, h);
    if (area->x() != x || area->y() != y || area->w() != w || area->h() != h)
        area->resize(x, y, w, h);
    if (scroller->x() != 0 || scroller->y() != 0 || scroller->w() != w || scroller->h() != h)
        scroller->resize(0, 0, w, h);
}
