// The host list's widget: it shows the host-list model (config/host_list_model.h) line for
// line (line n of the widget is the model's line n - 1) and reports clicks and buttons.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Fl_Widget;
class HostItem;

void tnHandleHostListEvents(Fl_Widget*, void*);
void tnHandleHostListButtons(Fl_Widget* button, void*);
// A right click on a host (its line or its tile in the overview): a connected host is
// disconnected, a listening line or an idle host gets its menu.
void tnHandleHostRightClick(HostItem* itm);
void tnInsertEmptyItem();
void tnDeleteItem(int line);
uint16_t tnItemNumFromItm(const HostItem* itm);
void tnDeselectAllItems();
void tnUpdateHostListItemText();
// The text of a host's line: its name in the form the list may draw.
std::string tnHostLineText(const HostItem* itm);
// The record of a host-list line, or null (separators, out of range).
HostItem* tnItemFromLine(int line);
// Removes a line from the model and the widget. The record goes when nothing holds it any
// more (a connection still running for it keeps it).
void tnRemoveHostLine(int line);
// A host line, or a separator line drawn as `text`, at the end (scrolled into view); the
// number of the new line.
int tnAddHostLine(std::shared_ptr<HostItem> itm);
int tnAddSeparatorLine(const std::string& text);
// A host line right after the selected line (at the end with none selected).
int tnInsertHostLineAfterSelection(std::shared_ptr<HostItem> itm);
// Empties the model and the widget.
void tnClearHostList();
// Selects a line (0: none) in the model and the widget.
void tnSelectHostLine(int line);
// Ends the connection (or the handshake, or the wait of a listening line) of a host whose
// line is going away, as a manual disconnect, so that no connection runs on without a line.
void tnEndConnectionOfDeletedItem(HostItem* itm);
// Removes the line of a record (if it has one), redraws the list and empties the panel.
void tnRemoveItemLine(HostItem* itm);
// A host the user deleted: its connection ends, its line goes (with a separator that would
// now stand next to another) and the file is written at once.
void tnDeleteHost(HostItem* itm);
