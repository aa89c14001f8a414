// Text from outside the program (a server's reasons and desktop name, the library's lines,
// ssh's messages) made safe to log and to show: no control character reaches the log or a
// terminal that shows it, and one entry stays one line.
#pragma once

#include <cstddef>
#include <string>

// The longest log entry, in bytes (longer ones are cut).
constexpr size_t tnMaxLogEntry = 2047;

// `text` with every control character (C0, DEL, and C1 whether as a raw byte or encoded in
// UTF-8) replaced by a visible escape "\xNN" (C1 in UTF-8: "\u00NN"), line breaks included;
// anything else, valid UTF-8 or not, as it is. Cut at `limit` bytes, never inside an escape
// or a UTF-8 sequence.
std::string tnSanitisedText(const std::string& text, size_t limit = tnMaxLogEntry);
