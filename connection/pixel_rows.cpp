#include "connection/pixel_rows.h"

#include <cstring>

namespace {

// The fourth byte of a pixel in memory, as a mask of the pixel read as one number.
uint32_t opaqueMask()
{
    uint32_t mask = 0;
    const uint8_t bytes[4] = {0, 0, 0, 255};
    memcpy(&mask, bytes, 4);
    return mask;
}

const uint32_t tnOpaqueByte = opaqueMask();

} // namespace

void tnCopyOpaque(uint8_t* __restrict to, const uint8_t* __restrict from, int count)
{
    const uint32_t opaque = tnOpaqueByte;
    for (int i = 0; i < count; i++) {
        uint32_t pixel;
        memcpy(&pixel, from + static_cast<size_t>(i) * 4, 4);
        pixel |= opaque;
        memcpy(to + static_cast<size_t>(i) * 4, &pixel, 4);
    }
}

void tnCopyToXPixels(uint32_t* __restrict to, const uint8_t* __restrict from, int count)
{
    for (int i = 0; i < count; i++) {
        uint32_t pixel;
        memcpy(&pixel, from + static_cast<size_t>(i) * 4, 4);
        // Shifts and masks rather than a byte swap: they have vector forms in plain SSE2.
        to[i] = ((pixel & 0xff) << 16) | (pixel & 0xff00) | ((pixel >> 16) & 0xff);
    }
}
