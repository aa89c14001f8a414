// The screens the benchmark servers show: 1280x720 pictures in which every pixel differs from
// the previous picture's (as in a photo or a video), or each of one colour; made once for
// each pixel format a client asks for; and the 64x64 box that walks the screen when only a
// small part changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int tnBenchWidth = 1280;
constexpr int tnBenchHeight = 720;
constexpr int tnBenchFrames = 4; // distinct screens a server cycles through
constexpr int tnBenchBox = 64;   // the side of the small change

// What a server changes at every update request.
enum class TNScreenChange {
    Whole, // a whole new screen in which every pixel differs (Tight sends it as JPEG)
    Flat,  // a whole new screen of one colour (Tight sends it as fills)
    Box,   // one 64x64 box of new pixels (a full request still gets the whole screen)
};

// A true-colour pixel format of 32 bits per pixel, as RFB's PIXEL_FORMAT gives it.
struct TNPixelFormat {
    bool bigEndian = false;
    int redShift = 16, greenShift = 8, blueShift = 0;
    int redMax = 255, greenMax = 255, blueMax = 255;
    std::string key() const;
};

// The tnBenchFrames screens in `format`, tnBenchWidth * tnBenchHeight * 4 bytes each, made
// on the first call for that format (any thread) and kept for the run. `flat`: each screen is
// one colour.
const std::vector<std::vector<uint8_t>>& tnBenchScreens(const TNPixelFormat& format, bool flat = false);

// Where the `number`th small change goes: the box walks the screen in rows, and each pass
// paints the next screen's pixels, so every box differs from what was there.
struct TNBoxChange {
    int x = 0, y = 0;
    int screen = 0; // the index into tnBenchScreens whose pixels it shows
};
TNBoxChange tnBenchBoxChange(long number);
