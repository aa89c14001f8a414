// The window that asks whether to trust an SSH server's host key that ssh does not know.
#pragma once

#include <memory>

class Fl_Window;
class TNHostKeyQuestion;

// The window's title.
constexpr const char* tnHostKeyWindowTitle = "Tandrel - Unknown SSH host key";

// Opens the window for `question` (main thread): "Trust and connect" or "Cancel" (the
// default, also Escape and the window's close) answers it and closes the window; a question
// that the attempt withdraws meanwhile closes it without an answer. It does not wait: the
// program goes on meanwhile.
Fl_Window* tnOpenHostKeyWindow(std::shared_ptr<TNHostKeyQuestion> question);
