// The host list's right-click menus as data: which entries a menu has, how their labels are
// drawn, and which entry was picked. A pick is identified by its position in the menu, never
// by its text, so a custom command labelled like another entry runs only when it is picked.
#pragma once

#include <FL/Fl_Menu_Item.H>

#include <string>
#include <vector>

class HostItem;

enum class TNMenuAction {
    None,
    Connect,
    Edit,
    CopyF12Macro,
    Delete,
    Command1,
    Command2,
    Command3,
    Disconnect,
    PasteF12Macro,
    ClearF12Macro,
};

struct TNMenuEntry {
    std::string label;  // as typed; tnMenuLabel gives the form the menu draws
    TNMenuAction action = TNMenuAction::None;
    int flags = 0;
};

// A text as a menu shows it literally: "&" (the toolkit's underline mark) and "@" (its
// symbol mark) doubled, control characters blanked, long texts cut.
std::string tnMenuLabel(const std::string& text);

// Menu of a host that is neither connected, connecting, being disconnected nor listening:
// "Connect", "Edit", "Copy F12 macro" (greyed without a macro), "Delete..." and, after a
// divider, one entry per enabled custom command. A disabled command has no entry.
std::vector<TNMenuEntry> tnIdleHostMenu(const HostItem& itm);
// Menu of a listening line that holds a connection.
std::vector<TNMenuEntry> tnListenerConnectedMenu(const HostItem& itm, bool haveCopiedMacro);
// Menu of a listening line still waiting for a server.
std::vector<TNMenuEntry> tnListenerWaitingMenu();

// The custom command of a Command1..3 action: its label and command line (false for others).
bool tnCommandOfAction(const HostItem& itm, TNMenuAction action, std::string* label, std::string* command);

// The toolkit's menu for `entries` (labels at `labelSize`, ended by an empty item). The
// labels point into `labels`, which must outlive the items.
std::vector<Fl_Menu_Item> tnMenuItems(const std::vector<TNMenuEntry>& entries, int labelSize,
                                      std::vector<std::string>& labels);
// The action of the picked item of such a menu (its position), None for no pick.
TNMenuAction tnMenuPick(const std::vector<TNMenuEntry>& entries, const std::vector<Fl_Menu_Item>& items,
                        const Fl_Menu_Item* picked);
