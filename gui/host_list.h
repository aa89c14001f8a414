// The host list: clicks, menus, buttons, and mapping between lines and host records.
#pragma once

#include <cstdint>
#include <string>

class Fl_Widget;
class HostItem;

void tnHandleHostListEvents(Fl_Widget*, void*);
void tnHandleHostListButtons(Fl_Widget* button, void*);
void tnInsertEmptyItem();
void tnDeleteItem(int line);
uint16_t tnItemNumFromItm(const HostItem* itm);
void tnDeselectAllItems();
void tnUpdateHostListItemText();
// The text of a host's line: its name in the form the list may draw.
std::string tnHostLineText(const HostItem* itm);
// The record of a host-list line, or null (separators, out of range).
HostItem* tnItemFromLine(int line);
// Removes a line from the host list. Its record is detached, not freed: records live as
// long as the program, since a worker thread may still hold one.
void tnRemoveHostLine(int line);
// Ends the connection (or the handshake, or the wait of a listening line) of a host whose
// line is going away, as a manual disconnect, so that no connection runs on without a line.
void tnEndConnectionOfDeletedItem(HostItem* itm);
// Removes the line of a record (if it has one), redraws the list and empties the panel.
void tnRemoveItemLine(HostItem* itm);
// A host the user deleted: its connection ends, its line goes (with a separator that would
// now stand next to another) and the file is written at once.
void tnDeleteHost(HostItem* itm);
