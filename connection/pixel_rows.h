// The pixels of the remote screens: where the colours sit in a pixel, and the loops every
// update goes through (a row of the library's frame buffer into a picture, a row of a
// picture into the byte order the toolkit draws). They run over every changed pixel, so
// they are built to use vector instructions.
#pragma once

#include <cstdint>

// Where the colours sit in a pixel of 4 bytes read as one native-endian number: the bit
// shifts of its 8-bit red, green and blue. The frame buffers, the pictures the window draws
// and the scaled copies of them all hold their pixels this way.
struct TNPixelLayout {
    int redShift = 0;
    int greenShift = 8;
    int blueShift = 16;

    bool operator==(const TNPixelLayout& other) const
    {
        return redShift == other.redShift && greenShift == other.greenShift && blueShift == other.blueShift;
    }
    bool operator!=(const TNPixelLayout& other) const { return !(*this == other); }
};

// The layout the engine asks every server to send. The front end sets it once at start-up,
// before any connection, to the one its display takes as it is; until then, and for displays
// that take no such pixels, it is the default: bytes red, green, blue, pad (on a
// little-endian machine), which the toolkit's drawing converts.
void tnSetPixelLayout(const TNPixelLayout& layout);
const TNPixelLayout& tnPixelLayout();

// The layout whose pixels are the bytes red, green, blue, pad in memory on this machine.
TNPixelLayout tnRgbBytesLayout();

// The red, green and blue of the pixel at `pixel`, of layout `layout`.
void tnPixelRgb(const TNPixelLayout& layout, const uint8_t* pixel, uint8_t rgb[3]);

// Copies `count` pixels of 4 bytes with the pad byte (the one no colour uses) set to 255.
void tnCopyOpaque(uint8_t* to, const uint8_t* from, int count);

// Converts `count` pixels of `layout` into the bytes red, green, blue, pad.
void tnCopyToRgbBytes(const TNPixelLayout& layout, uint8_t* to, const uint8_t* from, int count);
