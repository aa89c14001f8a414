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
// Performs one edit-menu entry on an input by its text ("Undo", "Cut", "Copy", "Paste").
void tnEditMenuAction(Fl_Input_* input, const char* entry);
