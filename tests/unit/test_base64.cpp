#include <gtest/gtest.h>

#include <string>

#include "config/base64.h"

namespace {

std::string encode(const std::string& bytes)
{
    return base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned int>(bytes.size()));
}

} // namespace

TEST(Base64, EncodesGroupsAndPadding)
{
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"", ""},
        {"a", "YQ=="},
        {"ab", "YWI="},
        {"abc", "YWJj"},
        {"abcd", "YWJjZA=="},
        {std::string("\0\0\0", 3), "AAAA"},
        {"\xff\xfe\xfd", "//79"},
        {"\xfb\xff", "+/8="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encode(c.bytes), c.text) << c.text;
        EXPECT_EQ(base64Decode(c.text), c.bytes) << c.text;
    }
}

TEST(Base64, DecodingStopsAtPaddingOrForeignCharacters)
{
    const struct {
        std::string text;
        std::string bytes;
    } cases[] = {
        {"YWJjZ", "abc"},            // a single left-over character gives nothing
        {"YWJj=ZGVm", "abc"},        // the rest after "=" is ignored
        {"YW*j", "a"},               // "*" ends the walk after two characters
        {"*YWJj", ""},
        {"YWJj\nZGVm", "abc"},       // line breaks are foreign characters too
        {"YWI", "ab"},               // three characters give two bytes
        {"YQ", "a"},                 // two characters give one byte
        {"=", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(base64Decode(c.text), c.bytes) << c.text;
}

TEST(Base64, EveryByteValueSurvivesTheRoundTrip)
{
    std::string all;
    for (int value = 0; value < 256; ++value)
        all += static_cast<char>(value);
    for (size_t length = 0; length <= all.size(); length += 37) {
        const std::string bytes = all.substr(all.size() - length);
        const std::string text = encode(bytes);
        EXPECT_EQ(text.size() % 4, 0u);
        EXPECT_EQ(text.find('\n'), std::string::npos);
        EXPECT_EQ(base64Decode(text), bytes);
    }
}
