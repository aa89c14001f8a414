#include "viewer/x_blit.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>

#include "connection/pixel_rows.h"
#include "core/log.h"

namespace {

enum class ShmState { Untried, Usable, Unusable };

struct SharedImage {
    ShmState state = ShmState::Untried;
    XShmSegmentInfo segment{};
    XImage* image = nullptr;
    Display* display = nullptr;
};

SharedImage shared;

// An XShmPutImage the X server may still be reading from the shared image.
bool putOutstanding = false;

// X errors during the attach (a server on another machine refuses it) land here instead of
// the toolkit's handler, which would report them to the user.
bool attachFailed = false;
int noteAttachError(Display*, XErrorEvent*)
{
    attachFailed = true;
    return 0;
}

// The picture's bytes are red, green, blue, pad; a little-endian client with a 0xRRGGBB
// visual wants the 32-bit value 0x00RRGGBB, which is the byte-swapped pixel shifted by 8.
bool visualTakesSwappedPixels(Display* display)
{
    Visual* visual = fl_visual ? fl_visual->visual : DefaultVisual(display, fl_screen);
    const int depth = fl_visual ? fl_visual->depth : DefaultDepth(display, fl_screen);
    const uint16_t probe = 1;
    const bool littleEndian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
    return littleEndian && depth == 24 && visual->c_class == TrueColor && visual->red_mask == 0xff0000 &&
           visual->green_mask == 0xff00 && visual->blue_mask == 0xff;
}

void releaseImage()
{
    if (!shared.image)
        return;
    XShmDetach(shared.display, &shared.segment);
    XSync(shared.display, False);
    shmdt(shared.segment.shmaddr);
    shared.image->data = nullptr;
    XDestroyImage(shared.image);
    shared.image = nullptr;
}

// Makes the shared image at least w x h; false when shared memory cannot be used here.
bool sharedImageFor(int w, int h)
{
    if (shared.state == ShmState::Unusable)
        return false;
    Display* display = fl_display;
    if (shared.state == ShmState::Untried) {
        if (!XShmQueryExtension(display) || !visualTakesSwappedPixels(display)) {
            shared.state = ShmState::Unusable;
            tnDebugLog("Drawing without shared memory");
            return false;
        }
        shared.display = display;
    }
    if (shared.image && shared.image->width >= w && shared.image->height >= h)
        return true;
    const int width = shared.image ? std::max(w, shared.image->width) : w;
    const int height = shared.image ? std::max(h, shared.image->height) : h;
    releaseImage();
    Visual* visual = fl_visual ? fl_visual->visual : DefaultVisual(display, fl_screen);
    XImage* image = XShmCreateImage(display, visual, 24, ZPixmap, nullptr, &shared.segment, width, height);
    if (!image || image->bits_per_pixel != 32 || image->byte_order != LSBFirst) {
        if (image)
            XDestroyImage(image);
        shared.state = ShmState::Unusable;
        return false;
    }
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * height;
    shared.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* address = shared.segment.shmid < 0 ? reinterpret_cast<void*>(-1) : shmat(shared.segment.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        if (shared.segment.shmid >= 0)
            shmctl(shared.segment.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        shared.state = ShmState::Unusable;
        return false;
    }
    shared.segment.shmaddr = image->data = static_cast<char*>(address);
    shared.segment.readOnly = True;
    XSync(display, False);
    attachFailed = false;
    XErrorHandler previous = XSetErrorHandler(noteAttachError);
    const Bool attached = XShmAttach(display, &shared.segment);
    XSync(display, False);
    XSetErrorHandler(previous);
    // Marked for removal now: the segment goes away with the last detach, even on a crash.
    shmctl(shared.segment.shmid, IPC_RMID, nullptr);
    if (!attached || attachFailed) {
        shmdt(address);
        image->data = nullptr;
        XDestroyImage(image);
        shared.state = ShmState::Unusable;
        tnDebugLog("Drawing without shared memory: the X server refused it");
        return false;
    }
    shared.image = image;
    shared.state = ShmState::Usable;
    return true;
}

} // namespace

void tnBlitPicture(const uint8_t* pixels, int rowBytes, int srcX, int srcY, int w, int h, int dstX, int dstY)
{
    if (w <= 0 || h <= 0)
        return;
    const uint8_t* first = pixels + static_cast<size_t>(srcY) * rowBytes + static_cast<size_t>(srcX) * 4;
    if (static_cast<long>(w) * h < tnBlitSharedMinPixels || !sharedImageFor(w, h)) {
        fl_draw_image(first, dstX, dstY, w, h, 4, rowBytes);
        return;
    }
    // The previous rectangle may still be on its way out of the shared image.
    tnBlitFinish();
    const int imageRow = shared.image->bytes_per_line;
    for (int y = 0; y < h; ++y) {
        const uint8_t* from = first + static_cast<size_t>(y) * rowBytes;
        auto* to = reinterpret_cast<uint32_t*>(shared.image->data + static_cast<size_t>(y) * imageRow);
        tnCopyToXPixels(to, from, w);
    }
    // The toolkit's graphics context carries the clip of this draw.
    XShmPutImage(fl_display, fl_window, fl_gc, shared.image, 0, 0, dstX, dstY, w, h, False);
    putOutstanding = true;
}

void tnBlitFinish()
{
    if (!putOutstanding)
        return;
    // The shared image is written again by the next rectangle: the server must be done
    // reading it.
    XSync(fl_display, False);
    putOutstanding = false;
}

bool tnBlitUsesSharedMemory()
{
    return shared.state == ShmState::Usable;
}
