// The form in which a text from outside (a host's name, a server's desktop name) is drawn.
#pragma once

#include <cstddef>
#include <string>

// Where a text is drawn decides which of its characters the toolkit would take as codes.
enum class TNTextUse {
    Plain,         // window titles, names inside a message text: drawn as they are
    HostListLine,  // a host-list line: a leading "@" starts the list's format codes
    Label,         // a widget's label: every "@" starts a symbol name
    MessageBox,    // the whole text of a message box: a label that keeps its line feeds
};

// Characters kept of a name, and of a whole message box text.
constexpr size_t tnDisplayTextMaxChars = 256;
constexpr size_t tnMessageTextMaxChars = 4096;

// The text as it may be drawn: cut after the maximum number of characters (on a UTF-8
// character boundary, with "…" appended), control characters shown as blanks (a message
// box keeps its line feeds), and any "@" the toolkit would read as a code doubled so that
// it shows as itself. The text that is stored is never this one, only what is drawn.
std::string tnDisplayText(const std::string& text, TNTextUse use = TNTextUse::Plain);
