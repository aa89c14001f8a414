// The viewer widget: drawing the shown connection (1:1 or scaled), turning pointer,
// wheel, key and paste events into RFB input, the full-screen layout and the fitting
// of the scroll group.
#include "viewer/vnc_viewer.h"
#include "viewer/layout.h"
#include "viewer/viewer_internal.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Scroll.H>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "viewer/app.h"
#include "core/options.h"
#include "viewer/fltk_compat.h"
#include "core/log.h"

namespace {

// RFB pointer-button mask, shared by all connections: 1 left, 2 middle, 4 right; 8 and 16
// are the wheel's buttons 4 and 5, set only for the length of one press/release pair.
int buttonMask = 0;

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

// Any non-null argument tells tnHandleThreadCursorChange to restore the default cursor.
char restoreDefaultCursor = 1;

// Remote pointer position of the current event, kept inside the remote screen (a drag
// may leave the viewer).
void remotePointer(const VncViewer* viewer, const VncObject* vnc, TNLayout layout, int* remoteX, int* remoteY)
{
    const Fl_Scroll* scroller = app->scroller;
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
    const TNLayout layout = tnChooseLayout(itm->scaling, tnFitsViewer(shown));
    int remoteX = 0, remoteY = 0;
    remotePointer(this, shown, layout, &remoteX, &remoteY);

    switch (event) {
    case FL_PUSH:
    case FL_RELEASE: {
        if (event == FL_PUSH) {
            take_focus();
            // The user turns to this host: it gets the local clipboard if it lacks it.
            tnOfferClipboardToShownHost();
        }
        const int bit = tnRemoteButtonBit(Fl::event_button());
        if (!bit)
            return Fl_Box::handle(event); // the middle button stays local unless the options send it
        app->isScanning = false;
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
        app->isScanning = false;
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
            Fl::awake(tnHandleThreadCursorChange, nullptr);
        return 1;
    case FL_LEAVE:
        Fl::awake(tnHandleThreadCursorChange, &restoreDefaultCursor);
        return 1;
    case FL_FOCUS:
        // Not by keyboard navigation (Tab out of a text field): the focus comes only from
        // the pointer, so that typing meant for a field never goes to the host.
        if (Fl::event() == FL_KEYBOARD || Fl::event() == FL_SHORTCUT)
            return 0;
        return 1;
    case FL_UNFOCUS:
        // Keys still held would never see their release on the host.
        tnReleaseHeldKeys();
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
        app->isScanning = false;
        return 1;
    case FL_PASTE:
        tnHandlePastedText(shown, Fl::event_text(), Fl::event_length());
        return 1;
    default:
        return Fl_Box::handle(event);
    }
}

namespace {

// Moves the host list (it keeps its height) and the viewer area to where the main window's
// layout puts them in or out of full screen.
void placeForFullScreen(bool fullScreen)
{
    const TNWindowLayout layout =
        tnMainWindowLayout(app->mainWin->w(), app->mainWin->h(), appOptions.hostListWidth, fullScreen);
    Fl_Hold_Browser* list = app->hostList;
    list->resize(layout.hostList.x, list->y(), layout.hostList.w, list->h());
    list->redraw();
    const TNRect& area = layout.viewerArea;
    tnPlaceViewerArea(area.x, area.y, area.w, area.h);
    app->scroller->redraw();
}

} // namespace

void VncViewer::setFullScreen()
{
    VncViewer* viewer = app->vncViewer;
    if (!viewer || !app->mainWin || !app->hostList || !app->scroller)
        return;
    viewer->isFullScreen = true;
    placeForFullScreen(true);
    viewer->size(app->scroller->w(), app->scroller->h());
    if (viewer->vnc)
        tnShowConnection(viewer->vnc);
    viewer->set_visible_focus();
    Fl::redraw();
    Fl::check();
}

void VncViewer::unsetFullScreen()
{
    VncViewer* viewer = app->vncViewer;
    // Also called before the shown connection ends; outside full screen there is nothing
    // to undo, and laying out a connection that is going away would only ask it for an update.
    if (!viewer || !viewer->isFullScreen || !app->mainWin || !app->hostList || !app->scroller)
        return;
    viewer->isFullScreen = false;
    placeForFullScreen(false);
    tnResizeScroller();
    if (viewer->vnc)
        tnShowConnection(viewer->vnc);
    viewer->set_visible_focus();
    Fl::redraw();
    Fl::check();
}

void tnResizeScroller()
{
    tnDebugLog("tnResizeScroller");
    Fl_Window* area = app->viewerWindow;
    if (!area || !app->scroller || !app->hostList || !app->mainWin)
        return;
    // Beside the host list as it is now (pushed out of sight in full screen).
    const bool fullScreen = app->vncViewer && app->vncViewer->isFullScreen;
    const TNRect place =
        tnMainWindowLayout(app->mainWin->w(), app->mainWin->h(), app->hostList->w(), fullScreen).viewerArea;
    tnPlaceViewerArea(place.x, area->y(), place.w, place.h);
}

void tnPlaceViewerArea(int x, int y, int w, int h)
{
    Fl_Window* area = app->viewerWindow;
    Fl_Scroll* scroller = app->scroller;
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
