// Scaling a remote picture to the viewer's size or an overview tile's, whole or one changed
// rectangle at a time, with pixman. No widgets here.
#pragma once

#include <cstdint>
#include <vector>

#include "core/rect.h"

// A picture of 4 bytes a pixel (R, G, B, pad), rows packed.
struct TNPixels {
    int width = 0;
    int height = 0;
    const uint8_t* data = nullptr;
};

// The part of a `dstW` x `dstH` scaled picture that a change of the source rectangle
// `src` of a `srcW` x `srcH` picture can alter: every destination pixel whose samples
// (the nearest one, or the four of bilinear scaling) may come from inside `src`. Empty
// (w or h 0) when nothing does.
TNRect tnScaledRectOf(const TNRect& src, int srcW, int srcH, int dstW, int dstH);

// Scales the part `dstRect` of the scaled picture from `src` (nearest pixel when `fast`,
// bilinear otherwise) into `dst`, a `dstW` x `dstH` picture of 4 bytes a pixel. Any part
// gives the same pixels there as scaling the whole picture.
void tnScaleRect(const TNPixels& src, uint8_t* dst, int dstW, int dstH, const TNRect& dstRect, bool fast);

// A scaled copy of a connection's picture, kept up to date one changed rectangle at a time.
class TNScaledPicture {
public:
    // Whether the copy was made from a source of this size, at this size and algorithm.
    bool matches(int srcW, int srcH, int dstW, int dstH, bool fast) const;
    // Scales the whole source again at the given size.
    void rebuild(const TNPixels& src, int dstW, int dstH, bool fast);
    // Scales again what the source rectangle `changed` alters; returns that part of the
    // copy (in the copy's coordinates).
    TNRect update(const TNPixels& src, const TNRect& changed);
    void clear();

    int width() const { return dstW; }
    int height() const { return dstH; }
    const uint8_t* data() const { return pixels.data(); }

private:
    int srcW = 0;
    int srcH = 0;
    int dstW = 0;
    int dstH = 0;
    bool fast = false;
    std::vector<uint8_t> pixels;
};
