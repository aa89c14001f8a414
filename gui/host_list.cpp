#include "gui/host_list.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Pixmap.H>

#include <cstring>
#include <string>
#include <vector>

#include "config/command_placeholders.h"
#include "config/config.h"
#include "config/host_item.h"
#include "config/host_list_model.h"
#include "config/keyring.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "core/options.h"
#include "core/display_text.h"
#include "gui/modal.h"
#include "gui/config_io.h"
#include "gui/front_end.h"
#include "gui/host_menu.h"
#include "gui/openers.h"
#include "gui/overview.h"
#include "gui/quick_info.h"
#include "gui/scan.h"
#include "viewer/vnc_viewer.h"

namespace {

// Pops a menu up next to the mouse; returns the action of the picked entry.
TNMenuAction tnPopUpHostMenu(const std::vector<TNMenuEntry>& entries)
{
    std::vector<std::string> labels;
    const std::vector<Fl_Menu_Item> items = tnMenuItems(entries, appOptions.menuFontSize, labels);
    const Fl_Menu_Item* picked = tnPopUpMenu(items.data(), Fl::event_x() + 14, Fl::event_y() - 10);
    return tnMenuPick(entries, items, picked);
}

bool tnIsConnectedOrConnecting(const HostItem* itm)
{
    const TNConnectionState state = tnStateOf(itm);
    return state == TNConnectionState::Connected || state == TNConnectionState::Connecting;
}

// Ended while its handshake still runs.
bool tnIsBeingEnded(const HostItem* itm)
{
    return tnStateOf(itm) == TNConnectionState::Abandoned;
}

// Deletes the line of a record wherever it stands now (a menu's nested event loop may
// have moved it).
void tnDeleteLineOf(const HostItem* itm)
{
    const int line = tnItemNumFromItm(itm);
    if (line > 0)
        tnDeleteItem(line);
}

void tnCopyF12Macro(const HostItem* itm)
{
    Fl::copy(itm->f12Macro.c_str(), static_cast<int>(itm->f12Macro.size()), 1, Fl::clipboard_plain_text);
    app->f12MacroClipboard = itm->f12Macro;
}

void tnEditItem(HostItem* itm)
{
    if (tnWindowOpeners().itemOptions)
        tnWindowOpeners().itemOptions(itm);
}

void tnRunPickedCommand(const HostItem* itm, TNMenuAction action)
{
    std::string label, command;
    if (!tnCommandOfAction(*itm, action, &label, &command) || !tnWindowOpeners().runCommand)
        return;
    const TNCommandValues values = tnCommandValuesOf(*itm);
    tnWindowOpeners().runCommand(label, tnExpandCommandPlaceholders(command, values), tnCommandEnvironment(values));
}

// Menu of a host that is neither connected, connecting, being disconnected nor listening.
void tnShowHostMenu(HostItem* itm)
{
    switch (const TNMenuAction picked = tnPopUpHostMenu(tnIdleHostMenu(*itm))) {
    case TNMenuAction::Connect:
        VncObject::createVNCObject(itm);
        break;
    case TNMenuAction::Edit:
        tnEditItem(itm);
        break;
    case TNMenuAction::CopyF12Macro:
        tnCopyF12Macro(itm);
        break;
    case TNMenuAction::Delete:
        tnDeleteLineOf(itm);
        break;
    case TNMenuAction::Command1:
    case TNMenuAction::Command2:
    case TNMenuAction::Command3:
        tnRunPickedCommand(itm, picked);
        break;
    default:
        break;
    }
}

// Menu of a listening line that holds a connection.
void tnShowListenerConnectedMenu(HostItem* itm)
{
    switch (tnPopUpHostMenu(tnListenerConnectedMenu(*itm, !app->f12MacroClipboard.empty()))) {
    case TNMenuAction::Disconnect:
        tnDisconnect(itm);
        tnDeleteLineOf(itm);
        break;
    case TNMenuAction::Edit:
        tnEditItem(itm);
        break;
    case TNMenuAction::PasteF12Macro:
        itm->f12Macro = app->f12MacroClipboard;
        app->f12MacroClipboard.clear();
        break;
    case TNMenuAction::ClearF12Macro:
        itm->f12Macro.clear();
        break;
    default:
        break;
    }
}

// Menu of a listening line still waiting for a server.
void tnShowListenerWaitingMenu(HostItem* itm)
{
    if (tnPopUpHostMenu(tnListenerWaitingMenu()) == TNMenuAction::Delete)
        tnDeleteLineOf(itm);
}

void tnHandleLeftClick(HostItem* itm)
{
    if (Fl::event_clicks()) {
        if (app->childWindowVisible || tnIsConnectedOrConnecting(itm) || itm->isListener)
            return;
        tnHideShownConnection(*app->vncViewer);
        VncObject::createVNCObject(itm);
        return;
    }
    // With the overview open a click only moves its outline; a tile shows its host.
    if (app->childWindowVisible || tnOverviewIsOpen())
        return;
    tnHideShownConnection(*app->vncViewer);
    if (tnIsConnected(itm) && tnVncOf(itm))
        tnShowConnection(*app->vncViewer, tnVncOf(itm));
}

} // namespace

void tnHandleHostRightClick(HostItem* itm)
{
    // A pop-up menu runs an event loop of its own, in which another right click can arrive:
    // that one opens no second menu.
    static bool hostListMenuOpen = false;
    if (app->childWindowVisible)
        return;
    tnHideShownConnection(*app->vncViewer);
    if (tnVncOf(itm) && itm->isListener && tnIsConnected(itm))
        tnShowConnection(*app->vncViewer, tnVncOf(itm));

    // A right-click also stops a dropped host from reconnecting.
    if ((tnIsConnectedOrConnecting(itm) || tnStateOf(itm) == TNConnectionState::Reconnecting) && !itm->isListener) {
        tnDisconnect(itm);
        return;
    }
    if (!tnIsConnectedOrConnecting(itm) && !tnIsBeingEnded(itm) && !itm->isListener && !hostListMenuOpen) {
        hostListMenuOpen = true;
        tnShowHostMenu(itm);
        hostListMenuOpen = false;
    }
    if (!itm->isListener || hostListMenuOpen)
        return;
    hostListMenuOpen = true;
    if (tnIsConnected(itm))
        tnShowListenerConnectedMenu(itm);
    else
        tnShowListenerWaitingMenu(itm);
    hostListMenuOpen = false;
}

namespace {

void tnMoveSelectedLine(int line, int target)
{
    // Down with nothing selected selects the first line.
    if (line < 1) {
        tnSelectHostLine(target);
        return;
    }
    TNHostListModel& model = tnHostList();
    model.select(line - 1);
    if (!(target < line ? model.moveSelectedUp() : model.moveSelectedDown()))
        return;
    app->hostList->swap(line, target);
    app->hostList->select(target);
    app->hostList->redraw();
    tnOverviewHostsChanged();
}

// The widget's line for a model line, with the icon of the host's status.
void tnShowLine(int line, const TNHostLine& shown, bool insert)
{
    const std::string text = shown.host ? tnHostLineText(shown.host.get()) : shown.text;
    if (insert)
        app->hostList->insert(line, text.c_str(), shown.host.get());
    else
        app->hostList->add(text.c_str(), shown.host.get());
    if (shown.host) {
        Fl_Pixmap* icon = tnHostStatusImage(shown.host.get());
        app->hostList->icon(line, icon ? icon : app->iconDisconnected);
    }
}

void tnListen()
{
    for (int line = 1; line <= app->hostList->size(); line++) {
        const HostItem* itm = tnItemFromLine(line);
        if (itm && tnVncOf(itm) && itm->isListener) {
            tnMessageWindow("Only one active listening viewer is allowed", "Tandrel");
            return;
        }
    }
    VncObject::createVNCListener();
}

} // namespace

void tnEndConnectionOfDeletedItem(HostItem* itm)
{
    tnDisconnect(itm);
}

void tnRemoveItemLine(HostItem* itm)
{
    // A deleted host's passwords go with it.
    if (appOptions.passwordsInKeyring)
        tnForgetKeyringPasswords({itm});
    const int line = tnItemNumFromItm(itm);
    if (line > 0)
        tnRemoveHostLine(line);
    app->hostList->redraw();
    tnQuickInfoSetToEmpty();
}

HostItem* tnItemFromLine(int line)
{
    return tnHostList().hostAt(line - 1);
}

uint16_t tnItemNumFromItm(const HostItem* itm)
{
    return static_cast<uint16_t>(tnHostList().find(itm) + 1);
}

void tnDeselectAllItems()
{
    tnSelectHostLine(0);
}

void tnSelectHostLine(int line)
{
    tnHostList().select(line - 1);
    if (line > 0)
        app->hostList->select(line);
    else
        app->hostList->deselect();
    tnOverviewSelectionChanged();
}

int tnAddHostLine(std::shared_ptr<HostItem> itm)
{
    const int line = tnHostList().append({std::move(itm), ""}) + 1;
    tnShowLine(line, tnHostList().line(static_cast<size_t>(line - 1)), false);
    return line;
}

int tnAddSeparatorLine(const std::string& text)
{
    const int line = tnHostList().append({nullptr, text}) + 1;
    tnShowLine(line, tnHostList().line(static_cast<size_t>(line - 1)), false);
    return line;
}

int tnInsertHostLineAfterSelection(std::shared_ptr<HostItem> itm)
{
    tnHostList().select(app->hostList->value() - 1);
    const int line = tnHostList().insertAfterSelection({std::move(itm), ""}) + 1;
    tnShowLine(line, tnHostList().line(static_cast<size_t>(line - 1)), true);
    return line;
}

void tnClearHostList()
{
    tnHostList().clear();
    app->hostList->clear();
}

void tnUpdateHostListItemText()
{
    for (int line = 1; line <= app->hostList->size(); line++) {
        if (const HostItem* itm = tnItemFromLine(line))
            app->hostList->text(line, tnHostLineText(itm).c_str());
    }
}

std::string tnHostLineText(const HostItem* itm)
{
    return itm ? tnDisplayText(itm->name, TNTextUse::HostListLine) : std::string();
}

void tnInsertEmptyItem()
{
    auto itm = std::make_shared<HostItem>();
    itm->name = "(new connection)";
    itm->hostAddress = "192.168.0.1";
    itm->vncPort = "5900";
    itm->scaling = 'f';
    itm->sshKeyPrivate = "";
    itm->showRemoteCursor = true;
    itm->compressLevel = 5;
    itm->qualityLevel = 5;
    app->hostList->bottomline(tnAddHostLine(itm));
    Fl::redraw();
    Fl::check();
}

namespace {

// A group that lost its last host leaves two separators next to each other where the line
// was; the file has one there, so the list keeps one, as the next start would show it.
void tnMergeSeparatorsAround(int line)
{
    if (line < 2 || line > static_cast<int>(tnHostList().size()))
        return;
    if (!tnItemFromLine(line - 1) && !tnItemFromLine(line))
        tnRemoveHostLine(line);
}

} // namespace

void tnDeleteHost(HostItem* itm)
{
    tnEndConnectionOfDeletedItem(itm);
    const int removedAt = tnItemNumFromItm(itm);
    tnRemoveItemLine(itm);
    tnMergeSeparatorsAround(removedAt);
    // Saved at once: a deleted host must not come back after a crash or a kill.
    tnConfigWrite();
}

void tnDeleteItem(int line)
{
    // The question box runs an event loop of its own, in which another Delete can arrive:
    // that one is dropped.
    static bool deleteInProgress = false;
    if (deleteInProgress)
        return;
    deleteInProgress = true;

    // Held through the question box's event loop, whatever happens to the line meanwhile.
    const std::shared_ptr<HostItem> held = tnHostList().share(tnItemFromLine(line));
    HostItem* itm = held.get();
    if (!itm) {
        tnBeep();
    } else if (itm->isListener) {
        tnEndConnectionOfDeletedItem(itm);
        tnRemoveItemLine(itm);
    } else if (tnShowChoiceBox("Tandrel - Delete Item", "Are you sure you want to delete '" + tnDisplayText(itm->name) + "'?",
                               "Cancel", "No", "Yes") == 2) {
        tnDeleteHost(itm);
    }
    deleteInProgress = false;
}

void tnHandleHostListEvents(Fl_Widget*, void*)
{
    tnHostList().select(app->hostList->value() - 1);
    tnOverviewSelectionChanged();
    // Held through the menus' event loops, in which the line may be deleted.
    const std::shared_ptr<HostItem> held = tnHostList().share(tnItemFromLine(app->hostList->value()));
    HostItem* itm = held.get();
    if (!itm) {
        tnQuickInfoSetToEmpty();
        return;
    }
    tnQuickInfoSetLabelAndText(itm);
    // A selection moved by the keyboard leaves a key code here, never 1 or 3.
    const int button = Fl::event_button();
    if (button == FL_LEFT_MOUSE)
        tnHandleLeftClick(itm);
    else if (button == FL_RIGHT_MOUSE)
        tnHandleHostRightClick(itm);
}

void tnHandleHostListButtons(Fl_Widget* button, void*)
{
    if (!button)
        return;
    const int line = app->hostList->value();
    // A separator carries no record; a host's line never counts as one, whatever its name.
    const char* text = line >= 1 ? app->hostList->text(line) : nullptr;
    const bool isSeparator = text && !tnItemFromLine(line) && strcmp(text, tnSeparatorLater) == 0;

    if (button == app->btnDelete && !isSeparator) {
        if (line >= 1)
            tnDeleteItem(line);
        else
            tnMessageWindow("Nothing was selected so nothing was deleted", "Tandrel - Delete Item");
    } else if (button == app->btnUp && !isSeparator) {
        if (line >= 2)
            tnMoveSelectedLine(line, line - 1);
    } else if (button == app->btnDown && !isSeparator) {
        if (line < app->hostList->size())
            tnMoveSelectedLine(line, line + 1);
    } else if (button == app->btnHelp) {
        if (tnWindowOpeners().help)
            tnWindowOpeners().help();
    } else if (button == app->btnListen) {
        tnListen();
    } else if (button == app->btnAdd) {
        if (tnWindowOpeners().itemOptions)
            tnWindowOpeners().itemOptions(nullptr);
    } else if (button == app->btnOptions) {
        if (tnWindowOpeners().appOptions)
            tnWindowOpeners().appOptions();
    } else if (button == app->btnScan) {
        tnHandleScanButton();
    } else if (button == app->btnOverview) {
        tnToggleOverview();
    }
}

void tnRemoveHostLine(int line)
{
    if (line < 1 || line > app->hostList->size())
        return;
    // The widget lets go of the line before the model may free its record.
    app->hostList->remove(line);
    tnHostList().remove(line - 1);
}
