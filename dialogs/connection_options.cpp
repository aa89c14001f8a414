#include "dialogs/connection_options.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Radio_Round_Button.H>
#include <FL/Fl_Tabs.H>
#include <FL/filename.H>

#include <string>

#include "config/config.h"
#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "gui/child_window.h"
#include "core/display_text.h"
#include "gui/modal.h"
#include "dialogs/keyring_passwords.h"
#include "gui/config_io.h"
#include "gui/host_list.h"
#include "gui/inputs.h"
#include "gui/quick_info.h"
#include "viewer/vnc_viewer.h"

TNItmOptsWidgets ItmOpts;

namespace {

// Most host-list lines a new host may join.
constexpr int kMaxLinesForNewHost = 64999;

// The record made for a new host: it joins the list only when saved.
HostItem* newHost = nullptr;

// The window closed, however that happened: its widgets are gone, an unsaved new host too
// (nothing else knows of it).
void tnItemOptionsClosed()
{
    ItmOpts = TNItmOptsWidgets();
    delete newHost;
    newHost = nullptr;
}

void tnCloseItemOptions()
{
    if (app->childWindow)
        app->childWindow->hide();
}

template <class Input>
Input* tnOptionsInput(int x, int y, int w, int h, const char* label, const std::string& value, const char* tooltip)
{
    Input* input = new Input(x, y, w, h, label);
    input->value(value.c_str());
    if (tooltip)
        input->tooltip(tooltip);
    return input;
}

Fl_Radio_Round_Button* tnOptionsRadio(int x, int y, const char* label, bool on, const char* tooltip)
{
    auto* radio = new Fl_Radio_Round_Button(x, y, 100, 28, label);
    radio->align(FL_ALIGN_LEFT);
    radio->value(on ? 1 : 0);
    radio->tooltip(tooltip);
    radio->callback(tnItmOptionsRadioButtonsCallback);
    return radio;
}

Fl_Check_Button* tnOptionsCheck(int x, int y, int w, const char* label, bool on, const char* tooltip)
{
    auto* check = new Fl_Check_Button(x, y, w, 28, label);
    check->value(on ? 1 : 0);
    check->tooltip(tooltip);
    return check;
}

Fl_Button* tnOptionsButton(int x, const char* label, int shortcut, const char* tooltip)
{
    auto* button = new Fl_Button(x, 563, 100, 35, label);
    button->box(FL_GTK_UP_BOX);
    if (shortcut)
        button->shortcut(shortcut);
    button->tooltip(tooltip);
    button->callback(tnHandleItmOptionsButtons);
    return button;
}

void tnBuildVncPage(const HostItem& itm)
{
    Fl_Group* page = new Fl_Group(0, 32, 522, 585, "VNC options");
    TNItmOptsWidgets& o = ItmOpts;
    o.nameInput = tnOptionsInput<TNInput>(195, 44, 210, 28, "Connection name ", itm.name,
                                          "The connection name as displayed in the host connection list");
    o.groupInput = tnOptionsInput<TNInput>(195, 72, 210, 28, "Connection group ", itm.group,
                                           "The group name this connection belongs to");
    o.addressInput = tnOptionsInput<TNInput>(195, 100, 210, 28, "Remote address ", itm.hostAddress,
                                             "The IP address of the remote host you want to connect to.  Do NOT "
                                             "include the VNC port number here");
    o.f12MacroInput = tnOptionsInput<TNInput>(195, 128, 210, 28, "F12 macro ", itm.f12Macro,
                                              "Key presses that are sent to the remote host when you press the "
                                              "F12 key");
    o.vncRadio = tnOptionsRadio(195, 156, "VNC ", itm.hostType == 'v',
                                "Choose this for VNC connections that don't tunnel through SSH");
    o.vncSshRadio = tnOptionsRadio(195, 184, "VNC through SSH ", itm.hostType != 'v',
                                   "Choose this for VNC connections that use SSH to tunnel to the host");
    o.vncPortInput = tnOptionsInput<TNInput>(195, 212, 100, 28, "VNC port ", itm.vncPort,
                                             "The VNC port/display number of the host.  Defaults to 5900");
    o.vncPasswordInput = tnOptionsInput<TNSecretInput>(195, 240, 210, 28, "VNC password ", itm.vncPassword,
                                                       "The VNC password for the host");
    o.vncLoginUserInput = tnOptionsInput<TNInput>(195, 268, 210, 28, "VNC login user name ", itm.vncLoginUser,
                                                  "The VNC login name for the host");
    o.vncLoginPasswordInput = tnOptionsInput<TNSecretInput>(195, 296, 210, 28, "VNC login password ",
                                                            itm.vncLoginPassword,
                                                            "The VNC login password for the host");
    o.compressionInput = tnOptionsInput<TNInput>(195, 324, 48, 28, "Compression level (0-9) ",
                                                 std::to_string(static_cast<unsigned>(itm.compressLevel)),
                                                 "The level of compression, from 0 to 9");
    o.qualityInput = tnOptionsInput<TNInput>(195, 352, 48, 28, "Quality level (0-9) ",
                                             std::to_string(static_cast<unsigned>(itm.qualityLevel)),
                                             "The level of image quality, from 0 to 9");
    o.scalingGroup = new Fl_Group(195, 380, 300, 300);
    o.scaleOffRadio = tnOptionsRadio(195, 380, " Scale off (scroll)", itm.scaling == 's',
                                     "Choose this if you don't want any scaling.  Scrollbars will appear for hosts "
                                     "with screens larger than the viewer");
    o.scaleUpDownRadio = tnOptionsRadio(195, 408, " Scale up and down", itm.scaling == 'z',
                                        "Choose this if you want small host screens scaled up to fit the viewer, "
                                        "or large host screens scaled down to fit the viewer");
    o.scaleDownOnlyRadio = tnOptionsRadio(195, 436, " Scale down only", itm.scaling == 'f',
                                          "Choose this to scale down large host screens to fit the viewer but "
                                          "small host screens are not scaled up");
    o.fastScalingCheck = tnOptionsCheck(195, 464, 100, " Fast scaling (low quality)", itm.scalingFast,
                                        "Check to select fast scaling instead of quality scaling");
    o.scalingGroup->end();
    o.remoteCursorCheck = tnOptionsCheck(195, 492, 100, " Use remote cursor locally", itm.showRemoteCursor,
                                         "Check to show remote locally");
    page->end();
}

void tnBuildSshPage(const HostItem& itm)
{
    Fl_Group* page = new Fl_Group(0, 32, 525, 585, "SSH options");
    TNItmOptsWidgets& o = ItmOpts;
    o.sshUserInput = tnOptionsInput<TNInput>(195, 44, 210, 28, "SSH user name ", itm.sshUser,
                                             "The SSH user name for the host");
    o.sshPortInput = tnOptionsInput<TNInput>(195, 72, 100, 28, "SSH remote port ", itm.sshPort,
                                             "The remote host's port number");
    o.sshKeyInput = tnOptionsInput<TNInput>(195, 100, 300, 28, "SSH private key (if any) ", itm.sshKeyPrivate,
                                            "The SSH private key file location (usually not necessary when using "
                                            "a SSH password");
    o.sshKeyButton = new Fl_Button(497, 104, 20, 20, "...");
    o.sshKeyButton->tooltip("Click to choose a SSH private key file");
    o.sshKeyButton->callback(tnItmOptionsChoosePrvKeyBtnCallback, o.sshKeyInput);
    page->end();
}

void tnBuildCommandsPage(const HostItem& itm)
{
    Fl_Group* page = new Fl_Group(0, 32, 525, 585, "Custom commands");
    TNItmOptsWidgets& o = ItmOpts;
    struct Row {
        Fl_Check_Button** check;
        TNInput** label;
        TNInput** command;
        const char* checkLabel;
        const char* tooltip;
        bool enabled;
        const std::string& labelText;
        const std::string& commandText;
    };
    const Row rows[] = {
        {&o.command1EnabledCheck, &o.command1LabelInput, &o.command1Input, "Command 1 enabled",
         "Check to enable custom command 1", itm.customCommand1Enabled, itm.customCommand1Label, itm.customCommand1},
        {&o.command2EnabledCheck, &o.command2LabelInput, &o.command2Input, "Command 2 enabled",
         "Check to enable custom command 2", itm.customCommand2Enabled, itm.customCommand2Label, itm.customCommand2},
        {&o.command3EnabledCheck, &o.command3LabelInput, &o.command3Input, "Command 3 enabled",
         "Check to enable custom command 3", itm.customCommand3Enabled, itm.customCommand3Label, itm.customCommand3},
    };
    static const char commandTooltip[] =
        "Shell command run for this host. In it, %h stands for the host's address, %p for its VNC port, "
        "%n for its name and %u for its SSH user (each quoted as one word), %% for a percent sign. The same "
        "values are in the command's environment as TANDREL_HOST, TANDREL_PORT, TANDREL_NAME and "
        "TANDREL_SSH_USER.";
    Fl_Box* heading = new Fl_Box(195, 44, 120, 20, "Menu label");
    heading->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    heading = new Fl_Box(320, 44, 200, 20, "Shell command");
    heading->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    heading->tooltip(commandTooltip);
    int y = 64;
    for (const Row& row : rows) {
        *row.check = tnOptionsCheck(15, y, 175, row.checkLabel, row.enabled, row.tooltip);
        *row.label = tnOptionsInput<TNInput>(195, y, 120, 28, nullptr, row.labelText, nullptr);
        *row.command = tnOptionsInput<TNInput>(320, y, 200, 28, nullptr, row.commandText, commandTooltip);
        y += 28;
    }
    page->end();
}

// A listening line keeps its identity and connection fields: they came from the server.
void tnGreyListenerFields(bool isListener)
{
    const TNItmOptsWidgets& o = ItmOpts;
    Fl_Widget* const fields[] = {o.nameInput,    o.groupInput,   o.addressInput, o.vncRadio,
                                 o.vncSshRadio,  o.vncPortInput, o.vncPasswordInput,
                                 o.sshUserInput, o.sshPortInput, o.sshKeyInput, o.sshKeyButton,
                                 o.deleteButton};
    for (Fl_Widget* field : fields) {
        if (isListener)
            field->deactivate();
        else
            field->activate();
    }
}

void tnSaveFieldsInto(HostItem* itm)
{
    const TNItmOptsWidgets& o = ItmOpts;
    itm->name = o.nameInput->value();
    itm->group = o.groupInput->value();
    itm->hostAddress = o.addressInput->value();
    itm->f12Macro = o.f12MacroInput->value();
    if (o.vncRadio->value())
        itm->hostType = 'v';
    if (o.vncSshRadio->value())
        itm->hostType = 's';
    itm->vncPort = o.vncPortInput->value();
    itm->vncPassword = o.vncPasswordInput->value();
    itm->vncLoginUser = o.vncLoginUserInput->value();
    itm->vncLoginPassword = o.vncLoginPasswordInput->value();
    itm->compressLevel = tnConfigLevelFromText(o.compressionInput->value());
    itm->qualityLevel = tnConfigLevelFromText(o.qualityInput->value());
    if (o.scaleOffRadio->value())
        itm->scaling = 's';
    if (o.scaleUpDownRadio->value())
        itm->scaling = 'z';
    if (o.scaleDownOnlyRadio->value())
        itm->scaling = 'f';
    itm->scalingFast = o.fastScalingCheck->value() != 0;
    itm->showRemoteCursor = o.remoteCursorCheck->value() != 0;
    itm->sshUser = o.sshUserInput->value();
    itm->sshPort = o.sshPortInput->value();
    itm->sshKeyPrivate = o.sshKeyInput->value();
    itm->customCommand1Enabled = o.command1EnabledCheck->value() != 0;
    itm->customCommand1Label = o.command1LabelInput->value();
    itm->customCommand1 = o.command1Input->value();
    itm->customCommand2Enabled = o.command2EnabledCheck->value() != 0;
    itm->customCommand2Label = o.command2LabelInput->value();
    itm->customCommand2 = o.command2Input->value();
    itm->customCommand3Enabled = o.command3EnabledCheck->value() != 0;
    itm->customCommand3Label = o.command3LabelInput->value();
    itm->customCommand3 = o.command3Input->value();
}

// A new host joins the list after the selected line, or at the end; false when the list
// is full.
bool tnAddNewHostLine(HostItem* itm)
{
    Fl_Hold_Browser* list = app->hostList;
    if (list->size() > kMaxLinesForNewHost) {
        tnMessageWindow("The host list is full: '" + tnDisplayText(itm->name) + "' was not added", "Tandrel");
        return false;
    }
    // The list owns the record from here on.
    const int line = tnInsertHostLineAfterSelection(std::shared_ptr<HostItem>(itm));
    list->make_visible(line);
    Fl::check();
    return true;
}

void tnSaveItemOptions(HostItem* itm)
{
    if (!tnKeepEditedPasswordsInKeyring(itm, itm == newHost))
        return;
    tnSaveFieldsInto(itm);
    if (itm == newHost) {
        // Not added: the window's closing drops it.
        if (!tnAddNewHostLine(itm)) {
            tnCloseItemOptions();
            return;
        }
        newHost = nullptr;
    }
    tnUpdateHostListItemText();
    // The panel under the list shows the saved values of the selected host at once.
    if (itm == tnItemFromLine(app->hostList->value()))
        tnQuickInfoSetLabelAndText(itm);
    // Connection values are copied when an attempt starts, so they apply at the next one;
    // how the picture is laid out applies now.
    VncViewer* viewer = app->vncViewer;
    VncObject* vnc = tnVncOf(itm);
    if (itm->isListener && vnc && tnIsConnected(itm) && (!viewer || viewer->vnc != vnc)) {
        tnShowConnection(*app->vncViewer, vnc);
    } else if (viewer && viewer->vnc && viewer->vnc->itm == itm) {
        tnLayOutViewer(*app->vncViewer);
        viewer->redraw();
    }
    tnConfigWrite();
    tnCloseItemOptions();
}

void tnDeleteEditedItem(HostItem* itm)
{
    if (tnShowChoiceBox("Tandrel - Delete Item", "Are you sure you want to delete this?", "Cancel", "No", "Yes") != 2)
        return;
    // A host that was never saved has no line: dropping it is all there is to do.
    if (itm != newHost && tnItemNumFromItm(itm) > 0)
        tnDeleteHost(itm);
    tnCloseItemOptions();
}

} // namespace

void tnShowItemOptions(HostItem* itm)
{
    if (!tnClaimChildWindow())
        return;
    if (!itm) {
        itm = new HostItem();
        itm->name = "(new connection)";
        itm->vncPort = "5900";
        itm->sshPort = "";
        itm->scaling = 's';
        itm->sshKeyPrivate = "";
        itm->showRemoteCursor = true;
        itm->compressLevel = 5;
        itm->qualityLevel = 5;
        newHost = itm;
    }

    Fl_Group::current(nullptr);
    const std::string title = "Editing '" + itm->name + "'";
    auto* window = new TNChildWindow(app->hostList->w() + 50, app->h() / 2 - 302, 545, 605,
                                     tnDisplayText(title).c_str(), tnItemOptionsClosed);
    app->itmBeingEdited = itm;

    ItmOpts.tabs = new Fl_Tabs(10, 4, 525, 543);
    tnBuildVncPage(*itm);
    tnBuildSshPage(*itm);
    tnBuildCommandsPage(*itm);
    ItmOpts.tabs->end();
    ItmOpts.tabs->value(ItmOpts.tabs->child(0));

    auto* rule = new Fl_Box(0, 552, 545, 1);
    rule->box(FL_FLAT_BOX);
    rule->color(fl_color_average(FL_FOREGROUND_COLOR, FL_WHITE, 0.67f));
    ItmOpts.deleteButton = tnOptionsButton(10, "Delete", 0,
                                           "Click to permanently delete this host connection (not undoable).  You "
                                           "will be asked to confirm before item is deleted");
    ItmOpts.cancelButton = tnOptionsButton(325, "Cancel", FL_Escape,
                                           "Click to abandon any edits to this connection and close this window");
    ItmOpts.saveButton = tnOptionsButton(435, "Save", FL_Enter,
                                         "Click to save edits made to this connection and close this window");
    window->enterButton(ItmOpts.saveButton);
    window->end();

    tnGreyListenerFields(itm->isListener);
    window->show();
    ItmOpts.nameInput->take_focus();
    ItmOpts.nameInput->position(ItmOpts.nameInput->size(), 0);
    Fl::redraw();
}

void tnHandleItmOptionsButtons(Fl_Widget* widget, void*)
{
    HostItem* itm = app->itmBeingEdited;
    if (!widget || !itm || !app->childWindow) {
        if (app->childWindow)
            app->childWindow->hide();
        app->childWindowVisible = false;
        app->childWindow = nullptr;
        app->itmBeingEdited = nullptr;
        return;
    }
    if (widget == ItmOpts.cancelButton)
        tnCloseItemOptions();
    else if (widget == ItmOpts.deleteButton)
        tnDeleteEditedItem(itm);
    else if (widget == ItmOpts.saveButton)
        tnSaveItemOptions(itm);
}

void tnItmOptionsChoosePrvKeyBtnCallback(Fl_Widget*, void* keyInput)
{
    if (!keyInput)
        return;
    char home[2048] = {0};
    fl_filename_expand(home, sizeof(home), "$HOME");
    const std::string chosen = tnShowFileChooser("Tandrel - Please choose a private key file...", "*", home);
    if (!chosen.empty())
        static_cast<TNInput*>(keyInput)->value(chosen.c_str());
}

void tnItmOptionsRadioButtonsCallback(Fl_Widget* button, void*)
{
    auto* radio = static_cast<Fl_Button*>(button);
    if (radio && radio->value())
        radio->setonly();
}
