// Pixels of any layout read as red, green and blue, and converted into the bytes the
// toolkit draws.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "connection/pixel_rows.h"

namespace {

TEST(PixelRows, EveryLayoutReadsAndConvertsToTheSameColours)
{
    // The default is the library's own: the bytes red, green, blue, pad.
    EXPECT_EQ(tnPixelLayout(), tnRgbBytesLayout());
    const TNPixelLayout layouts[] = {tnRgbBytesLayout(), {16, 8, 0}, {8, 16, 24}, {24, 0, 8}};
    const uint8_t colours[][3] = {{0x12, 0x34, 0x56}, {0xff, 0x00, 0x80}, {0x01, 0xfe, 0x7f}};
    for (const TNPixelLayout& layout : layouts) {
        SCOPED_TRACE(testing::Message() << layout.redShift << "/" << layout.greenShift << "/" << layout.blueShift);
        std::vector<uint8_t> row;
        for (const auto& c : colours) {
            const int pad = 48 - layout.redShift - layout.greenShift - layout.blueShift;
            const uint32_t value = uint32_t(c[0]) << layout.redShift | uint32_t(c[1]) << layout.greenShift |
                                   uint32_t(c[2]) << layout.blueShift | uint32_t(0x5a) << pad;
            uint8_t bytes[4];
            memcpy(bytes, &value, 4);
            row.insert(row.end(), bytes, bytes + 4);
        }
        std::vector<uint8_t> converted(row.size());
        tnCopyToRgbBytes(layout, converted.data(), row.data(), 3);
        for (int i = 0; i < 3; i++) {
            uint8_t rgb[3];
            tnPixelRgb(layout, row.data() + i * 4, rgb);
            EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), std::vector<uint8_t>(colours[i], colours[i] + 3));
            const std::vector<uint8_t> want = {colours[i][0], colours[i][1], colours[i][2], 255};
            EXPECT_EQ(std::vector<uint8_t>(converted.begin() + i * 4, converted.begin() + i * 4 + 4), want);
        }
    }
}

} // namespace
