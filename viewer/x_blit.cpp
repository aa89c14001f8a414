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
#include <vector>

#include "core/log.h"

namespace {

enum class ShmState { Untried, Usable, Unusable };

// What the display takes, found once it is open.
struct DisplayPixels {
    Display* display = nullptr;
    // The visual's pixels are 32 bits of 8-bit colours at these shifts.
    bool takesLayout = false;
    TNPixelLayout layout;
};

DisplayPixels displayPixels;

// A segment of shared memory attached to the X server, and an image over it.
struct SharedImage {
    XShmSegmentInfo segment{};
    size_t capacity = 0;
    XImage* image = nullptr;
};

ShmState shmState = ShmState::Untried;
// The image large rectangles are copied into on their way to the X server.
SharedImage staging;
// The image the shown picture lives in.
SharedImage presentation;

// An XShmPutImage the X server may still be reading from a shared image.
bool putOutstanding = false;

// X errors during the attach (a server on another machine refuses it) land here instead of
// the toolkit's handler, which would report them to the user.
bool attachFailed = false;
int noteAttachError(Display*, XErrorEvent*)
{
    attachFailed = true;
    return 0;
}

Visual* drawingVisual(Display* display)
{
    return fl_visual ? fl_visual->visual : DefaultVisual(display, fl_screen);
}

int drawingDepth(Display* display)
{
    return fl_visual ? fl_visual->depth : DefaultDepth(display, fl_screen);
}

bool littleEndian()
{
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 1;
}

// The shift of an 8-bit colour mask on a byte boundary, or -1.
int byteShiftOf(unsigned long mask)
{
    for (int shift = 0; shift < 32; shift += 8) {
        if (mask == 0xffUL << shift)
            return shift;
    }
    return -1;
}

const DisplayPixels& pixelsOfDisplay()
{
    Display* display = fl_display;
    if (displayPixels.display == display)
        return displayPixels;
    displayPixels = {};
    displayPixels.display = display;
    Visual* visual = drawingVisual(display);
    const int depth = drawingDepth(display);
    int bitsPerPixel = 0;
    int count = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
        for (int i = 0; i < count; i++) {
            if (formats[i].depth == depth)
                bitsPerPixel = formats[i].bits_per_pixel;
        }
        XFree(formats);
    }
    const int red = byteShiftOf(visual->red_mask);
    const int green = byteShiftOf(visual->green_mask);
    const int blue = byteShiftOf(visual->blue_mask);
    if (visual->c_class == TrueColor && depth == 24 && bitsPerPixel == 32 && red >= 0 && green >= 0 && blue >= 0) {
        displayPixels.takesLayout = true;
        displayPixels.layout = {red, green, blue};
    }
    return displayPixels;
}

// The engine's pixels are the display's own.
bool pixelsAsTheyAre()
{
    const DisplayPixels& pixels = pixelsOfDisplay();
    return pixels.takesLayout && pixels.layout == tnPixelLayout();
}

void release(SharedImage& shared)
{
    if (!shared.image)
        return;
    Display* display = fl_display;
    XShmDetach(display, &shared.segment);
    XSync(display, False);
    putOutstanding = false;
    shmdt(shared.segment.shmaddr);
    shared.image->data = nullptr;
    XDestroyImage(shared.image);
    shared = {};
}

// An image of the visual of w x h over `segment`'s memory (client side only).
XImage* imageOver(XShmSegmentInfo& segment, int w, int h)
{
    Display* display = fl_display;
    XImage* image = XShmCreateImage(display, drawingVisual(display), 24, ZPixmap, segment.shmaddr, &segment, w, h);
    const int nativeOrder = littleEndian() ? LSBFirst : MSBFirst;
    if (image && (image->bits_per_pixel != 32 || image->byte_order != nativeOrder)) {
        image->data = nullptr;
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

// Makes `shared` a segment of at least `bytes` with an image of w x h over it; false when
// shared memory cannot be used with this display (it is not tried again).
bool attach(SharedImage& shared, size_t bytes, int w, int h)
{
    if (shmState == ShmState::Unusable)
        return false;
    Display* display = fl_display;
    if (shmState == ShmState::Untried && (!XShmQueryExtension(display) || !pixelsAsTheyAre())) {
        shmState = ShmState::Unusable;
        tnDebugLog("Drawing without shared memory");
        return false;
    }
    release(shared);
    // The image keeps a pointer to its segment's record: it is the kept one.
    XShmSegmentInfo& segment = shared.segment;
    segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* address = segment.shmid < 0 ? reinterpret_cast<void*>(-1) : shmat(segment.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        if (segment.shmid >= 0)
            shmctl(segment.shmid, IPC_RMID, nullptr);
        shared = {};
        shmState = ShmState::Unusable;
        return false;
    }
    segment.shmaddr = static_cast<char*>(address);
    segment.readOnly = True;
    XImage* image = imageOver(segment, w, h);
    bool attached = false;
    if (image) {
        XSync(display, False);
        attachFailed = false;
        XErrorHandler previous = XSetErrorHandler(noteAttachError);
        attached = XShmAttach(display, &segment) && (XSync(display, False), !attachFailed);
        XSetErrorHandler(previous);
    }
    // Marked for removal now: the segment goes away with the last detach, even on a crash.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(address);
        if (image) {
            image->data = nullptr;
            XDestroyImage(image);
        }
        shared = {};
        shmState = ShmState::Unusable;
        tnDebugLog("Drawing without shared memory: the X server refused it");
        return false;
    }
    shared.capacity = bytes;
    shared.image = image;
    shmState = ShmState::Usable;
    return true;
}

// The image over `shared`'s segment at w x h (its rows packed), made anew when its size differs.
bool resizeImage(SharedImage& shared, int w, int h)
{
    if (shared.image->width == w && shared.image->height == h)
        return true;
    XImage* image = imageOver(shared.segment, w, h);
    if (!image)
        return false;
    shared.image->data = nullptr;
    XDestroyImage(shared.image);
    shared.image = image;
    return true;
}

// The staging image at least w x h wide and high; false when shared memory cannot be used.
bool stagingFor(int w, int h)
{
    if (staging.image && staging.image->width >= w && staging.image->height >= h)
        return true;
    const int width = staging.image ? std::max(w, staging.image->width) : w;
    const int height = staging.image ? std::max(h, staging.image->height) : h;
    return attach(staging, static_cast<size_t>(width) * static_cast<size_t>(height) * 4, width, height);
}

// The pixels straight from the picture through the X server's socket.
void putPlain(const uint8_t* first, int rowBytes, int w, int h, int dstX, int dstY)
{
    Display* display = fl_display;
    XImage* image = XCreateImage(display, drawingVisual(display), 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(const_cast<uint8_t*>(first)), w, h, 32, rowBytes);
    if (!image)
        return;
    // The pixels are in this machine's byte order; Xlib converts them for the server.
    image->byte_order = littleEndian() ? LSBFirst : MSBFirst;
    XPutImage(display, fl_window, fl_gc, image, 0, 0, dstX, dstY, w, h);
    image->data = nullptr;
    XDestroyImage(image);
}

// Any other display: the toolkit converts bytes red, green, blue, pad for its visual.
void drawConverted(const uint8_t* first, int rowBytes, int w, int h, int dstX, int dstY)
{
    const TNPixelLayout& layout = tnPixelLayout();
    if (layout == tnRgbBytesLayout()) {
        fl_draw_image(first, dstX, dstY, w, h, 4, rowBytes);
        return;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    for (int y = 0; y < h; ++y) {
        const size_t row = static_cast<size_t>(y);
        tnCopyToRgbBytes(layout, rgb.data() + row * static_cast<size_t>(w) * 4, first + row * rowBytes, w);
    }
    fl_draw_image(rgb.data(), dstX, dstY, w, h, 4, w * 4);
}

} // namespace

TNPixelLayout tnDisplayPixelLayout()
{
    const DisplayPixels& pixels = pixelsOfDisplay();
    return pixels.takesLayout ? pixels.layout : TNPixelLayout{};
}

void tnBlitPicture(const uint8_t* pixels, int rowBytes, int srcX, int srcY, int w, int h, int dstX, int dstY)
{
    if (w <= 0 || h <= 0)
        return;
    const uint8_t* first = pixels + static_cast<size_t>(srcY) * rowBytes + static_cast<size_t>(srcX) * 4;
    if (!pixelsAsTheyAre()) {
        drawConverted(first, rowBytes, w, h, dstX, dstY);
        return;
    }
    if (static_cast<long>(w) * h < tnBlitSharedMinPixels || !stagingFor(w, h)) {
        putPlain(first, rowBytes, w, h, dstX, dstY);
        return;
    }
    // The previous rectangle may still be on its way out of the shared image.
    tnBlitFinish();
    const int imageRow = staging.image->bytes_per_line;
    for (int y = 0; y < h; ++y)
        memcpy(staging.image->data + static_cast<size_t>(y) * imageRow, first + static_cast<size_t>(y) * rowBytes,
               static_cast<size_t>(w) * 4);
    // The toolkit's graphics context carries the clip of this draw.
    XShmPutImage(fl_display, fl_window, fl_gc, staging.image, 0, 0, dstX, dstY, w, h, False);
    putOutstanding = true;
}

void tnBlitFinish()
{
    if (!putOutstanding)
        return;
    // A shared image is written again by the next rectangle: the server must be done
    // reading it.
    XSync(fl_display, False);
    putOutstanding = false;
}

bool tnBlitUsesSharedMemory()
{
    return shmState == ShmState::Usable;
}

uint8_t* tnPresentationMemory(int w, int h, size_t* capacity)
{
    const size_t bytes = static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0)) * 4;
    if (bytes == 0 || !pixelsAsTheyAre())
        return nullptr;
    if (!presentation.image || presentation.capacity < bytes) {
        if (!attach(presentation, bytes, w, h))
            return nullptr;
    }
    *capacity = presentation.capacity;
    return reinterpret_cast<uint8_t*>(presentation.segment.shmaddr);
}

void tnPreparePresentation(int w, int h)
{
    // Only for a screen no larger than the display's, which is the usual case.
    size_t capacity = 0;
    const long screenPixels =
        static_cast<long>(DisplayWidth(fl_display, fl_screen)) * DisplayHeight(fl_display, fl_screen);
    if (presentation.image || static_cast<long>(w) * h > screenPixels || !tnPresentationMemory(w, h, &capacity))
        return;
    memset(presentation.segment.shmaddr, 0, capacity);
    if (!resizeImage(presentation, w, h))
        return;
    // The X server reads the whole image once, into a pixmap that goes at once.
    Display* display = fl_display;
    const Window root = RootWindow(display, fl_screen);
    const Pixmap scratch = XCreatePixmap(display, root, static_cast<unsigned>(w), static_cast<unsigned>(h), 24);
    GC gc = XCreateGC(display, scratch, 0, nullptr);
    XShmPutImage(display, scratch, gc, presentation.image, 0, 0, 0, 0, static_cast<unsigned>(w),
                 static_cast<unsigned>(h), False);
    XFreeGC(display, gc);
    XFreePixmap(display, scratch);
    XSync(display, False);
}

bool tnPutPresented(const uint8_t* pixels, int pictureW, int pictureH, int srcX, int srcY, int w, int h, int dstX,
                    int dstY)
{
    if (!presentation.image || pixels != reinterpret_cast<const uint8_t*>(presentation.segment.shmaddr) ||
        static_cast<size_t>(pictureW) * static_cast<size_t>(pictureH) * 4 > presentation.capacity)
        return false;
    if (w <= 0 || h <= 0)
        return true;
    // Small ones go through the socket straight from the picture, without the round trip.
    if (static_cast<long>(w) * h < tnBlitSharedMinPixels || !resizeImage(presentation, pictureW, pictureH))
        return false;
    XShmPutImage(fl_display, fl_window, fl_gc, presentation.image, srcX, srcY, dstX, dstY, w, h, False);
    putOutstanding = true;
    return true;
}
