// Modal boxes (message, three-button choice, file chooser) go through these functions,
// so that a test can answer them instead of a person.
#pragma once

#include <FL/fl_ask.H>

#include <functional>
#include <string>

#include "core/main_thread.h"

struct Fl_Menu_Item;

// Shows a one-button message box: hotspot off, the given title, the text through "%s".
void tnShowMessageBox(const std::string& title, const std::string& text);

// tnShowMessageBox callable from any thread (other threads take the toolkit lock for it).
void tnMessageWindow(const std::string& message, const std::string& title);

// Three-button choice (fl_choice order: b0, b1, b2). Returns 0, 1 or 2 like fl_choice.
int tnShowChoiceBox(const std::string& title, const std::string& text,
                    const char* b0, const char* b1, const char* b2);

// File chooser; returns "" when cancelled.
std::string tnShowFileChooser(const std::string& title, const std::string& pattern,
                              const std::string& directory);

// Pops up a right-click menu with its top left corner at (x, y) in window coordinates;
// returns the chosen entry or null.
const Fl_Menu_Item* tnPopUpMenu(const Fl_Menu_Item* items, int x, int y);

// The test seam: when a hook is set it answers instead of the toolkit's box.
struct TNModalHooks {
    std::function<void(const std::string& title, const std::string& text)> message;
    std::function<int(const std::string& title, const std::string& text)> choice;
    // Answers a password window: returns its button (0 "Cancel") and sets what is typed into
    // its user name (holding the name shown at first), its password and "Remember".
    std::function<int(const std::string& title, const std::string& text, std::string& user, std::string& password,
                      bool& remember)>
        password;
    std::function<std::string(const std::string& title)> fileChooser;
    // Sees the menu's entries (labels, flags) and returns the one to choose, or null.
    std::function<const Fl_Menu_Item*(const Fl_Menu_Item* items)> menu;
    // Hears a beep (the fl_beep type) instead of the speaker.
    std::function<void(int type)> beep;
};
TNModalHooks& tnModalHooks();

// The toolkit's beep (fl_beep), or the test hook when one is set.
inline void tnBeep(int type = 0)
{
    if (tnModalHooks().beep)
        tnModalHooks().beep(type);
    else
        fl_beep(type);
}
