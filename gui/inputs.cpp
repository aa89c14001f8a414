#include "gui/inputs.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_ask.H>

#include <cstring>
#include <memory>

#include "gui/main_window.h"
#include "core/options.h"
#include "gui/modal.h"
#include "viewer/x_clipboard.h"

void tnPasteInto(Fl_Input_* input, bool clipboard)
{
    if (!input || input->readonly())
        return;
    // The input may be deleted before the text is in; the tracker notices.
    auto tracker = std::make_shared<Fl_Widget_Tracker>(input);
    tnReadClipboardAsync(clipboard, [tracker, input](TNClipboardText text) {
        if (tracker->deleted())
            return;
        if (text.result != TNClipboardText::Result::Text) {
            if (text.result == TNClipboardText::Result::TooLarge)
                fl_beep();
            return;
        }
        Fl::e_text = const_cast<char*>(text.text.c_str());
        Fl::e_length = static_cast<int>(text.text.size());
        input->handle(FL_PASTE);
        Fl::e_text = nullptr;
        Fl::e_length = 0;
    });
}

bool tnTakeOverPasteEvent(int event)
{
    switch (event) {
    case FL_RELEASE:
        if (Fl::event_button() == FL_MIDDLE_MOUSE) {
            if (auto* input = dynamic_cast<Fl_Input_*>(Fl::pushed())) {
                Fl::pushed(nullptr);
                tnPasteInto(input, false);
                return true;
            }
        }
        return false;
    case FL_KEYBOARD: {
        const int key = Fl::event_key();
        const bool paste = (key == 'v' && Fl::event_state(FL_CTRL) && !Fl::event_state(FL_ALT | FL_META)) ||
                           (key == FL_Insert && Fl::event_state(FL_SHIFT) && !Fl::event_state(FL_CTRL));
        if (auto* input = paste ? dynamic_cast<Fl_Input_*>(Fl::focus()) : nullptr) {
            tnPasteInto(input, true);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

int TNInput::handle(int event)
{
    if (event == FL_PUSH && Fl::event_state(FL_BUTTON3)) {
        tnPopUpEditMenu(this);
        return 1;
    }
    return Fl_Input::handle(event);
}

int TNSecretInput::handle(int event)
{
    if (event == FL_PUSH && Fl::event_state(FL_BUTTON3)) {
        tnPopUpEditMenu(this);
        return 1;
    }
    return Fl_Secret_Input::handle(event);
}

void tnPopUpEditMenu(Fl_Input_* input)
{
    static bool editMenuOpen = false;
    if (editMenuOpen)
        return;
    editMenuOpen = true;

    const Fl_Fontsize size = appOptions.menuFontSize;
    const Fl_Menu_Item menu[] = {
        {"Undo", 0, nullptr, nullptr, FL_MENU_DIVIDER, FL_NORMAL_LABEL, FL_HELVETICA, size, FL_FOREGROUND_COLOR},
        {"Cut", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, size, FL_FOREGROUND_COLOR},
        {"Copy", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, size, FL_FOREGROUND_COLOR},
        {"Paste", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, size, FL_FOREGROUND_COLOR},
        {},
    };
    const Fl_Menu_Item* chosen = tnPopUpMenu(menu, Fl::event_x() + 14, Fl::event_y() - 10);
    if (chosen && chosen->label())
        tnEditMenuAction(input, chosen->label());
    editMenuOpen = false;
}

void tnEditMenuAction(Fl_Input_* input, const char* entry)
{
    if (!input || !entry)
        return;
    if (strcmp(entry, "Cut") == 0) {
        input->copy(1);
        if (input->position() != input->mark())
            input->replace(input->position(), input->mark(), nullptr);
    } else if (strcmp(entry, "Paste") == 0) {
        tnPasteInto(input, true);
    } else if (strcmp(entry, "Undo") == 0) {
        input->undo();
    } else if (strcmp(entry, "Copy") == 0) {
        input->copy(1);
    }
}
