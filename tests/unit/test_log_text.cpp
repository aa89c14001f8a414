// Text from outside the program made safe for the log and the windows.
#include <gtest/gtest.h>

#include <string>

#include "core/log_text.h"

TEST(SanitisedText, ControlCharactersBecomeVisibleEscapes)
{
    const struct {
        const char* what;
        std::string text;
        std::string safe;
    } cases[] = {
        {"plain ASCII", "Connected to 'office'", "Connected to 'office'"},
        {"line feed and carriage return", "a\nb\rc", "a\\x0ab\\x0dc"},
        {"NUL inside", std::string("a\0b", 3), "a\\x00b"},
        {"tab and escape sequence", "\t\x1b[2J", "\\x09\\x1b[2J"},
        {"DEL", "a\x7f", "a\\x7f"},
        {"C1 as raw bytes (CSI, NEL)", "\x9b" "31m\x85", "\\x9b31m\\x85"},
        {"C1 in UTF-8", "\xc2\x9b" "31m\xc2\x85", "\\u009b31m\\u0085"},
        {"UTF-8 kept", "\xe2\x82\xac \xd0\x96 \xe4\xb8\xad \xf0\x9f\x98\x80", "\xe2\x82\xac \xd0\x96 \xe4\xb8\xad \xf0\x9f\x98\x80"},
        {"Latin-1 letters kept", "caf\xe9 \xa0", "caf\xe9 \xa0"},
        {"a cut-off UTF-8 sequence keeps its lead, escapes nothing printable", "\xe2\x82", "\xe2\\x82"},
        {"backslash as it is", "a\\x0a", "a\\x0a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tnSanitisedText(c.text), c.safe) << c.what;
}

TEST(SanitisedText, CutAtTheLimitNeverInsideAnEscapeOrACharacter)
{
    const struct {
        std::string text;
        size_t limit;
        std::string safe;
    } cases[] = {
        {"abcdef", 4, "abcd"},
        {"ab\ncd", 5, "ab"},           // "\x0a" would end past the limit
        {"ab\ncd", 6, "ab\\x0a"},
        {"a\xe2\x82\xac", 3, "a"},     // the euro sign takes three bytes
        {"a\xe2\x82\xac", 4, "a\xe2\x82\xac"},
        {std::string(3000, 'x'), tnMaxLogEntry, std::string(tnMaxLogEntry, 'x')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tnSanitisedText(c.text, c.limit), c.safe) << c.text.substr(0, 20) << " / " << c.limit;
}
