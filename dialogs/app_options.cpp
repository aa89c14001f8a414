#include "dialogs/app_options.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Spinner.H>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "config/config.h"
#include "config/host_item.h"
#include "config/host_list_model.h"
#include "config/keyring.h"
#include "connection/front_end.h"
#include "gui/main_window.h"
#include "core/options.h"
#include "gui/child_window.h"
#include "dialogs/about.h"
#include "dialogs/keyring_passwords.h"
#include "gui/config_io.h"
#include "gui/host_list.h"
#include "gui/inputs.h"
#include "gui/overview.h"
#include "gui/main_window.h"

TNAppOptsWidgets AppOpts;

namespace {

void tnAppOptionsClosed()
{
    AppOpts = TNAppOptsWidgets();
}

void tnCloseAppOptions()
{
    if (app->childWindow)
        app->childWindow->hide();
}

Fl_Spinner* tnOptionsSpinner(int y, const char* label, int min, int max, int value, const char* tooltip)
{
    auto* spinner = new Fl_Spinner(300, y, 100, 28, label);
    spinner->step(1);
    spinner->range(min, max);
    spinner->value(value);
    spinner->labelsize(appOptions.appFontSize);
    spinner->textsize(appOptions.appFontSize);
    spinner->tooltip(tooltip);
    // Enter in the field saves the window, as everywhere else in it; the typed text is read
    // (and kept to the range) when it leaves the field and on Save.
    if (auto* field = dynamic_cast<Fl_Input*>(spinner->child(0)))
        field->when(FL_WHEN_RELEASE);
    return spinner;
}

TNInput* tnOptionsInput(int x, int y, int w, const char* label, const std::string& value, const char* tooltip)
{
    auto* input = new TNInput(x, y, w, 28, label);
    input->value(value.c_str());
    input->labelsize(appOptions.appFontSize);
    input->textsize(appOptions.appFontSize);
    input->tooltip(tooltip);
    return input;
}

Fl_Check_Button* tnOptionsCheck(int y, const char* label, bool on, const char* tooltip)
{
    auto* check = new Fl_Check_Button(300, y, 210, 28, label);
    check->value(on ? 1 : 0);
    check->labelsize(appOptions.appFontSize);
    check->tooltip(tooltip);
    return check;
}

Fl_Box* tnOptionsNote(int y, int w, const char* label, Fl_Font font)
{
    auto* box = new Fl_Box(300, y, w, 28, label);
    box->labelfont(font);
    box->labelsize(appOptions.appFontSize);
    box->align(FL_ALIGN_CENTER);
    return box;
}

Fl_Button* tnOptionsButton(int x, const char* label, int shortcut, const char* tooltip)
{
    auto* button = new Fl_Button(x, 537, 100, 35, label);
    button->box(FL_GTK_UP_BOX);
    button->shortcut(shortcut);
    button->labelsize(appOptions.appFontSize);
    button->tooltip(tooltip);
    button->callback(tnHandleAppOptionsButtons);
    return button;
}

int tnSpinnerValue(Fl_Spinner* spinner, int min, int max)
{
    // The text as it stands: typing does not always reach the spinner's value before Save.
    const Fl_Input* field = dynamic_cast<Fl_Input*>(spinner->child(0));
    const int current = static_cast<int>(spinner->value());
    return field ? tnSpinnerValueFromText(field->value(), min, max, current) : current;
}

// The status icons are made anew for the chosen set; lines and records showing an icon of
// the old set get its counterpart at once.
void tnSwitchIconSet()
{
    const std::vector<Fl_Pixmap*> before = tnLineIcons();
    tnCreateAppIcons(true);
    const std::vector<Fl_Pixmap*> after = tnLineIcons();
    auto counterpart = [&](Fl_Image* image) -> Fl_Image* {
        for (size_t i = 0; i < before.size(); i++) {
            if (image && image == before[i])
                return after[i];
        }
        return image;
    };
    Fl_Hold_Browser* list = app->hostList;
    for (int line = 1; line <= list->size(); line++) {
        HostItem* itm = tnItemFromLine(line);
        if (!itm)
            continue;
        list->icon(line, counterpart(list->icon(line)));
    }
    list->redraw();
}

void tnSaveAppOptions()
{
    const TNAppOptsWidgets& o = AppOpts;
    appOptions.scanTimeout = static_cast<uint16_t>(tnSpinnerValue(o.scanWaitSpinner, tnScanWaitMin, tnScanWaitMax));
    appOptions.startingLocalPort = tnSpinnerValue(o.sshPortSpinner, tnLocalPortMin, tnLocalPortMax);
    if (const auto* field = dynamic_cast<Fl_Input*>(o.overviewRefreshSpinner->child(0)))
        appOptions.overviewRefresh = tnOverviewRefreshFromText(field->value(), appOptions.overviewRefresh);
    tnOverviewRefreshChanged();
    appOptions.sshCommand = o.sshCommandInput->value();
    appOptions.appFontSize = tnIntegerFromText(o.appFontSizeInput->value());
    appOptions.listFont = o.listFontInput->value();
    appOptions.listFontSize = tnIntegerFromText(o.listFontSizeInput->value());
    appOptions.hostListWidth = tnIntegerFromText(o.listWidthInput->value());
    tnPositionWidgets();
    const bool colorBlind = o.colorBlindIconsCheck->value() != 0;
    const bool iconSetChanged = colorBlind != appOptions.colorBlindIcons;
    appOptions.colorBlindIcons = colorBlind;
    if (iconSetChanged)
        tnSwitchIconSet();
    appOptions.showTooltips = o.showTooltipsCheck->value() != 0;
    tnEnableDisableTooltips();
    appOptions.showReverseConnect = o.reverseNoticeCheck->value() != 0;
    appOptions.sendMiddleButton = o.middleButtonCheck->value() != 0;
    appOptions.reverseLocalOnly = o.reverseLocalOnlyCheck->value() != 0;
    appOptions.reconnectDropped = o.reconnectCheck->value() != 0;
    appOptions.logToFile = o.logToFileCheck->value() != 0;
    // Passwords move between the file and the keyring; a turned-off keyring's items go once
    // the file holds the passwords again.
    const std::vector<HostItem*> hosts = tnHostList().hosts();
    const bool wasInKeyring = appOptions.passwordsInKeyring;
    tnTurnPasswordsInKeyring(o.keyringCheck->value() != 0, hosts);
    Fl::redraw();
    tnConfigWrite();
    const bool written = !app->configFileUnread && !app->saveFailureTold;
    if (written && wasInKeyring && !appOptions.passwordsInKeyring)
        tnForgetKeyringPasswords(hosts);
    tnCloseAppOptions();
}

} // namespace

void tnShowAppOptions()
{
    if (!tnClaimChildWindow())
        return;
    Fl_Group::current(nullptr);
    auto* window = new TNChildWindow(app->hostList->w() + 50, app->h() / 2 - 291, 650, 582,
                                     "Application Options", tnAppOptionsClosed);
    TNAppOptsWidgets& o = AppOpts;
    o.scanWaitSpinner = tnOptionsSpinner(16, "Scan wait time (seconds) ", tnScanWaitMin, tnScanWaitMax,
                                         appOptions.scanTimeout,
                                         "When scanning, this is how long Tandrel waits before moving to the next "
                                         "connected host item");
    o.sshPortSpinner = tnOptionsSpinner(48, "Starting local SSH port number ", tnLocalPortMin, tnLocalPortMax,
                                        appOptions.startingLocalPort,
                                        "This is the first SSH port used locally for VNC-over-SSH connections");
    o.overviewRefreshSpinner = new Fl_Spinner(540, 48, 80, 28, "Overview refresh ");
    o.overviewRefreshSpinner->type(FL_FLOAT_INPUT);
    o.overviewRefreshSpinner->format("%.1f");
    o.overviewRefreshSpinner->step(0.1);
    o.overviewRefreshSpinner->range(tnMinOverviewRefresh, tnMaxOverviewRefresh);
    o.overviewRefreshSpinner->value(appOptions.overviewRefresh);
    o.overviewRefreshSpinner->labelsize(appOptions.appFontSize);
    o.overviewRefreshSpinner->textsize(appOptions.appFontSize);
    o.overviewRefreshSpinner->tooltip("How many times a second the overview of all connected hosts brings "
                                      "every host's picture up to date (0.2 to 10)");
    o.sshCommandInput = tnOptionsInput(300, 80, 210, "SSH command (eg: ssh or /usr/bin/ssh) ", appOptions.sshCommand,
                                       "This is the command to start the SSH client on your system");
    o.logToFileCheck = tnOptionsCheck(112, " Log app events to a file", appOptions.logToFile,
                                      "Check this to log app events to a file");
    tnOptionsNote(158, 100, "Appearance Options", FL_HELVETICA_BOLD);
    o.appFontSizeInput = tnOptionsInput(300, 190, 42, "Application font size ", std::to_string(appOptions.appFontSize),
                                        "This is the font size used throughout Tandrel.  Restart the app to see any "
                                        "changes");
    o.listFontInput = tnOptionsInput(300, 222, 210, "List font name (eg: Lucida Sans) ", appOptions.listFont,
                                     "This is the font used for the host list.  Restart the app to see any "
                                     "changes");
    o.listFontSizeInput = tnOptionsInput(560, 222, 42, "Size:", std::to_string(appOptions.listFontSize),
                                         "This is the font size used for the host list.  Restart the app to see any "
                                         "changes");
    o.listWidthInput = tnOptionsInput(300, 254, 210, "List width ", std::to_string(appOptions.hostListWidth),
                                      "Width of the host list");
    o.colorBlindIconsCheck = tnOptionsCheck(286, " Use icons for color-blind users", appOptions.colorBlindIcons,
                                            "Check this to enable color-blind-friendly icons in the host list");
    o.showTooltipsCheck = tnOptionsCheck(318, " Show tooltips", appOptions.showTooltips,
                                         "Check this to enable tooltips in Tandrel.");
    o.reverseNoticeCheck = tnOptionsCheck(350, " Show reverse connection notification", appOptions.showReverseConnect,
                                          "Check this to show a message window when a reverse connection happens.");
    o.reverseLocalOnlyCheck =
        tnOptionsCheck(382, " Accept reverse connections from this computer only", appOptions.reverseLocalOnly,
                       "Check this to accept reverse connections on 127.0.0.1 and ::1 only (for example brought in "
                       "through 'ssh -R'), not from other computers.  Applies to listening lines started afterwards");
    o.middleButtonCheck = tnOptionsCheck(414, " Send the middle mouse button", appOptions.sendMiddleButton,
                                         "Check this to send the middle mouse button to the hosts.  Unchecked, it "
                                         "stays on this desktop (where it pastes)");
    o.keyringCheck = tnOptionsCheck(446, " Keep passwords in the desktop keyring", appOptions.passwordsInKeyring,
                                    "Check this to keep the hosts' passwords in the desktop keyring (Secret Service) "
                                    "instead of the configuration file");
    o.reconnectCheck = tnOptionsCheck(478, " Reconnect dropped hosts", appOptions.reconnectDropped,
                                      "Check this to connect again by itself to a host whose connection was lost "
                                      "(after 1, 2, 4, 8, 16 and then every 30 seconds).  A right-click on its line "
                                      "stops it");
    tnOptionsNote(510, 210, "Restart Tandrel for font changes", FL_HELVETICA_ITALIC);
    o.cancelButton = tnOptionsButton(430, "Cancel", FL_Escape, "Click to abandon any edits and close this window");
    o.saveButton = tnOptionsButton(540, "Save", FL_Enter, "Click to save edits and close this window");
    window->enterButton(o.saveButton);
    window->end();
    window->show();

    o.scanWaitSpinner->take_focus();
    if (auto* field = dynamic_cast<Fl_Input*>(o.scanWaitSpinner->child(0))) {
        if (field->type() == FL_INT_INPUT) {
            field->take_focus();
            field->position(0, 1000);
        }
    }
    Fl::redraw();
}

void tnHandleAppOptionsButtons(Fl_Widget* widget, void*)
{
    if (!widget || !app->childWindow) {
        if (app->childWindow)
            app->childWindow->hide();
        app->childWindowVisible = false;
        app->childWindow = nullptr;
        return;
    }
    if (widget == AppOpts.cancelButton)
        tnCloseAppOptions();
    else if (widget == AppOpts.saveButton)
        tnSaveAppOptions();
}
