#include "connection/pixel_rows.h"

#include <cstring>

namespace {

// The byte at `index` in memory, as a mask of the pixel read as one number.
uint32_t byteMask(int index)
{
    uint32_t mask = 0;
    uint8_t bytes[4] = {0, 0, 0, 0};
    bytes[index] = 255;
    memcpy(&mask, bytes, 4);
    return mask;
}

const uint32_t tnFourthByte = byteMask(3);

TNPixelLayout engineLayout;

int shiftOfByte(int index)
{
    const uint32_t mask = byteMask(index);
    int shift = 0;
    while (shift < 32 && ((mask >> shift) & 1) == 0)
        shift++;
    return shift;
}

} // namespace

void tnSetPixelLayout(const TNPixelLayout& layout)
{
    engineLayout = layout;
}

const TNPixelLayout& tnPixelLayout()
{
    return engineLayout;
}

TNPixelLayout tnRgbBytesLayout()
{
    return {shiftOfByte(0), shiftOfByte(1), shiftOfByte(2)};
}

void tnPixelRgb(const TNPixelLayout& layout, const uint8_t* pixel, uint8_t rgb[3])
{
    uint32_t value;
    memcpy(&value, pixel, 4);
    rgb[0] = static_cast<uint8_t>(value >> layout.redShift);
    rgb[1] = static_cast<uint8_t>(value >> layout.greenShift);
    rgb[2] = static_cast<uint8_t>(value >> layout.blueShift);
}

void tnCopyOpaque(uint8_t* __restrict to, const uint8_t* __restrict from, int count)
{
    const uint32_t pad = tnFourthByte;
    for (int i = 0; i < count; i++) {
        uint32_t pixel;
        memcpy(&pixel, from + static_cast<size_t>(i) * 4, 4);
        pixel |= pad;
        memcpy(to + static_cast<size_t>(i) * 4, &pixel, 4);
    }
}

void tnCopyToRgbBytes(const TNPixelLayout& layout, uint8_t* __restrict to, const uint8_t* __restrict from, int count)
{
    const int r = layout.redShift, g = layout.greenShift, b = layout.blueShift;
    for (int i = 0; i < count; i++) {
        uint32_t pixel;
        memcpy(&pixel, from + static_cast<size_t>(i) * 4, 4);
        uint8_t* out = to + static_cast<size_t>(i) * 4;
        out[0] = static_cast<uint8_t>(pixel >> r);
        out[1] = static_cast<uint8_t>(pixel >> g);
        out[2] = static_cast<uint8_t>(pixel >> b);
        out[3] = 255;
    }
}
