#include "gui/host_menu.h"

#include "config/host_item.h"
#include "core/display_text.h"

std::string tnMenuLabel(const std::string& text)
{
    const std::string shown = tnDisplayText(text, TNTextUse::Label);
    std::string label;
    label.reserve(shown.size() + 4);
    for (const char c : shown) {
        label += c;
        if (c == '&')
            label += '&';
    }
    return label;
}

std::vector<TNMenuEntry> tnIdleHostMenu(const HostItem& itm)
{
    const bool anyCommand = itm.customCommand1Enabled || itm.customCommand2Enabled || itm.customCommand3Enabled;
    std::vector<TNMenuEntry> menu = {
        {"Connect", TNMenuAction::Connect, 0},
        {"Edit", TNMenuAction::Edit, 0},
        {"Copy F12 macro", TNMenuAction::CopyF12Macro, itm.f12Macro.empty() ? FL_MENU_INACTIVE : 0},
        {"Delete...", TNMenuAction::Delete, anyCommand ? FL_MENU_DIVIDER : 0},
    };
    if (itm.customCommand1Enabled)
        menu.push_back({itm.customCommand1Label, TNMenuAction::Command1, 0});
    if (itm.customCommand2Enabled)
        menu.push_back({itm.customCommand2Label, TNMenuAction::Command2, 0});
    if (itm.customCommand3Enabled)
        menu.push_back({itm.customCommand3Label, TNMenuAction::Command3, 0});
    return menu;
}

std::vector<TNMenuEntry> tnListenerConnectedMenu(const HostItem& itm, bool haveCopiedMacro)
{
    return {
        {"Disconnect", TNMenuAction::Disconnect, 0},
        {"Edit", TNMenuAction::Edit, 0},
        {"Paste F12 macro", TNMenuAction::PasteF12Macro, haveCopiedMacro ? 0 : FL_MENU_INACTIVE},
        {"Clear F12 macro", TNMenuAction::ClearF12Macro, itm.f12Macro.empty() ? FL_MENU_INACTIVE : 0},
    };
}

std::vector<TNMenuEntry> tnListenerWaitingMenu()
{
    return {{"Delete", TNMenuAction::Delete, 0}};
}

bool tnCommandOfAction(const HostItem& itm, TNMenuAction action, std::string* label, std::string* command)
{
    const std::string* pickedLabel = nullptr;
    const std::string* pickedCommand = nullptr;
    bool enabled = false;
    switch (action) {
    case TNMenuAction::Command1:
        pickedLabel = &itm.customCommand1Label, pickedCommand = &itm.customCommand1, enabled = itm.customCommand1Enabled;
        break;
    case TNMenuAction::Command2:
        pickedLabel = &itm.customCommand2Label, pickedCommand = &itm.customCommand2, enabled = itm.customCommand2Enabled;
        break;
    case TNMenuAction::Command3:
        pickedLabel = &itm.customCommand3Label, pickedCommand = &itm.customCommand3, enabled = itm.customCommand3Enabled;
        break;
    default:
        return false;
    }
    // Disabled meanwhile (the menu runs an event loop of its own): it does not run.
    if (!enabled)
        return false;
    *label = *pickedLabel;
    *command = *pickedCommand;
    return true;
}

std::vector<Fl_Menu_Item> tnMenuItems(const std::vector<TNMenuEntry>& entries, int labelSize,
                                      std::vector<std::string>& labels)
{
    labels.clear();
    labels.reserve(entries.size());
    for (const TNMenuEntry& entry : entries)
        labels.push_back(tnMenuLabel(entry.label));
    std::vector<Fl_Menu_Item> items;
    items.reserve(entries.size() + 1);
    for (size_t i = 0; i < entries.size(); i++) {
        Fl_Menu_Item item{};
        item.text = labels[i].c_str();
        item.flags = entries[i].flags;
        item.labeltype_ = FL_NORMAL_LABEL;
        item.labelfont_ = FL_HELVETICA;
        item.labelsize_ = static_cast<Fl_Fontsize>(labelSize);
        item.labelcolor_ = FL_FOREGROUND_COLOR;
        items.push_back(item);
    }
    items.push_back(Fl_Menu_Item{});
    return items;
}

TNMenuAction tnMenuPick(const std::vector<TNMenuEntry>& entries, const std::vector<Fl_Menu_Item>& items,
                        const Fl_Menu_Item* picked)
{
    if (!picked || items.empty() || picked < items.data() || picked >= items.data() + items.size())
        return TNMenuAction::None;
    const size_t index = static_cast<size_t>(picked - items.data());
    if (index >= entries.size() || (entries[index].flags & FL_MENU_INACTIVE))
        return TNMenuAction::None;
    return entries[index].action;
}
