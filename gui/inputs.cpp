#include "gui/inputs.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>

#include <cstring>

#include "core/app.h"
#include "core/options.h"
#include "core/modal.h"

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
        Fl::paste(*input, 1, Fl::clipboard_plain_text);
    } else if (strcmp(entry, "Undo") == 0) {
        input->undo();
    } else if (strcmp(entry, "Copy") == 0) {
        input->copy(1);
    }
}
