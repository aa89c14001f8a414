#include "gui/quick_info.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>

#include "config/config.h"
#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "core/display_text.h"
#include "viewer/fltk_compat.h"
#include "core/options.h"
#include "gui/config_io.h"
#include "gui/host_list.h"

namespace {

// The record of the selected host-list line, or null.
HostItem* tnSelectedItem()
{
    return tnItemFromLine(app->hostList->value());
}

void tnSetNoteBoxText(const std::string& note, bool isListener)
{
    if (!note.empty()) {
        app->quickNoteBox->textfont(FL_HELVETICA);
        app->quickNoteBox->value(note.c_str());
    } else {
        app->quickNoteBox->textfont(FL_HELVETICA_ITALIC);
        app->quickNoteBox->value(isListener ? "(no Temporary Note)" : "(no Quick Note)");
    }
}

// The host whose note the editor holds while it is open.
HostItem* noteEditorHost = nullptr;

void tnOpenQuickNoteEditor(HostItem* itm)
{
    noteEditorHost = itm;
    TNQuickNotePack* pack = app->quickNotePack;
    TNQuickNoteBox* box = app->quickNoteBox;
    app->quickNoteInput->value(itm->quickNote.c_str());
    // The note box follows the host list's width; the editor covers it as it stands now.
    pack->resize(box->x(), box->y(), box->w(), box->h() - 3);
    app->quickNoteInput->resize(pack->x(), pack->y(), pack->w(), pack->h());
    pack->show();
    Fl::check();
    pack->redraw();
    Fl::redraw();
    if (app->quickNoteInput->take_focus())
        tnInputSetCursor(app->quickNoteInput, 0, 0);
    if (!Fl::has_timeout(tnBlinkCursor, app->quickNoteInput))
        Fl::add_timeout(0.6, tnBlinkCursor, app->quickNoteInput);
}

void tnStoreQuickNote(HostItem* itm)
{
    const std::string typed(app->quickNoteInput->value(), static_cast<size_t>(app->quickNoteInput->size()));
    itm->quickNote = tnQuickNoteFromText(typed);
    tnHideQuickNoteEditWidgets();
    tnQuickInfoSetLabelAndText(itm);
    // The panel shows the host's last error in this place until it is next refreshed.
    if (itm->quickNote.size() < typed.size())
        app->quickInfoLastError->value(tnQuickNoteCutText().c_str());
    tnConfigWrite();
}

// Text still open in the editor when the panel turns to another host (or to none) is kept
// as Enter keeps it; Escape is the way to drop it.
void tnKeepOpenQuickNote(const HostItem* next)
{
    HostItem* editing = noteEditorHost;
    if (!editing || !app->quickNotePack || !app->quickNotePack->visible() || editing == next)
        return;
    noteEditorHost = nullptr;
    tnStoreQuickNote(editing);
}

} // namespace

std::string tnQuickNoteCutText()
{
    return "Quick note cut to " + std::to_string(tnQuickNoteMaxBytes) + " bytes, the most a note keeps";
}

std::string tnQuickNoteFromText(const std::string& text)
{
    if (text.size() <= static_cast<size_t>(tnQuickNoteMaxBytes))
        return text;
    // Cut before a UTF-8 character that would not fit whole.
    size_t end = tnQuickNoteMaxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        end--;
    return text.substr(0, end);
}

int TNQuickNoteBox::handle(int event)
{
    if (event == FL_PUSH && !app->isScanning && app->hostList->value() > 0) {
        HostItem* itm = tnSelectedItem();
        if (itm && !itm->name.empty())
            tnOpenQuickNoteEditor(itm);
    }
    return Fl_Multiline_Output::handle(event);
}

int TNQuickNotePack::handle(int event)
{
    if (event == FL_FOCUS || event == FL_UNFOCUS)
        return 1;
    return Fl_Group::handle(event);
}

int TNQuickNoteInput::handle(int event)
{
    switch (event) {
    case FL_KEYBOARD:
        if (Fl::event_key() == FL_Enter) {
            HostItem* itm = app->hostList->value() > 0 ? tnSelectedItem() : nullptr;
            if (itm)
                tnStoreQuickNote(itm);
            return 1;
        }
        break;
    case FL_SHORTCUT:
        if (Fl::event_key() == FL_Escape) {
            tnHideQuickNoteEditWidgets();
            return 1;
        }
        break;
    case FL_FOCUS:
        // The caret blinks again (it stopped when the field lost the focus).
        if (app->quickNotePack && app->quickNotePack->visible() && !Fl::has_timeout(tnBlinkCursor, this))
            Fl::add_timeout(0.6, tnBlinkCursor, this);
        return 1;
    case FL_UNFOCUS:
        return 1;
    case FL_PUSH:
        if (Fl::event_state(FL_BUTTON3)) {
            tnPopUpEditMenu(this);
            return 1;
        }
        break;
    default:
        break;
    }
    return Fl_Input::handle(event);
}

void tnQuickInfoSetLabelAndText(HostItem* itm)
{
    if (!itm) {
        tnQuickInfoSetToEmpty();
        return;
    }
    if (!app->quickNotePack)
        tnCreateQuickNoteEditWidgets();
    tnKeepOpenQuickNote(itm);
    tnHideQuickNoteEditWidgets();

    const bool hasTime = !itm->lastConnectedTime.empty();
    app->quickInfoName->copy_label(tnDisplayText(itm->name, TNTextUse::Label).c_str());
    app->quickInfoLastConnectedLabel->copy_label(hasTime ? (itm->isListener ? "Connected" : "Last connected") : "");
    // The time comes from the file as it is, like the name.
    app->quickInfoLastConnected->copy_label(hasTime ? tnDisplayText(itm->lastConnectedTime, TNTextUse::Label).c_str() : "");
    tnQuickInfoSetSecurity(itm);
    app->quickInfoLastError->value(tnStatusTextOf(itm).c_str());
    tnSetNoteBoxText(itm->quickNote, itm->isListener);
}

void tnQuickInfoSetSecurity(const HostItem* itm)
{
    const VncObject* vnc = tnIsConnected(itm) ? tnVncOf(itm) : nullptr;
    app->quickInfoSecurity->copy_label(vnc ? vnc->securityText.c_str() : "");
}

void tnQuickInfoSetToEmpty()
{
    if (!app->quickNotePack)
        tnCreateQuickNoteEditWidgets();
    tnKeepOpenQuickNote(nullptr);
    tnHideQuickNoteEditWidgets();

    app->quickInfoName->copy_label("-");
    app->quickInfoLastConnectedLabel->copy_label("");
    app->quickInfoLastConnected->copy_label("");
    app->quickInfoSecurity->copy_label("");
    app->quickInfoLastError->value("");
    app->quickNoteBox->textfont(FL_HELVETICA_ITALIC);
    app->quickNoteBox->value("-");
}

void tnCreateQuickNoteEditWidgets()
{
    Fl_Group* previous = Fl_Group::current();
    Fl_Group::current(nullptr);
    TNQuickNoteBox* box = app->quickNoteBox;
    app->quickNotePack = new TNQuickNotePack(box->x(), box->y(), box->w(), box->h() - 3);
    app->quickNoteInput = new TNQuickNoteInput(0, 0, app->quickNotePack->w(), app->quickNotePack->h());
    app->quickNoteInput->type(FL_MULTILINE_INPUT_WRAP);
    app->quickNoteInput->textsize(appOptions.appFontSize + 2);
    app->quickNoteInput->color(FL_WHITE);
    app->quickNoteInput->box(FL_THIN_DOWN_BOX);
    app->quickNotePack->end();
    tnHideQuickNoteEditWidgets();
    app->add(app->quickNotePack);
    Fl_Group::current(previous);
    tnQuickInfoSetToEmpty();
}

void tnHideQuickNoteEditWidgets()
{
    noteEditorHost = nullptr;
    Fl::remove_timeout(tnBlinkCursor);
    app->quickNoteInput->value("");
    app->quickNotePack->hide();
}

void tnBlinkCursor(void* input)
{
    static bool cursorBlinkState = false;
    if (!input) {
        Fl::remove_timeout(tnBlinkCursor);
        return;
    }
    Fl_Input_* field = static_cast<Fl_Input_*>(input);
    // Without the focus the field shows no caret: no timer wakes the program for it.
    if (Fl::focus() != field) {
        field->cursor_color(FL_BLACK);
        cursorBlinkState = false;
        return;
    }
    field->cursor_color(cursorBlinkState ? FL_BLACK : FL_BACKGROUND_COLOR);
    cursorBlinkState = !cursorBlinkState;
    field->redraw();
    Fl::repeat_timeout(0.6, tnBlinkCursor, input);
}
