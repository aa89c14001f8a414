// The one child window (connection options, application options, About/help, remote
// actions): only one is open at a time, and a closed one is destroyed.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>

// A modal child window. However it is closed (its buttons, Escape, the window manager's
// close, a plain hide()), closing clears childWindowVisible, childWindow and itmBeingEdited,
// runs the window's own clean-up (which clears its record of widget pointers) and hands the
// window to Fl::delete_widget, which destroys it once the current callback has returned.
class TNChildWindow : public Fl_Window {
public:
    // `onClosed` (may be null) forgets the window's widgets; it runs once, at closing.
    TNChildWindow(int x, int y, int w, int h, const char* title, void (*onClosed)());
    void hide() override;
    int handle(int event) override;
    // The button that Enter presses wherever the keyboard focus or the pointer is (a group
    // of fields would otherwise take Enter to move the focus to its next field).
    void enterButton(Fl_Button* button) { enterButton_ = button; }

private:
    void (*onClosed)();
    bool isClosed = false;
    Fl_Button* enterButton_ = nullptr;
};

// Claims the one child-window place: false (and nothing changes) when a child window is
// already open. The caller then builds its TNChildWindow (which becomes childWindow).
bool tnClaimChildWindow();
