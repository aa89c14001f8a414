// Synthetic toolkit events for widget tests: the event fields that a real X event
// would set, then the toolkit's own dispatch (Fl::handle), so that focus, shortcuts and
// pushed widgets behave as for a person at the keyboard and mouse.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>

#include <cstring>
#include <string>

#include "app_fixture.h"
#include "gui/main_window.h"
#include "gui/host_list.h"

// Event fields of a mouse button event at (x, y) in window coordinates.
// button: 1 left, 2 middle, 3 right; clicks: 0 single, 1 double; held: the button is down.
inline void tnTestSetMouseState(int x, int y, int button, int clicks, bool held)
{
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = x;
    Fl::e_y_root = y;
    Fl::e_keysym = FL_Button + button;
    Fl::e_state = held ? (FL_BUTTON1 << (button - 1)) : 0;
    Fl::e_clicks = clicks;
    Fl::e_is_click = 1;
}

// Gives `window` the X input focus, as the pointer moving onto it does without a window
// manager (the toolkit otherwise drops its keyboard focus after a click).
inline void tnTestFocusWindow(Fl_Window* window)
{
    Fl::handle(FL_FOCUS, window);
}

// Presses and releases a mouse button at the centre of a widget of `window`.
inline void tnTestClick(Fl_Window* window, const Fl_Widget* widget, int button = 1, int clicks = 0)
{
    tnTestFocusWindow(window);
    const int x = widget->x() + widget->w() / 2;
    const int y = widget->y() + widget->h() / 2;
    tnTestSetMouseState(x, y, button, clicks, true);
    Fl::handle(FL_PUSH, window);
    tnTestSetMouseState(x, y, button, clicks, false);
    Fl::handle(FL_RELEASE, window);
}

// Sends a key press to a window: the focus widget first, then the shortcut rounds.
// Returns whether some widget took it.
inline int tnTestPressKey(Fl_Window* window, int key, const char* text = "", int state = 0)
{
    static char buffer[64];
    strncpy(buffer, text, sizeof(buffer) - 1);
    buffer[sizeof(buffer) - 1] = '\0';
    Fl::e_keysym = key;
    Fl::e_text = buffer;
    Fl::e_length = static_cast<int>(strlen(buffer));
    Fl::e_state = state;
    Fl::e_clicks = 0;
    return Fl::handle(FL_KEYBOARD, window);
}

// Types plain text, one key press per character.
inline void tnTestType(Fl_Window* window, const std::string& text)
{
    for (char c : text) {
        const char one[2] = {c, '\0'};
        tnTestPressKey(window, static_cast<unsigned char>(c), one);
    }
}

// Selects a host-list line (0: none) and runs the list's callback as the release of a mouse
// button there does (the toolkit selects the line under the pointer first).
// button: 1 left, 3 right; clicks: 0 single, 1 double.
inline void tnClickHostLine(int line, int button, int clicks = 0)
{
    tnSelectHostLine(line);
    tnTestSetMouseState(20, 20, button, clicks, false);
    Fl::e_number = FL_RELEASE;
    tnHandleHostListEvents(app->hostList, nullptr);
}

// The system clipboard's plain text, as a paste into a throw-away widget receives it.
inline std::string tnTestReadClipboard()
{
    struct Receiver : Fl_Box {
        Receiver() : Fl_Box(0, 0, 0, 0) {}
        std::string text;
        bool received = false;
        int handle(int event) override
        {
            if (event != FL_PASTE)
                return Fl_Box::handle(event);
            text.assign(Fl::event_text(), Fl::event_length());
            received = true;
            return 1;
        }
    };
    Fl_Group* previous = Fl_Group::current();
    Fl_Group::current(nullptr);
    Receiver receiver;
    Fl_Group::current(previous);
    Fl::paste(receiver, 1, Fl::clipboard_plain_text);
    tnTestPumpUntil([&] { return receiver.received; }, 2.0);
    return receiver.text;
}
