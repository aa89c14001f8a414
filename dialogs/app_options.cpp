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
#include "core/app.h"
#include "core/child_window.h"
#include "dialogs/about.h"
#include "gui/host_list.h"
#include "gui/inputs.h"
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
    spinner->labelsize(app->appFontSize);
    spinner->textsize(app->appFontSize);
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
    input->labelsize(app->appFontSize);
    input->textsize(app->appFontSize);
    input->tooltip(tooltip);
    return input;
}

Fl_Check_Button* tnOptionsCheck(int y, const char* label, bool on, const char* tooltip)
{
    auto* check = new Fl_Check_Button(300, y, 210, 28, label);
    check->value(on ? 1 : 0);
    check->labelsize(app->appFontSize);
    check->tooltip(tooltip);
    return check;
}

Fl_Box* tnOptionsNote(int y, int w, const char* label, Fl_Font font)
{
    auto* box = new Fl_Box(300, y, w, 28, label);
    box->labelfont(font);
    box->labelsize(app->appFontSize);
    box->align(FL_ALIGN_CENTER);
    return box;
}

Fl_Button* tnOptionsButton(int x, const char* label, int shortcut, const char* tooltip)
{
    auto* button = new Fl_Button(x, 505, 100, 35, label);
    button->box(FL_GTK_UP_BOX);
    button->shortcut(shortcut);
    button->labelsize(app->appFontSize);
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
    Fl_Pixmap* const before[] = {app->iconDisconnected, app->iconDisconnectedError, app->iconDisconnectedBigError,
                                 app->iconConnected,    app->iconNoConnect,         app->iconConnecting};
    tnCreateAppIcons(true);
    Fl_Pixmap* const after[] = {app->iconDisconnected, app->iconDisconnectedError, app->iconDisconnectedBigError,
                                app->iconConnected,    app->iconNoConnect,         app->iconConnecting};
    auto counterpart = [&](Fl_Image* image) -> Fl_Image* {
        for (size_t i = 0; i < sizeof(before) / sizeof(before[0]); i++) {
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
        itm->icon = counterpart(itm->icon);
        list->icon(line, counterpart(list->icon(line)));
    }
    list->redraw();
}

void tnSaveAppOptions()
{
    const TNAppOptsWidgets& o = AppOpts;
    app->scanTimeout = static_cast<uint16_t>(tnSpinnerValue(o.scanWaitSpinner, tnScanWaitMin, tnScanWaitMax));
    app->startingLocalPort = tnSpinnerValue(o.sshPortSpinner, tnLocalPortMin, tnLocalPortMax);
    app->sshCommand = o.sshCommandInput->value();
    app->appFontSize = tnIntegerFromText(o.appFontSizeInput->value());
    app->listFont = o.listFontInput->value();
    app->listFontSize = tnIntegerFromText(o.listFontSizeInput->value());
    app->hostListWidth = tnIntegerFromText(o.listWidthInput->value());
    tnPositionWidgets();
    const bool colorBlind = o.colorBlindIconsCheck->value() != 0;
    const bool iconSetChanged = colorBlind != app->colorBlindIcons;
    app->colorBlindIcons = colorBlind;
    if (iconSetChanged)
        tnSwitchIconSet();
    app->showTooltips = o.showTooltipsCheck->value() != 0;
    tnEnableDisableTooltips();
    app->showReverseConnect = o.reverseNoticeCheck->value() != 0;
    app->logToFile = o.logToFileCheck->value() != 0;
    Fl::redraw();
    tnConfigWrite();
    tnCloseAppOptions();
}

} // namespace

int tnIntegerFromText(const std::string& text)
{
    const long long value = strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

int tnSpinnerValueFromText(const std::string& text, int min, int max, int current)
{
    const char* start = text.c_str();
    char* end = nullptr;
    const double value = strtod(start, &end);
    if (end == start || std::isnan(value))
        return current;
    if (value <= min)
        return min;
    if (value >= max)
        return max;
    return static_cast<int>(std::trunc(value));
}

void tnShowAppOptions()
{
    if (!tnClaimChildWindow())
        return;
    Fl_Group::current(nullptr);
    auto* window = new TNChildWindow(app->hostList->w() + 50, app->mainWin->h() / 2 - 275, 650, 550,
                                     "Application Options", tnAppOptionsClosed);
    TNAppOptsWidgets& o = AppOpts;
    o.scanWaitSpinner = tnOptionsSpinner(16, "Scan wait time (seconds) ", tnScanWaitMin, tnScanWaitMax,
                                         app->scanTimeout,
                                         "When scanning, this is how long Tandrel waits before moving to the next "
                                         "connected host item");
    o.sshPortSpinner = tnOptionsSpinner(48, "Starting local SSH port number ", tnLocalPortMin, tnLocalPortMax,
                                        app->startingLocalPort,
                                        "This is the first SSH port used locally for VNC-over-SSH connections");
    o.sshCommandInput = tnOptionsInput(300, 80, 210, "SSH command (eg: ssh or /usr/bin/ssh) ", app->sshCommand,
                                       "This is the command to start the SSH client on your system");
    o.logToFileCheck = tnOptionsCheck(112, " Log app events to a file", app->logToFile,
                                      "Check this to log app events to a file");
    tnOptionsNote(158, 100, "Appearance Options", FL_HELVETICA_BOLD);
    o.appFontSizeInput = tnOptionsInput(300, 190, 42, "Application font size ", std::to_string(app->appFontSize),
                                        "This is the font size used throughout Tandrel.  Restart the app to see any "
                                        "changes");
    o.listFontInput = tnOptionsInput(300, 222, 210, "List font name (eg: Lucida Sans) ", app->listFont,
                                     "This is the font used for the host list.  Restart the app to see any "
                                     "changes");
    o.listFontSizeInput = tnOptionsInput(560, 222, 42, "Size:", std::to_string(app->listFontSize),
                                         "This is the font size used for the host list.  Restart the app to see any "
                                         "changes");
    o.listWidthInput = tnOptionsInput(300, 254, 210, "List width ", std::to_string(app->hostListWidth),
                                      "Width of the host list.  Restart the app to see any changes");
    o.colorBlindIconsCheck = tnOptionsCheck(286, " Use icons for color-blind users", app->colorBlindIcons,
                                            "Check this to enable color-blind-friendly icons in the host list. "
                                            "Restart the app to see any changes");
    o.showTooltipsCheck = tnOptionsCheck(318, " Show tooltips", app->showTooltips,
                                         "Check this to enable tooltips in Tandrel.");
    o.reverseNoticeCheck = tnOptionsCheck(350, " Show reverse connection notification", app->showReverseConnect,
                                          "Check this to show a message window when a reverse connection happens.");
    tnOptionsNote(414, 210, "Restart Tandrel for font or icon changes", FL_HELVETICA_ITALIC);
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
