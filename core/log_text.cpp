#include "core/log_text.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence that starts at `at` and is valid, or 0.
size_t tnUtf8SequenceLength(const std::string& text, size_t at)
{
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; i++) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    const unsigned char second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

} // namespace

std::string tnSanitisedText(const std::string& text, size_t limit)
{
    std::string safe;
    safe.reserve(text.size() < limit ? text.size() : limit);
    size_t at = 0;
    while (at < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        std::string piece;
        size_t used = 1;
        char escape[8];
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
            snprintf(escape, sizeof(escape), "\\x%02x", c);
            piece = escape;
        } else if (c < 0x80) {
            piece.assign(1, static_cast<char>(c));
        } else if (const size_t length = tnUtf8SequenceLength(text, at)) {
            used = length;
            // U+0080..U+009F: C2 80..C2 9F.
            const unsigned char second = static_cast<unsigned char>(text[at + 1]);
            if (c == 0xC2 && second <= 0x9F) {
                snprintf(escape, sizeof(escape), "\\u%04x", second);
                piece = escape;
            } else {
                piece = text.substr(at, length);
            }
        } else {
            // A byte of another encoding (Latin-1): printable there.
            piece.assign(1, static_cast<char>(c));
        }
        if (safe.size() + piece.size() > limit)
            break;
        safe += piece;
        at += used;
    }
    return safe;
}
