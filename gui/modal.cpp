#include "gui/modal.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_ask.H>

#include "core/display_text.h"
#include "core/main_thread.h"

void tnMessageWindow(const std::string& message, const std::string& title)
{
    // The main thread already holds the toolkit lock; taking it a second time would keep
    // every worker waiting for the lock until the box is closed.
    const bool otherThread = !tnIsMainThread();
    if (otherThread)
        Fl::lock();
    tnShowMessageBox(title, message);
    if (otherThread)
        Fl::unlock();
}

TNModalHooks& tnModalHooks()
{
    static TNModalHooks hooks;
    return hooks;
}

void tnShowMessageBox(const std::string& title, const std::string& text)
{
    if (tnModalHooks().message) {
        tnModalHooks().message(title, text);
        return;
    }
    fl_message_hotspot(0);
    fl_message_title(tnDisplayText(title).c_str());
    fl_message("%s", tnDisplayText(text, TNTextUse::MessageBox).c_str());
}

int tnShowChoiceBox(const std::string& title, const std::string& text, const char* b0, const char* b1,
                    const char* b2)
{
    if (tnModalHooks().choice)
        return tnModalHooks().choice(title, text);
    fl_message_hotspot(0);
    fl_message_title(tnDisplayText(title).c_str());
    return fl_choice("%s", b0, b1, b2, tnDisplayText(text, TNTextUse::MessageBox).c_str());
}

std::string tnShowFileChooser(const std::string& title, const std::string& pattern, const std::string& directory)
{
    if (tnModalHooks().fileChooser)
        return tnModalHooks().fileChooser(title);
    const char* chosen = fl_file_chooser(title.c_str(), pattern.c_str(), directory.c_str(), 0);
    return chosen ? chosen : "";
}

const Fl_Menu_Item* tnPopUpMenu(const Fl_Menu_Item* items, int x, int y)
{
    if (tnModalHooks().menu)
        return tnModalHooks().menu(items);
    return items->popup(x, y, nullptr, nullptr, nullptr);
}
