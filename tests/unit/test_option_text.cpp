// How the options windows read what is typed: the compression and quality rule, number
// fields with a range (the spinners) and plain whole numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config.h"

namespace {

TEST(LevelFromText, ReadsLikeAtoiKeepsEightBitsAndCapsAtNine)
{
    struct Case {
        const char* text;
        unsigned level;
    };
    const Case cases[] = {
        {"7", 7},    {" 7", 7},   {"+3", 3}, {"5x", 5},   {"9", 9},   {"12", 9},  {"-1", 9},
        {"256", 0},  {"264", 8},  {"265", 9}, {"", 0},    {"abc", 0}, {"x5", 0},  {"99999999999", 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tnConfigLevelFromText(c.text), c.level) << '"' << c.text << '"';
}

TEST(SpinnerValueFromText, TruncatesAndKeepsToTheRange)
{
    struct Case {
        const char* text;
        int min, max, current, value;
    };
    const Case cases[] = {
        {"70000", 1, 65535, 2, 65535},
        {"65535", 1, 65535, 2, 65535},
        {"0", 1, 65535, 2, 1},
        {"-5", 1, 65535, 2, 1},
        {"12.9", 1, 65535, 2, 12},
        {" 30s", 1, 65535, 2, 30},
        {"", 1, 65535, 7, 7},
        {"abc", 1, 65535, 7, 7},
        {"70000", 1, 65436, 15000, 65436},
        {"65436", 1, 65436, 15000, 65436},
        {"65437", 1, 65436, 15000, 65436},
        {"1e9", 1, 65436, 15000, 65436},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tnSpinnerValueFromText(c.text, c.min, c.max, c.current), c.value) << '"' << c.text << '"';
}

TEST(IntegerFromText, ReadsLikeAtoi)
{
    EXPECT_EQ(tnIntegerFromText("abc"), 0);
    EXPECT_EQ(tnIntegerFromText(" 42px"), 42);
    EXPECT_EQ(tnIntegerFromText("-3"), -3);
    EXPECT_EQ(tnIntegerFromText(""), 0);
}

} // namespace
