// The form in which names from a file or a server are drawn.
#include <gtest/gtest.h>

#include <string>

#include "core/display_text.h"

namespace {

const std::string kEllipsis = "\xE2\x80\xA6";

std::string repeated(const std::string& piece, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

struct Case {
    const char* what;
    std::string text;
    TNTextUse use;
    std::string shown;
};

} // namespace

TEST(DisplayText, FormsByUse)
{
    const Case cases[] = {
        {"plain name", "office", TNTextUse::Plain, "office"},
        {"plain keeps every @", "@home a@b", TNTextUse::Plain, "@home a@b"},
        {"list line: a leading @ is doubled", "@home", TNTextUse::HostListLine, "@@home"},
        {"list line: only the leading @", "a@b @c", TNTextUse::HostListLine, "a@b @c"},
        {"list line: the separator text as a name", "@C16@.\xC2\xB7 \xC2\xB7 \xC2\xB7", TNTextUse::HostListLine,
         "@@C16@.\xC2\xB7 \xC2\xB7 \xC2\xB7"},
        {"label: every @ doubled", "@home a@b", TNTextUse::Label, "@@home a@@b"},
        {"message box: every @ doubled", "delete 'x@y'?", TNTextUse::MessageBox, "delete 'x@@y'?"},
        {"controls become blanks", "a\tb\nc\x7f" "d\x01", TNTextUse::HostListLine, "a b c d "},
        {"message box keeps line feeds", "a\n\nb\tc", TNTextUse::MessageBox, "a\n\nb c"},
        {"UTF-8 passes", "B\xC3\xBCro \xE2\x82\xAC", TNTextUse::Label, "B\xC3\xBCro \xE2\x82\xAC"},
        {"empty", "", TNTextUse::HostListLine, ""},
        {"exactly the cap", std::string(256, 'n'), TNTextUse::Plain, std::string(256, 'n')},
        {"one over the cap", std::string(257, 'n'), TNTextUse::Plain, std::string(256, 'n') + kEllipsis},
        {"300,000 characters", std::string(300000, 'n'), TNTextUse::HostListLine,
         std::string(256, 'n') + kEllipsis},
        {"cut between two-byte characters", repeated("\xC3\xBC", 300), TNTextUse::Label,
         repeated("\xC3\xBC", 256) + kEllipsis},
        {"cut between four-byte characters", "a" + repeated("\xF0\x9F\x98\x80", 300), TNTextUse::Plain,
         "a" + repeated("\xF0\x9F\x98\x80", 255) + kEllipsis},
        {"stray continuation bytes are capped too", std::string(300000, '\x80'), TNTextUse::Plain,
         std::string(256, '\x80') + kEllipsis},
        {"doubled @ counts as one character", std::string(300, '@'), TNTextUse::Label,
         std::string(512, '@') + kEllipsis},
        {"message box cap", std::string(5000, 'm'), TNTextUse::MessageBox, std::string(4096, 'm') + kEllipsis},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tnDisplayText(c.text, c.use), c.shown) << c.what;
}
