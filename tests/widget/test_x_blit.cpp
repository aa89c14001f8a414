// Putting picture rectangles into a window: what the X server holds afterwards is the
// picture, through shared memory and without, inside the draw's clip and nowhere else.
#include <gtest/gtest.h>

// After gtest: these pull in X headers, which define names such as None.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <chrono>
#include <cstring>
#include <string>
#include <utility>
#include <cstdint>
#include <vector>

#include "viewer/x_blit.h"

namespace {

constexpr int kPicW = 500, kPicH = 300;

uint8_t channel(int x, int y, int c)
{
    return static_cast<uint8_t>((x * (3 + c) + y * (7 - c) + c * 50) & 0xff);
}

struct Blit {
    int srcX, srcY, w, h, dstX, dstY;
};

class BlitWindow : public Fl_Window {
public:
    BlitWindow() : Fl_Window(0, 0, 600, 400), picture(size_t(kPicW) * kPicH * 4) {}
    // The picture in the engine's pixel layout, with a pad byte no colour uses.
    void paint()
    {
        const TNPixelLayout& layout = tnPixelLayout();
        for (int y = 0; y < kPicH; y++)
            for (int x = 0; x < kPicW; x++) {
                uint32_t value = uint32_t(channel(x, y, 0)) << layout.redShift |
                                 uint32_t(channel(x, y, 1)) << layout.greenShift |
                                 uint32_t(channel(x, y, 2)) << layout.blueShift;
                const int padShift = 48 - layout.redShift - layout.greenShift - layout.blueShift;
                value |= uint32_t(0x5a) << padShift;
                memcpy(&picture[(size_t(y) * kPicW + x) * 4], &value, 4);
            }
    }
    void draw() override
    {
        fl_rectf(0, 0, w(), h(), 1, 2, 3);
        fl_push_clip(clip.dstX, clip.dstY, clip.w, clip.h);
        tnBlitPicture(picture.data(), kPicW * 4, blit.srcX, blit.srcY, blit.w, blit.h, blit.dstX, blit.dstY);
        tnBlitFinish();
        fl_pop_clip();
    }
    std::vector<uint8_t> picture;
    Blit blit{};
    Blit clip{};
};

void pump(double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end)
        Fl::wait(0.02);
}

TEST(XBlit, WindowHoldsThePictureInsideTheClipOnly)
{
    BlitWindow window;
    window.show();
    pump(0.3);
    struct Case {
        const char* name;
        Blit blit;
        Blit clip; // only w, h, dstX, dstY count; w == 0: the whole window
    };
    const Case cases[] = {
        {"small, unclipped", {3, 5, 40, 30, 10, 20}, {0, 0, 0, 0, 0, 0}},
        {"large, unclipped", {0, 0, kPicW, kPicH, 50, 60}, {0, 0, 0, 0, 0, 0}},
        {"large, odd offsets", {17, 9, 401, 283, 1, 2}, {0, 0, 0, 0, 0, 0}},
        {"large, clipped", {10, 10, 480, 280, 0, 0}, {0, 0, 200, 150, 33, 44}},
    };
    // The pixels as the display takes them (which start-up asks servers for), and in the
    // default layout, which the toolkit converts.
    const std::pair<const char*, TNPixelLayout> layouts[] = {{"display's layout", tnDisplayPixelLayout()},
                                                            {"bytes red, green, blue", tnRgbBytesLayout()}};
    const TNPixelLayout saved = tnPixelLayout();
    for (const auto& [layoutName, layout] : layouts)
    for (Case c : cases) {
        SCOPED_TRACE(std::string(layoutName) + ", " + c.name);
        tnSetPixelLayout(layout);
        window.paint();
        if (c.clip.w == 0)
            c.clip = {0, 0, 600, 400, 0, 0};
        window.blit = c.blit;
        window.clip = c.clip;
        window.redraw();
        Fl::flush();
        XSync(fl_display, False);
        window.make_current();
        std::vector<uint8_t> shot(600 * 400 * 3);
        ASSERT_TRUE(fl_read_image(shot.data(), 0, 0, 600, 400));
        int wrong = 0;
        for (int y = 0; y < 400; y++)
            for (int x = 0; x < 600; x++) {
                const bool inClip = x >= c.clip.dstX && x < c.clip.dstX + c.clip.w && y >= c.clip.dstY &&
                                    y < c.clip.dstY + c.clip.h;
                const bool inBlit =
                    x >= c.blit.dstX && x < c.blit.dstX + c.blit.w && y >= c.blit.dstY && y < c.blit.dstY + c.blit.h;
                const uint8_t* seen = &shot[(size_t(y) * 600 + x) * 3];
                for (int k = 0; k < 3; k++) {
                    const int want = inClip && inBlit
                                         ? channel(x - c.blit.dstX + c.blit.srcX, y - c.blit.dstY + c.blit.srcY, k)
                                         : k + 1;
                    wrong += seen[k] != want;
                }
            }
        EXPECT_EQ(wrong, 0);
    }
    tnSetPixelLayout(saved);
    // Xvfb offers shared memory: the large rectangles in the display's layout went that way.
    EXPECT_TRUE(tnBlitUsesSharedMemory());
}

} // namespace
