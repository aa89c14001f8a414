#include "config/base64.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of an alphabet character, or -1 for "=" and every foreign character.
int sextetOf(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string base64Encode(const unsigned char* bytes, unsigned int length)
{
    std::string out;
    out.reserve((static_cast<size_t>(length) + 2) / 3 * 4);
    unsigned int i = 0;
    for (; i + 3 <= length; i += 3) {
        const unsigned long group = (static_cast<unsigned long>(bytes[i]) << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kAlphabet[(group >> 18) & 0x3f];
        out += kAlphabet[(group >> 12) & 0x3f];
        out += kAlphabet[(group >> 6) & 0x3f];
        out += kAlphabet[group & 0x3f];
    }
    const unsigned int left = length - i;
    if (left == 1) {
        const unsigned long group = static_cast<unsigned long>(bytes[i]) << 16;
        out += kAlphabet[(group >> 18) & 0x3f];
        out += kAlphabet[(group >> 12) & 0x3f];
        out += "==";
    } else if (left == 2) {
        const unsigned long group = (static_cast<unsigned long>(bytes[i]) << 16) | (bytes[i + 1] << 8);
        out += kAlphabet[(group >> 18) & 0x3f];
        out += kAlphabet[(group >> 12) & 0x3f];
        out += kAlphabet[(group >> 6) & 0x3f];
        out += '=';
    }
    return out;
}

std::string base64Decode(const std::string& text)
{
    std::string out;
    out.reserve(text.size() / 4 * 3 + 2);
    unsigned long group = 0;
    int count = 0;
    for (unsigned char c : text) {
        const int value = sextetOf(c);
        if (value < 0)
            break;
        group = (group << 6) | static_cast<unsigned long>(value);
        if (++count == 4) {
            out += static_cast<char>((group >> 16) & 0xff);
            out += static_cast<char>((group >> 8) & 0xff);
            out += static_cast<char>(group & 0xff);
            group = 0;
            count = 0;
        }
    }
    // A partial group of two or three characters still carries one or two whole bytes.
    if (count == 2) {
        out += static_cast<char>((group >> 4) & 0xff);
    } else if (count == 3) {
        out += static_cast<char>((group >> 10) & 0xff);
        out += static_cast<char>((group >> 2) & 0xff);
    }
    return out;
}
