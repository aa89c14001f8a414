// Cut text: the protocol carries Latin-1, this desktop's clipboard UTF-8.
#include "viewer/cut_text.h"

#include <cstdint>

namespace {

// Length of the UTF-8 sequence starting at `at` and its code point; 0 when the bytes there
// are not a valid sequence (stray continuation byte, overlong form, surrogate, cut short).
size_t tnDecodeUtf8(const std::string& text, size_t at, uint32_t* codePoint)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length;
    uint32_t value;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; i++) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

// Calls `take(codePoint, at, length)` for each character of `text`, and with length 0 for
// each byte at `at` that starts no valid sequence.
template <typename Take>
void tnEachCharacter(const std::string& text, Take take)
{
    size_t at = 0;
    while (at < text.size()) {
        uint32_t codePoint = 0;
        const size_t length = tnDecodeUtf8(text, at, &codePoint);
        take(codePoint, at, length);
        at += length > 0 ? length : 1;
    }
}

} // namespace

std::string tnUtf8ToLatin1(const std::string& utf8)
{
    std::string latin1;
    latin1.reserve(utf8.size());
    tnEachCharacter(utf8, [&](uint32_t codePoint, size_t, size_t length) {
        latin1 += codePoint <= 0xFF && length > 0 ? static_cast<char>(codePoint) : '?';
    });
    return latin1;
}

std::string tnLatin1ToUtf8(const std::string& latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size() * 2);
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::string tnValidUtf8(const std::string& text)
{
    std::string valid;
    valid.reserve(text.size());
    tnEachCharacter(text, [&](uint32_t, size_t at, size_t length) {
        if (length > 0)
            valid.append(text, at, length);
        else
            valid += "\xEF\xBF\xBD";
    });
    return valid;
}
