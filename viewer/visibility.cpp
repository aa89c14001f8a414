// Making a connection the shown one, hiding it again, the fit test and the remote cursor.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Scroll.H>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "viewer/app.h"
#include "core/main_thread.h"
#include "viewer/layout.h"
#include "viewer/viewer_internal.h"
#include "viewer/vnc_viewer.h"

namespace {

// The remote size the shown connection was last laid out for.
int laidOutW = 0;
int laidOutH = 0;

} // namespace

bool tnViewerLayoutIsStale(const VncObject* vnc)
{
    return vnc && vnc->vncClient && (vnc->remoteWidth != laidOutW || vnc->remoteHeight != laidOutH);
}

bool tnFitsViewer(const VncObject* vnc)
{
    if (app->vncViewer && app->vncViewer->isFullScreen)
        return true;
    if (!vnc || !vnc->itm || !vnc->vncClient || !app->scroller)
        return false;
    return vnc->remoteWidth <= app->scroller->w() && vnc->remoteHeight <= app->scroller->h();
}

void tnShowConnection(VncObject* vnc)
{
    VncViewer* viewer = app->vncViewer;
    if (!vnc || !vnc->itm || !vnc->vncClient || !viewer || !app->scroller || !app->mainWin || !app->hostList)
        return;
    // Only one connection is shown (and its socket watched) at a time.
    if (viewer->vnc && viewer->vnc != vnc)
        tnHideShownConnection();
    viewer->vnc = vnc;
    tnViewerForgetPicture();

    // A hidden connection asks for no updates, so its picture may be old: the reader asks
    // for a full one now, and for updates from here on.
    vnc->showOnReader();
    tnLayOutViewer();
}

void tnLayOutViewer()
{
    VncViewer* viewer = app->vncViewer;
    Fl_Scroll* scroller = app->scroller;
    if (!viewer || !scroller || !app->mainWin || !app->hostList)
        return;
    if (!viewer->isFullScreen)
        tnResizeScroller();
    VncObject* shown = viewer->vnc;
    if (!shown || !shown->itm || !shown->vncClient)
        return;
    laidOutW = shown->remoteWidth;
    laidOutH = shown->remoteHeight;
    // The kept scroll position is the one its last scrolled view was drawn with; a scaled
    // picture is not scrolled, and leaves that position for the next scrolled view.
    TNViewMemory& memory = viewer->memoryOf(shown);
    const int scrollbarSize = scroller->scrollbar_size() ? scroller->scrollbar_size() : Fl::scrollbar_size();
    const TNViewerPlacement placement =
        tnPlaceViewer(shown->itm->scaling, viewer->isFullScreen, shown->remoteWidth, shown->remoteHeight, scroller->w(),
                      scroller->h(), memory.scrollX, memory.scrollY, scrollbarSize);
    if (placement.layout == TNLayout::Scroll) {
        scroller->type(Fl_Scroll::BOTH);
        memory.scrollX = placement.scrollX;
        memory.scrollY = placement.scrollY;
    }
    if (placement.layout != TNLayout::Empty)
        viewer->size(placement.viewer.w, placement.viewer.h);
    scroller->scroll_to(placement.scrollX, placement.scrollY);
    scroller->redraw();
}

void tnHideShownConnection()
{
    VncViewer* viewer = app->vncViewer;
    if (!viewer || !viewer->vnc)
        return;
    VncObject* shown = viewer->vnc;
    tnReleaseHeldKeys();
    shown->hideOnReader();
    if (app->mainWin)
        app->mainWin->cursor(FL_CURSOR_DEFAULT);

    // The main thread holds the toolkit lock already; locking again there would keep
    // worker threads waiting. Any other caller takes it for the widget changes.
    const bool otherThread = !tnIsMainThread();
    if (otherThread)
        Fl::lock();
    viewer->vnc = nullptr;
    tnViewerForgetPicture();
    viewer->size(0, 0);
    if (app->scroller) {
        app->scroller->scroll_to(0, 0);
        app->scroller->type(0);
        app->scroller->redraw();
    }
    if (otherThread)
        Fl::unlock();
}

void tnTakeCursorShape(VncObject* vnc, const TNCursorShape& shape)
{
    // A shape that arrives while the pointer is elsewhere is dropped.
    VncViewer* viewer = app->vncViewer;
    if (!vnc || !viewer || Fl::belowmouse() != viewer || viewer->vnc != vnc)
        return;
    if (shape.width <= 0 || shape.height <= 0 || shape.pixels.size() < size_t(shape.width) * shape.height * 4)
        return;
    Fl_RGB_Image wrapped(shape.pixels.data(), shape.width, shape.height, 4);
    TNViewMemory& memory = viewer->memoryOf(vnc);
    memory.cursor.reset(static_cast<Fl_RGB_Image*>(wrapped.copy(shape.width, shape.height)));
    if (!memory.cursor)
        return;
    memory.cursorHotX = shape.xhot;
    memory.cursorHotY = shape.yhot;
    Fl::awake(tnHandleThreadCursorChange, nullptr);
}

void tnHandleThreadCursorChange(void* restoreDefault)
{
    if (!app->mainWin)
        return;
    if (restoreDefault) {
        app->mainWin->cursor(FL_CURSOR_DEFAULT);
        return;
    }
    if (!app->vncViewer || !app->vncViewer->vnc)
        return;
    const TNViewMemory& memory = app->vncViewer->memoryOf(app->vncViewer->vnc);
    if (memory.cursor) {
        app->mainWin->cursor(memory.cursor.get(), memory.cursorHotX, memory.cursorHotY);
        // Shows the new cursor now, without waiting here for the next event.
        Fl::flush();
    } else {
        app->mainWin->cursor(FL_CURSOR_DEFAULT);
    }
}
