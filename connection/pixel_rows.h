// The pixel loops every update goes through: a row of the library's frame buffer into
// the presentation picture, and a row of the picture into an X image. Both run over
// every changed pixel, so they are built to use vector instructions.
#pragma once

#include <cstdint>

// Copies `count` pixels of 4 bytes (red, green, blue, pad) with the pad byte set to 255.
void tnCopyOpaque(uint8_t* to, const uint8_t* from, int count);

// Converts `count` picture pixels (bytes red, green, blue, pad) into the 32-bit values
// 0x00RRGGBB of a 24-bit TrueColor X image, on a little-endian machine.
void tnCopyToXPixels(uint32_t* to, const uint8_t* from, int count);
