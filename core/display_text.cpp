#include "core/display_text.h"

namespace {

bool isContinuationByte(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::string tnDisplayText(const std::string& text, TNTextUse use)
{
    const size_t maxChars = use == TNTextUse::MessageBox ? tnMessageTextMaxChars : tnDisplayTextMaxChars;
    std::string shown;
    shown.reserve(text.size() < 2 * maxChars ? text.size() + 8 : 2 * maxChars);
    size_t chars = 0;
    // A UTF-8 character has at most three continuation bytes; any further one counts as a
    // character of its own, so that no run of stray bytes escapes the cap.
    int continuationRun = 3;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (isContinuationByte(byte) && continuationRun < 3) {
            ++continuationRun;
            shown += c;
            continue;
        }
        continuationRun = isContinuationByte(byte) ? 3 : 0;
        if (chars == maxChars) {
            shown += "\xE2\x80\xA6";
            break;
        }
        ++chars;
        if (byte == '\n' && use == TNTextUse::MessageBox) {
            shown += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += ' ';
        } else if (byte == '@' && (use == TNTextUse::Label || use == TNTextUse::MessageBox ||
                                   (use == TNTextUse::HostListLine && shown.empty()))) {
            shown += "@@";
        } else {
            shown += c;
        }
    }
    return shown;
}
