// Making a connection the shown one, hiding it again, the fit test and the remote cursor.
#include <FL/Fl.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "viewer/layout.h"
#include "viewer/viewer_internal.h"
#include "viewer/vnc_viewer.h"
#include "viewer/x_blit.h"

namespace {

// Sets the top window's cursor to the shown connection's shape.
void tnShowRemoteCursor(void* data)
{
    auto* viewer = static_cast<VncViewer*>(data);
    Fl_Window* top = viewer->top_window();
    if (!top || !viewer->vnc)
        return;
    const TNViewMemory& memory = viewer->memoryOf(viewer->vnc);
    if (memory.cursor) {
        top->cursor(memory.cursor.get(), memory.cursorHotX, memory.cursorHotY);
        // Shows the new cursor now, without waiting here for the next event.
        Fl::flush();
    } else {
        top->cursor(FL_CURSOR_DEFAULT);
    }
}

} // namespace

bool tnViewerLayoutIsStale(const VncViewer& viewer, const VncObject* vnc)
{
    return vnc && vnc->vncClient && (vnc->remoteWidth != viewer.laidOutW || vnc->remoteHeight != viewer.laidOutH);
}

bool tnFitsViewer(const VncViewer& viewer, const VncObject* vnc)
{
    if (viewer.isFullScreen)
        return true;
    const Fl_Scroll* scroller = viewer.scroller();
    if (!vnc || !vnc->itm || !vnc->vncClient || !scroller)
        return false;
    return vnc->remoteWidth <= scroller->w() && vnc->remoteHeight <= scroller->h();
}

void tnShowConnection(VncViewer& viewer, VncObject* vnc)
{
    if (!vnc || !vnc->itm || !vnc->vncClient || !viewer.scroller())
        return;
    // Only one connection is shown (and its socket watched) at a time.
    if (viewer.vnc && viewer.vnc != vnc)
        tnHideShownConnection(viewer);
    viewer.vnc = vnc;
    tnViewerForgetPicture(viewer);

    // A hidden connection asks for no updates, so its picture may be old: the reader copies
    // its frame buffer into the shared image, asks for a full one now, and for updates from
    // here on.
    tnLendSharedImage(vnc);
    vnc->showOnReader();
    tnLayOutViewer(viewer);
}

void tnPrepareToShow(const VncObject* vnc)
{
    if (vnc && vnc->remoteWidth > 0 && vnc->remoteHeight > 0)
        tnPreparePresentation(vnc->remoteWidth, vnc->remoteHeight);
}

void tnLayOutViewer(VncViewer& viewer)
{
    Fl_Scroll* scroller = viewer.scroller();
    VncObject* shown = viewer.vnc;
    if (!scroller || !shown || !shown->itm || !shown->vncClient)
        return;
    viewer.laidOutW = shown->remoteWidth;
    viewer.laidOutH = shown->remoteHeight;
    // The kept scroll position is the one its last scrolled view was drawn with; a scaled
    // picture is not scrolled, and leaves that position for the next scrolled view.
    TNViewMemory& memory = viewer.memoryOf(shown);
    const int scrollbarSize = scroller->scrollbar_size() ? scroller->scrollbar_size() : Fl::scrollbar_size();
    const TNViewerPlacement placement =
        tnPlaceViewer(shown->itm->scaling, viewer.isFullScreen, shown->remoteWidth, shown->remoteHeight, scroller->w(),
                      scroller->h(), memory.scrollX, memory.scrollY, scrollbarSize);
    if (placement.layout == TNLayout::Scroll) {
        scroller->type(Fl_Scroll::BOTH);
        memory.scrollX = placement.scrollX;
        memory.scrollY = placement.scrollY;
    }
    if (placement.layout != TNLayout::Empty)
        viewer.size(placement.viewer.w, placement.viewer.h);
    scroller->scroll_to(placement.scrollX, placement.scrollY);
    scroller->redraw();
}

void tnHideShownConnection(VncViewer& viewer)
{
    VncObject* shown = viewer.vnc;
    if (!shown)
        return;
    tnReleaseHeldKeys(viewer);
    tnTakeBackSharedImage(shown);
    shown->hideOnReader();
    if (Fl_Window* top = viewer.top_window())
        top->cursor(FL_CURSOR_DEFAULT);
    viewer.vnc = nullptr;
    tnViewerForgetPicture(viewer);
    viewer.size(0, 0);
    if (Fl_Scroll* scroller = viewer.scroller()) {
        scroller->scroll_to(0, 0);
        scroller->type(0);
        scroller->redraw();
    }
}

void tnTakeCursorShape(VncViewer& viewer, VncObject* vnc, const TNCursorShape& shape)
{
    // A shape that arrives while the pointer is elsewhere is dropped.
    if (!vnc || Fl::belowmouse() != &viewer || viewer.vnc != vnc)
        return;
    if (shape.width <= 0 || shape.height <= 0 || shape.pixels.size() < size_t(shape.width) * shape.height * 4)
        return;
    Fl_RGB_Image wrapped(shape.pixels.data(), shape.width, shape.height, 4);
    TNViewMemory& memory = viewer.memoryOf(vnc);
    memory.cursor.reset(static_cast<Fl_RGB_Image*>(wrapped.copy(shape.width, shape.height)));
    if (!memory.cursor)
        return;
    memory.cursorHotX = shape.xhot;
    memory.cursorHotY = shape.yhot;
    tnQueueCursorChange(viewer, false);
}

void tnQueueCursorChange(VncViewer& viewer, bool restoreDefault)
{
    // After the event that asks for it: the toolkit sets its own cursors while handling events.
    Fl::remove_timeout(tnShowRemoteCursor, &viewer);
    Fl::remove_timeout(tnShowDefaultCursor, &viewer);
    Fl::add_timeout(0.0, restoreDefault ? tnShowDefaultCursor : tnShowRemoteCursor, &viewer);
}

void tnShowDefaultCursor(void* data)
{
    if (Fl_Window* top = static_cast<VncViewer*>(data)->top_window())
        top->cursor(FL_CURSOR_DEFAULT);
}

void tnCancelCursorChange(VncViewer& viewer)
{
    Fl::remove_timeout(tnShowRemoteCursor, &viewer);
    Fl::remove_timeout(tnShowDefaultCursor, &viewer);
}
