// A picture's pixels in the memory the window's side lends it, or in its own.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "connection/picture.h"

namespace {

void fill(TNPicture& picture, uint8_t value)
{
    memset(picture.makeRoom(), value, picture.bytes());
}

TEST(Picture, PixelsMoveIntoLentMemoryWhileTheyFitAndOutWhenTheyDoNot)
{
    std::vector<uint8_t> lent(8 * 4 * 4, 0);
    TNPicture picture;
    picture.width = 8;
    picture.height = 4;
    fill(picture, 7);
    ASSERT_FALSE(picture.inLentMemory());
    // Lent: the pixels move over, and their own memory goes.
    picture.lend(lent.data(), lent.size());
    EXPECT_TRUE(picture.inLentMemory());
    EXPECT_EQ(picture.data(), lent.data());
    EXPECT_EQ(picture.ownBytes(), 0u);
    EXPECT_EQ(std::vector<uint8_t>(lent.begin(), lent.end()), std::vector<uint8_t>(lent.size(), 7));
    // Smaller, they stay there; larger than the memory, they are the picture's own again.
    picture.width = 4;
    fill(picture, 1);
    EXPECT_TRUE(picture.inLentMemory());
    picture.width = 16;
    fill(picture, 2);
    EXPECT_FALSE(picture.inLentMemory());
    EXPECT_EQ(picture.ownBytes(), picture.bytes());
    EXPECT_EQ(lent[0], 1) << "a picture out of the lent memory writes it no more";
}

TEST(Picture, HiddenAndTakenBackPicturesHaveNoPixels)
{
    std::vector<uint8_t> lent(8 * 4 * 4);
    TNPicture picture;
    picture.width = 8;
    picture.height = 4;
    picture.lend(lent.data(), lent.size());
    EXPECT_FALSE(picture.hasPixels()) << "lending makes no pixels";
    fill(picture, 3);
    EXPECT_TRUE(picture.hasPixels());
    // Hidden: no pixels, the memory stays lent for the next picture.
    picture.drop();
    EXPECT_FALSE(picture.hasPixels());
    EXPECT_EQ(picture.data(), nullptr);
    fill(picture, 4);
    EXPECT_TRUE(picture.inLentMemory());
    // Taken back: the pixels in it are gone, and new ones are the picture's own.
    picture.takeBack();
    EXPECT_FALSE(picture.hasPixels());
    fill(picture, 5);
    EXPECT_FALSE(picture.inLentMemory());
    EXPECT_EQ(lent[0], 4);
}

} // namespace
