// Putting rectangles of a picture (4 bytes per pixel: red, green, blue, pad) into the
// window being drawn. Large rectangles go through one shared-memory image (MIT-SHM) when
// the X server offers it and the visual is the common 24-bit TrueColor one: the X server
// then copies from memory instead of reading the pixels through its socket, which costs
// it several times less for a whole screen. Small rectangles, other visuals and servers
// without the extension use fl_draw_image.
#pragma once

#include <cstdint>

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
