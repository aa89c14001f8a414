// The quick-info panel under the host list and the quick-note editor.
#pragma once

#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Pack.H>

#include <string>

#include "gui/inputs.h"

class HostItem;

// Longest stored quick note, in bytes.
constexpr int tnQuickNoteMaxBytes = 256;
// What the panel says when a note was longer than that and has been cut.
std::string tnQuickNoteCutText();
// The note stored for an editor text: at most tnQuickNoteMaxBytes bytes, never ending
// in part of a UTF-8 character.
std::string tnQuickNoteFromText(const std::string& text);

class TNQuickNoteBox : public Fl_Multiline_Output {
public:
    using Fl_Multiline_Output::Fl_Multiline_Output;
    int handle(int event) override;
};

class TNQuickNotePack : public Fl_Pack {
public:
    using Fl_Pack::Fl_Pack;
    int handle(int event) override;
};

class TNQuickNoteInput : public TNInput {
public:
    using TNInput::TNInput;
    int handle(int event) override;
};

void tnQuickInfoSetLabelAndText(HostItem* itm);
void tnQuickInfoSetToEmpty();
// The panel's line on how the host's connection is protected ("" when not connected).
void tnQuickInfoSetSecurity(const HostItem* itm);
void tnCreateQuickNoteEditWidgets();
void tnHideQuickNoteEditWidgets();
void tnBlinkCursor(void* input);
