// Text conversions between this desktop's clipboard (UTF-8) and RFB cut text (Latin-1,
// or UTF-8 with the extended clipboard).
#pragma once

#include <string>

// UTF-8 to Latin-1: characters outside Latin-1, and bytes that are not valid UTF-8, each
// become one "?".
std::string tnUtf8ToLatin1(const std::string& utf8);
// Latin-1 to UTF-8 (every byte is one character).
std::string tnLatin1ToUtf8(const std::string& latin1);
// `text` with each byte that does not start a valid UTF-8 sequence replaced by U+FFFD.
std::string tnValidUtf8(const std::string& text);
