// The kept scaled picture: changing random rectangles of the source and scaling only what
// they alter gives exactly a full rescale of the changed source, for both algorithms,
// enlarging and reducing, at odd sizes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "connection/scaling.h"

namespace {

struct ScaleCase {
    int srcW, srcH, dstW, dstH;
    bool fast;
};

std::vector<uint8_t> randomPicture(int w, int h, std::mt19937& rng)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    for (auto& byte : pixels)
        byte = static_cast<uint8_t>(rng());
    return pixels;
}

// The first pixel (x, y) where two scaled pictures differ, as text, or "" when equal.
std::string firstDifference(const std::vector<uint8_t>& a, const uint8_t* b, int w, int h)
{
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const size_t at = (static_cast<size_t>(y) * w + x) * 4;
            for (int c = 0; c < 3; c++) {
                if (a[at + c] != b[at + c])
                    return "pixel " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    return "";
}

void PrintTo(const ScaleCase& c, std::ostream* os)
{
    *os << c.srcW << "x" << c.srcH << " to " << c.dstW << "x" << c.dstH << (c.fast ? " nearest" : " bilinear");
}

class ScalingTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScalingTest, IncrementalUpdatesEqualAFullRescale)
{
    const ScaleCase c = GetParam();
    std::mt19937 rng(c.srcW * 31 + c.dstW * 7 + c.fast);
    std::vector<uint8_t> source = randomPicture(c.srcW, c.srcH, rng);
    const TNPixels src{c.srcW, c.srcH, source.data()};
    TNScaledPicture kept;
    kept.rebuild(src, c.dstW, c.dstH, c.fast);
    ASSERT_TRUE(kept.matches(c.srcW, c.srcH, c.dstW, c.dstH, c.fast));

    std::vector<uint8_t> full(static_cast<size_t>(c.dstW) * c.dstH * 4);
    for (int round = 0; round < 40; round++) {
        // Small rectangles mostly, some at the edges, now and then a large one.
        TNRect changed;
        changed.w = 1 + static_cast<int>(rng() % (round % 10 == 9 ? c.srcW : 24));
        changed.h = 1 + static_cast<int>(rng() % (round % 10 == 9 ? c.srcH : 24));
        changed.x = static_cast<int>(rng() % c.srcW);
        changed.y = static_cast<int>(rng() % c.srcH);
        if (round % 7 == 0)
            changed.x = round % 2 ? 0 : c.srcW - 1;
        if (round % 5 == 0)
            changed.y = round % 2 ? c.srcH - 1 : 0;
        changed.w = std::min(changed.w, c.srcW - changed.x);
        changed.h = std::min(changed.h, c.srcH - changed.y);
        for (int y = changed.y; y < changed.y + changed.h; y++) {
            for (int x = changed.x; x < changed.x + changed.w; x++) {
                uint8_t* pixel = source.data() + (static_cast<size_t>(y) * c.srcW + x) * 4;
                for (int k = 0; k < 4; k++)
                    pixel[k] = static_cast<uint8_t>(rng());
            }
        }
        const TNRect scaled = kept.update(src, changed);
        // Only about the rectangle's scaled size is scaled again, not the whole picture.
        const double sx = double(c.dstW) / c.srcW, sy = double(c.dstH) / c.srcH;
        EXPECT_LE(scaled.w, (changed.w + 2) * sx + 4);
        EXPECT_LE(scaled.h, (changed.h + 2) * sy + 4);

        tnScaleRect(src, full.data(), c.dstW, c.dstH, {0, 0, c.dstW, c.dstH}, c.fast);
        ASSERT_EQ(firstDifference(full, kept.data(), c.dstW, c.dstH), "")
            << "after changing " << changed.x << "," << changed.y << " " << changed.w << "x" << changed.h;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScalingTest,
                         ::testing::Values(ScaleCase{1280, 720, 900, 506, true}, ScaleCase{1280, 720, 900, 506, false},
                                           ScaleCase{333, 251, 97, 71, true}, ScaleCase{333, 251, 97, 71, false},
                                           ScaleCase{101, 67, 377, 249, true}, ScaleCase{101, 67, 377, 249, false},
                                           ScaleCase{7, 5, 640, 480, false}, ScaleCase{640, 480, 7, 5, false},
                                           ScaleCase{1920, 1080, 1919, 1079, false}));

// Nearest keeps source pixels as they are; bilinear keeps a flat picture flat, also at the
// edges (the border is not blended with anything outside the picture).
TEST(Scaling, NearestCopiesPixelsAndBilinearKeepsAFlatPictureFlat)
{
    std::vector<uint8_t> source(8 * 4);
    for (int x = 0; x < 8; x++) {
        source[x * 4] = static_cast<uint8_t>(x * 30);
        source[x * 4 + 1] = 200;
        source[x * 4 + 2] = 100;
    }
    const TNPixels row{8, 1, source.data()};
    std::vector<uint8_t> doubled(16 * 4);
    tnScaleRect(row, doubled.data(), 16, 1, {0, 0, 16, 1}, true);
    for (int x = 0; x < 16; x++)
        EXPECT_EQ(doubled[x * 4], (x / 2) * 30) << x;

    std::vector<uint8_t> flat(9 * 7 * 4);
    for (size_t i = 0; i < flat.size(); i += 4) {
        flat[i] = 10;
        flat[i + 1] = 20;
        flat[i + 2] = 250;
    }
    std::vector<uint8_t> scaled(23 * 5 * 4, 0);
    tnScaleRect({9, 7, flat.data()}, scaled.data(), 23, 5, {0, 0, 23, 5}, false);
    for (size_t i = 0; i < scaled.size(); i += 4) {
        ASSERT_EQ(scaled[i], 10);
        ASSERT_EQ(scaled[i + 1], 20);
        ASSERT_EQ(scaled[i + 2], 250);
    }
}

} // namespace
