// Putting rectangles of a picture (4 bytes a pixel, in the engine's pixel layout:
// connection/pixel_rows.h) into the window being drawn.
//
// When the display takes the engine's pixels as they are (a 24-bit TrueColor visual of
// 32-bit pixels, whose layout start-up asks the servers for), nothing is converted: large
// rectangles go through a shared-memory image (MIT-SHM), where the X server copies from
// memory instead of reading the pixels through its socket, the others straight from the
// picture with XPutImage. The shown connection's picture itself can live in a shared
// image (tnPresentationMemory), from which its rectangles are put with no copy at all.
// Other displays get the pixels through the toolkit's fl_draw_image, which converts them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "connection/pixel_rows.h"

// The layout this display takes as it is, or the default one when it takes none (call once
// the display is open).
TNPixelLayout tnDisplayPixelLayout();

// Draws the w x h rectangle at (srcX, srcY) of the picture at (dstX, dstY) of the current
// window, within its current clip. Call from a widget's draw().
void tnBlitPicture(const uint8_t* pixels, int rowBytes, int srcX, int srcY, int w, int h, int dstX, int dstY);

// Waits until the X server has taken the last rectangle put through shared memory. The
// next tnBlitPicture does so itself; a draw calls it once at its end, after giving up any
// lock it drew under, so that nobody waits for the X server's round trip on that lock.
void tnBlitFinish();

// Whether the shared-memory path is in use (after the first large rectangle).
bool tnBlitUsesSharedMemory();

// Smallest rectangle, in pixels, that goes through shared memory: below it the round trip
// that the shared image needs costs more than sending the pixels.
constexpr int tnBlitSharedMinPixels = 16384;

// The memory of the shared image the shown picture can live in: room for a w x h picture
// at least (its bytes in `capacity`), kept and reused for pictures of that size or smaller;
// a larger one replaces it, so whoever held the old one must have given it back. Null when
// the display cannot take the pixels this way (no shared memory, another layout).
uint8_t* tnPresentationMemory(int w, int h, size_t* capacity);

// Makes the shared image for a w x h picture ahead of the first show, unless there is one:
// its pages are touched, on this side and the X server's, so that showing a host later
// faults in no fresh memory on either side.
void tnPreparePresentation(int w, int h);

// Puts the w x h rectangle at (srcX, srcY) of the `pictureW` x `pictureH` picture that lives
// at `pixels` in the shared image (tnPresentationMemory) at (dstX, dstY) of the current
// window, within its current clip; false when `pixels` is not there, or the rectangle is
// small enough for tnBlitPicture to send it cheaper. The X server reads the image after this
// returns: nothing may write it before tnBlitFinish.
bool tnPutPresented(const uint8_t* pixels, int pictureW, int pictureH, int srcX, int srcY, int w, int h, int dstX,
                    int dstY);
