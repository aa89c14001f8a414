// Conversions between the local clipboard's UTF-8 and RFB cut text's Latin-1, and the
// UTF-8 that goes to and comes from hosts with the extended clipboard.
#include <gtest/gtest.h>

#include "viewer/cut_text.h"

namespace {

TEST(CutText, Utf8ToLatin1AndValidUtf8)
{
    struct Case {
        const char* name;
        std::string utf8;
        std::string latin1;
        std::string valid;   // each byte that starts no valid sequence is U+FFFD
    };
    const Case cases[] = {
        {"empty", "", "", ""},
        {"ASCII with controls", "a\tb\r\n~", "a\tb\r\n~", "a\tb\r\n~"},
        {"Latin-1 letters", "café Grüße", "caf\xE9 Gr\xFC\xDF" "e", "café Grüße"},
        {"first and last of the two-byte Latin-1 range", "\xC2\x80\xC3\xBF", "\x80\xFF", "\xC2\x80\xC3\xBF"},
        {"outside Latin-1, one ? per character", "€ Ж 😀", "? ? ?", "€ Ж 😀"},
        {"stray continuation byte", "a\x80" "b", "a?b", "a\uFFFD" "b"},
        {"lone Latin-1 byte (not UTF-8)", "caf\xE9", "caf?", "caf\uFFFD"},
        {"sequence cut short at the end", "ab\xE2\x82", "ab??", "ab\uFFFD\uFFFD"},
        {"overlong form of /", "\xC0\xAF", "??", "\uFFFD\uFFFD"},
        {"surrogate", "\xED\xA0\x80", "???", "\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????", "\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"NUL kept", std::string("a\0b", 3), std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tnUtf8ToLatin1(c.utf8), c.latin1);
        EXPECT_EQ(tnValidUtf8(c.utf8), c.valid);
    }
}

TEST(CutText, Latin1ToUtf8RoundTrips)
{
    EXPECT_EQ(tnLatin1ToUtf8(""), "");
    EXPECT_EQ(tnLatin1ToUtf8("Gr\xFC\xDF" "e"), "Grüße");
    EXPECT_EQ(tnLatin1ToUtf8("\x80\xA0\xFF"), "\xC2\x80\xC2\xA0\xC3\xBF");
    std::string every;
    for (int b = 1; b < 256; b++)
        every += static_cast<char>(b);
    EXPECT_EQ(tnUtf8ToLatin1(tnLatin1ToUtf8(every)), every);
}

} // namespace
