// The "Remote host actions" window (F8 in the viewer): key combinations the local desktop
// would take, the keys the program keeps, and a screen refresh, for the shown host.
#pragma once

class Fl_Button;
class Fl_Widget;

// The window's buttons while it is open (all null when it is closed).
struct F8Opts {
    Fl_Button* btnCtrlAltDel = nullptr;
    Fl_Button* btnCtrlShiftEsc = nullptr;
    Fl_Button* btnRefresh = nullptr;
    Fl_Button* btnF8 = nullptr;
    Fl_Button* btnF11 = nullptr;
    Fl_Button* btnF12 = nullptr;
    Fl_Button* btnClose = nullptr;
};
extern F8Opts f8Opts;

// Builds and shows the window, unless a child window is open already.
void tnShowF8Window();
// The callback of the seven buttons: the button's action on the shown host (none for
// Close), then the window closes.
void tnHandleF8Buttons(Fl_Widget* button, void*);
