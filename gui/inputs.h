// Text and password inputs with an Undo/Cut/Copy/Paste right-click menu.
#pragma once

#include <FL/Fl_Input.H>
#include <FL/Fl_Secret_Input.H>

class TNInput : public Fl_Input {
public:
    using Fl_Input::Fl_Input;
    int handle(int event) override;
};

class TNSecretInput : public Fl_Secret_Input {
public:
    using Fl_Secret_Input::Fl_Secret_Input;
    int handle(int event) override;
};

void tnPopUpEditMenu(Fl_Input_* input);
// Takes over the paste gestures of every text input (Ctrl+V, Shift+Insert, the middle
// button's release) before the toolkit handles them: the text is read off the window's
// thread with a size limit and pasted when it is in. True when `event` was such a gesture;
// the event dispatch (gui/main_window.h) asks first.
bool tnTakeOverPasteEvent(int event);
// Pastes the clipboard (`clipboard`) or the primary selection into `input` once it is read;
// nothing happens if the input is gone by then or the text is over the limit.
void tnPasteInto(Fl_Input_* input, bool clipboard);
// Performs one edit-menu entry on an input by its text ("Undo", "Cut", "Copy", "Paste").
void tnEditMenuAction(Fl_Input_* input, const char* entry);
