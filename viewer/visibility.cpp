// Making a connection the shown one, hiding it again, and the fit test.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Scroll.H>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "core/app.h"
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
    return vnc && vnc->vncClient && (vnc->vncClient->width != laidOutW || vnc->vncClient->height != laidOutH);
}

bool VncObject::fitsScroller() const
{
    if (app->vncViewer && app->vncViewer->isFullScreen)
        return true;
    if (!itm || !vncClient || !app->scroller)
        return false;
    return vncClient->width <= app->scroller->w() && vncClient->height <= app->scroller->h();
}

void VncObject::setObjectVisible()
{
    VncViewer* viewer = app->vncViewer;
    Fl_Scroll* scroller = app->scroller;
    if (!itm || !vncClient || !viewer || !scroller || !app->mainWin || !app->hostList)
        return;
    // Only one connection is shown (and its socket watched) at a time.
    if (viewer->vnc && viewer->vnc != this)
        hideMainViewer();
    viewer->vnc = this;

    rfbClient* client = vncClient;
    // Hidden connections are not read, so this frame buffer may be old.
    SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height, FALSE);

    laidOutW = client->width;
    laidOutH = client->height;
    const TNLayout layout = tnChooseLayout(itm->scaling, fitsScroller());
    if (layout == TNLayout::Scroll) {
        scroller->type(Fl_Scroll::BOTH);
        viewer->size(client->width, client->height);
    } else if (layout == TNLayout::Scaled) {
        const int areaW = app->mainWin->w() - (app->hostList->x() + app->hostList->w()) - 3;
        viewer->size(areaW, app->mainWin->h());
        const TNSize size = tnScaledViewerSize(client->width, client->height, viewer->w(), viewer->h());
        viewer->size(size.w, size.h);
    }
    if (!viewer->isFullScreen)
        tnResizeScroller();

    if (layout == TNLayout::Scroll) {
        scroller->scroll_to(scrollX, scrollY);
    } else {
        // A scaled picture always fits; an offset left over from a scrolled view (full
        // screen, or a window that was larger) would push it out of sight. scrollX/scrollY
        // stay as they are for the next scrolled view.
        scroller->scroll_to(0, 0);
    }
    isVisible = true;
    tnWatchShownSocket(this);
    scroller->redraw();
}

void VncObject::hideMainViewer()
{
    VncViewer* viewer = app->vncViewer;
    if (!viewer || !viewer->vnc)
        return;
    VncObject* shown = viewer->vnc;
    tnReleaseHeldKeys();
    tnUnwatchShownSocket(shown);
    shown->isVisible = false;
    if (app->mainWin)
        app->mainWin->cursor(FL_CURSOR_DEFAULT);

    // The main thread holds the toolkit lock already; locking again there would keep
    // worker threads waiting. Any other caller takes it for the widget changes.
    const bool otherThread = !tnIsMainThread();
    if (otherThread)
        Fl::lock();
    viewer->vnc = nullptr;
    viewer->size(0, 0);
    if (app->scroller) {
        app->scroller->scroll_to(0, 0);
        app->scroller->type(0);
        app->scroller->redraw();
    }
    if (otherThread)
        Fl::unlock();
}
