// Drawing the shown connection: 1:1 straight from its picture, or from a scaled copy that
// is kept up to date one changed rectangle at a time. An update damages and draws only
// the rectangles the reader changed; an expose, a scroll, a new layout or size draws all.
#include <FL/Fl.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <mutex>
#include <vector>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "viewer/layout.h"
#include "connection/scaling.h"
#include "viewer/viewer_internal.h"
#include "viewer/vnc_viewer.h"
#include "viewer/x_blit.h"

namespace {

constexpr int tnBytesPerPixel = 4;

// Lays the shown connection out again after its desktop size changed.
void relayoutShown(void* data)
{
    auto* viewer = static_cast<VncViewer*>(data);
    if (viewer->vnc)
        tnShowConnection(*viewer, viewer->vnc);
}

// Window position of the picture's top-left pixel in the scroll layout.
void scrolledOrigin(const Fl_Scroll* scroller, int* x, int* y)
{
    *x = scroller->x() - scroller->xposition();
    *y = scroller->y() - scroller->yposition();
}

// Draws the part `part` (picture coordinates) of a `pixelsW` x `pixelsH` picture whose
// top-left pixel is at originX, originY, within the current clip; `presented`: the picture
// lives in the shared image and is put from there.
void drawPart(const uint8_t* pixels, int pixelsW, int pixelsH, bool presented, int originX, int originY,
              const TNRect& part)
{
    int clipX, clipY, clipW, clipH;
    fl_clip_box(originX + part.x, originY + part.y, part.w, part.h, clipX, clipY, clipW, clipH);
    if (clipW <= 0 || clipH <= 0)
        return;
    const int srcX = clipX - originX, srcY = clipY - originY;
    if (presented && tnPutPresented(pixels, pixelsW, pixelsH, srcX, srcY, clipW, clipH, clipX, clipY))
        return;
    tnBlitPicture(pixels, pixelsW * tnBytesPerPixel, srcX, srcY, clipW, clipH, clipX, clipY);
}

// Marks the window area where the picture's rectangle `changed` shows for drawing.
void damageShown(VncViewer* viewer, const VncObject* vnc, TNLayout layout, const TNRect& changed)
{
    int originX = viewer->x(), originY = viewer->y();
    if (layout == TNLayout::Scroll)
        scrolledOrigin(viewer->scroller(), &originX, &originY);
    const TNRect shown = layout == TNLayout::Scroll
                             ? changed
                             : tnScaledRectOf(changed, vnc->remoteWidth, vnc->remoteHeight, viewer->w(), viewer->h());
    // Window coordinates; the toolkit gathers them into the window's region to draw.
    if (shown.w > 0 && shown.h > 0)
        viewer->damage(FL_DAMAGE_USER1, originX + shown.x, originY + shown.y, shown.w, shown.h);
}

// Marks what is still to be drawn of the shown picture (after a draw that could not).
void damagePending(void* data)
{
    auto* viewer = static_cast<VncViewer*>(data);
    const VncObject* vnc = viewer->vnc;
    TNViewerDamage& pending = viewer->pending;
    if (!vnc || pending.of != vnc || !vnc->itm || !viewer->scroller())
        return;
    if (pending.everything) {
        viewer->redraw();
        return;
    }
    const TNLayout layout = tnChooseLayout(vnc->itm->scaling, tnFitsViewer(*viewer, vnc));
    if (layout == TNLayout::Empty)
        return;
    for (const TNRect& r : pending.rects)
        damageShown(viewer, vnc, layout, r);
}

} // namespace

void TNViewerDamage::add(const TNRect& r)
{
    tnAddDamage(rects, r, tnMaxPictureDamage);
}

void tnViewerPictureChanged(VncViewer& viewerRef, VncObject* vnc)
{
    VncViewer* viewer = &viewerRef;
    TNViewerDamage& pending = viewer->pending;
    TNPictureDamage taken;
    {
        std::lock_guard<std::mutex> hold(vnc->pictureLock);
        std::swap(taken, vnc->pictureDamage);
    }
    // A hidden picture is drawn whole when it is shown.
    if (viewer->vnc != vnc || !vnc->itm || !viewer->scroller())
        return;
    if (pending.of != vnc) {
        pending = {};
        pending.of = vnc;
        pending.everything = true;
    }
    if (taken.everything || pending.everything) {
        // A new size may no longer fit the shared image, or fit it again.
        if (taken.everything)
            tnLendSharedImage(vnc);
        pending.everything = true;
        viewer->redraw();
        return;
    }
    const TNLayout layout = tnChooseLayout(vnc->itm->scaling, tnFitsViewer(*viewer, vnc));
    if (layout == TNLayout::Empty)
        return;
    for (const TNRect& changed : taken.rects) {
        pending.add(changed);
        damageShown(viewer, vnc, layout, changed);
    }
}

void tnLendSharedImage(VncObject* vnc)
{
    int w = 0, h = 0;
    {
        std::lock_guard<std::mutex> hold(vnc->pictureLock);
        TNPicture& picture = vnc->picture;
        if (picture.inLentMemory())
            return;
        w = picture.width;
        h = picture.height;
        // Nothing of the picture is in the image, which may be replaced by a larger one.
        picture.takeBack();
    }
    size_t capacity = 0;
    uint8_t* memory = tnPresentationMemory(w, h, &capacity);
    if (!memory)
        return;
    std::lock_guard<std::mutex> hold(vnc->pictureLock);
    vnc->picture.lend(memory, capacity);
}

void tnTakeBackSharedImage(VncObject* vnc)
{
    std::lock_guard<std::mutex> hold(vnc->pictureLock);
    vnc->picture.takeBack();
}

void tnViewerForgetPicture(VncViewer& viewer)
{
    viewer.pending = {};
    viewer.scaledOf = nullptr;
    if (viewer.vnc) {
        viewer.pending.of = viewer.vnc;
        viewer.pending.everything = true;
    } else {
        viewer.scaledPicture.clear();
    }
}

void tnCancelDrawingTimers(VncViewer& viewer)
{
    Fl::remove_timeout(relayoutShown, &viewer);
    Fl::remove_timeout(damagePending, &viewer);
}

void VncViewer::draw()
{
    VncObject* shown = vnc;
    if (!shown || !shown->itm || !shown->vncClient)
        return;
    Fl_Scroll* scroller = this->scroller();
    if (!scroller || scroller->w() <= 0 || scroller->h() <= 0)
        return;
    if (tnViewerLayoutIsStale(*this, shown)) {
        // Not from inside draw: the layout resizes widgets and asks for a redraw.
        Fl::remove_timeout(relayoutShown, this);
        Fl::add_timeout(0.0, relayoutShown, this);
    }
    // Declared before the lock, so it runs after the lock is given back: the reader never
    // waits for the X server's round trip.
    struct FinishBlitLast {
        ~FinishBlitLast() { tnBlitFinish(); }
    } finishBlit;
    // The reader copies updates into the picture under the same lock: nothing tears.
    std::lock_guard<std::mutex> hold(shown->pictureLock);
    const TNPicture& picture = shown->picture;
    const int remoteW = picture.width;
    const int remoteH = picture.height;
    if (!picture.hasPixels())
        return;
    const uint8_t* pixels = picture.data();
    // Put straight from the shared image the reader writes: the lock is kept until the X
    // server has read it.
    const bool presented = picture.inLentMemory();
    TNViewerDamage changed;
    std::swap(changed, pending);
    pending.of = shown;
    // Anything but the changed rectangles (an expose, a scroll, a new layout or size):
    // everything the clip lets through.
    bool whole = (damage() & ~FL_DAMAGE_USER1) != 0 || changed.everything || changed.of != shown;
    // The scroll group scrolled: it moved what was on screen (changed parts not drawn yet
    // among it) and has only the uncovered strips drawn. The changed parts are drawn at
    // their new place once this drawing is over.
    if ((scroller->damage() & FL_DAMAGE_SCROLL) && !(scroller->damage() & FL_DAMAGE_ALL) &&
        changed.of == shown && (changed.everything || !changed.rects.empty())) {
        pending = changed;
        Fl::remove_timeout(damagePending, this);
        Fl::add_timeout(0.0, damagePending, this);
    }

    switch (tnChooseLayout(shown->itm->scaling, tnFitsViewer(*this, shown))) {
    case TNLayout::Scroll: {
        memoryOf(shown).scrollX = scroller->xposition();
        memoryOf(shown).scrollY = scroller->yposition();
        int originX, originY;
        scrolledOrigin(scroller, &originX, &originY);
        if (whole) {
            drawPart(pixels, remoteW, remoteH, presented, originX, originY, {0, 0, remoteW, remoteH});
            break;
        }
        for (const TNRect& r : changed.rects)
            drawPart(pixels, remoteW, remoteH, presented, originX, originY, tnClip(r, {0, 0, remoteW, remoteH}));
        break;
    }
    case TNLayout::Scaled: {
        if (w() <= 0 || h() <= 0)
            return;
        const TNPixels source{remoteW, remoteH, pixels};
        const bool fast = shown->itm->scalingFast;
        std::vector<TNRect> parts;
        if (scaledOf != shown || changed.everything || !scaledPicture.matches(remoteW, remoteH, w(), h(), fast)) {
            scaledPicture.rebuild(source, w(), h(), fast);
            scaledOf = shown;
            whole = true;
        } else {
            // Also when everything is drawn: the copy must follow the picture.
            for (const TNRect& r : changed.rects)
                parts.push_back(scaledPicture.update(source, r));
        }
        if (whole) {
            drawPart(scaledPicture.data(), scaledPicture.width(), scaledPicture.height(), false, x(), y(),
                     {0, 0, w(), h()});
            break;
        }
        for (const TNRect& part : parts)
            drawPart(scaledPicture.data(), scaledPicture.width(), scaledPicture.height(), false, x(), y(), part);
        break;
    }
    default: // no known scaling letter: nothing is drawn
        break;
    }
    if (presented)
        tnBlitFinish();
}
