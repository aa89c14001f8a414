// The picture the window draws of a connection's remote screen, which its reader keeps up
// to date. No widgets and no library client here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 4 bytes a pixel in the frame buffer's layout (connection/pixel_rows.h), rows packed. Only a
// shown connection has its pixels; the size is the remote screen's always. The pixels are
// the picture's own, or live in memory the window's side lends it (the image it puts on the
// screen from), when they fit there.
struct TNPicture {
    int width = 0;
    int height = 0;

    size_t bytes() const { return static_cast<size_t>(width) * static_cast<size_t>(height) * 4; }
    bool hasPixels() const { return width > 0 && height > 0 && (inLent || own.size() == bytes()); }
    // The pixels (null without them), and whether they are in the lent memory.
    uint8_t* data() { return inLent ? lent : own.empty() ? nullptr : own.data(); }
    const uint8_t* data() const { return inLent ? lent : own.empty() ? nullptr : own.data(); }
    bool inLentMemory() const { return inLent; }
    // Bytes of the picture's own pixels (none while they are in the lent memory).
    size_t ownBytes() const { return own.capacity(); }

    // The window's side lends `capacity` bytes at `memory` for the pixels: own pixels that fit
    // move into it (their memory goes), and so do the pixels made from here on.
    void lend(uint8_t* memory, size_t capacity);
    // The window's side takes its memory back: pixels that were in it are gone.
    void takeBack();
    // The pixels at the current size, their content undefined: in the lent memory when they
    // fit, else the picture's own.
    uint8_t* makeRoom();
    // No pixels any more (the lent memory stays lent).
    void drop();

private:
    std::vector<uint8_t> own;
    uint8_t* lent = nullptr;
    size_t lentBytes = 0;
    bool inLent = false;
};
