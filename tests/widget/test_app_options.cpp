// The application options window: every value applied and written, what applies at once
// (layout, icon set, tooltips), Cancel, Escape and Enter, the spinner ranges and what the
// next start corrects.
#include "dialogs/app_options.h"
#include "main_window_fixture.h"
#include "core/options.h"

// After gtest: these pull in X headers, which define names such as None.
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Tooltip.H>

#include <sstream>

#include "config/config.h"
#include "gui/inputs.h"

namespace {

class AppOptionsTest : public TNMainWindowTest {
protected:
    void SetUp() override
    {
        startWith("logtofile=false\n" + tnHostBlock("alpha") + tnHostBlock("beta"));
        tnModalHooks().message = [this](const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
        };
    }
    void open()
    {
        tnHandleHostListButtons(app->btnOptions, nullptr);
        ASSERT_NE(app->childWindow, nullptr);
        tnTestFocusWindow(app->childWindow);
    }
    static Fl_Input* fieldOf(Fl_Spinner* spinner) { return dynamic_cast<Fl_Input*>(spinner->child(0)); }
    std::string file() const { return tnTestReadFile(appOptions.configPathAndFile); }
    bool fileHasLine(const std::string& line) const { return ("\n" + file()).find("\n" + line + "\n") != std::string::npos; }

    std::vector<std::string> messages;
};

TEST_F(AppOptionsTest, OpensWithTheCurrentOptions)
{
    appOptions.scanTimeout = 7;
    appOptions.appFontSize = 13;
    open();
    Fl_Window* window = app->childWindow;
    EXPECT_STREQ(window->label(), "Application Options");
    EXPECT_TRUE(window->modal());
    EXPECT_EQ(window->w(), 650);
    EXPECT_EQ(window->h(), 582);
    const TNAppOptsWidgets& o = AppOpts;
    EXPECT_EQ(o.scanWaitSpinner->value(), 7);
    EXPECT_EQ(o.scanWaitSpinner->maximum(), 65535);
    EXPECT_EQ(o.sshPortSpinner->value(), 15000);
    EXPECT_EQ(o.sshPortSpinner->maximum(), 65436);
    EXPECT_STREQ(o.sshCommandInput->value(), "ssh");
    EXPECT_STREQ(o.listFontInput->value(), "Sans");
    EXPECT_STREQ(o.appFontSizeInput->value(), "13");
    EXPECT_EQ(o.showTooltipsCheck->value(), 1);
    EXPECT_EQ(o.logToFileCheck->value(), 0);
    EXPECT_EQ(o.reverseNoticeCheck->value(), 1);
    EXPECT_EQ(o.middleButtonCheck->value(), 0);
    EXPECT_EQ(o.reconnectCheck->value(), 1);
    EXPECT_EQ(o.scanWaitSpinner->labelsize(), 13);
    EXPECT_EQ(o.listWidthInput->textsize(), 13);
    EXPECT_STREQ(o.listFontSizeInput->label(), "Size:");
    EXPECT_EQ(o.listFontSizeInput->x(), 560);
    // The scan wait has the keyboard with its text selected.
    Fl_Input* scan = fieldOf(o.scanWaitSpinner);
    EXPECT_EQ(Fl::focus(), scan);
    EXPECT_EQ(scan->position(), 0);
    EXPECT_EQ(scan->mark(), 1);
}

TEST_F(AppOptionsTest, SaveAppliesAndWritesEveryValue)
{
    open();
    const TNAppOptsWidgets& o = AppOpts;
    fieldOf(o.scanWaitSpinner)->value("9");
    fieldOf(o.sshPortSpinner)->value("16000");
    o.sshCommandInput->value("/usr/bin/ssh -4");
    o.logToFileCheck->value(1);
    o.appFontSizeInput->value("14");
    o.listFontInput->value("Lucida Sans");
    o.listFontSizeInput->value("15");
    o.listWidthInput->value("300");
    o.colorBlindIconsCheck->value(1);
    o.showTooltipsCheck->value(0);
    o.reverseNoticeCheck->value(0);
    o.middleButtonCheck->value(1);
    o.reconnectCheck->value(0);
    Fl_Pixmap* const normalDisconnected = app->iconDisconnected;
    ASSERT_EQ(app->hostList->icon(1), normalDisconnected);
    tnTestPressKey(app->childWindow, FL_Enter, "\r");

    EXPECT_EQ(app->childWindow, nullptr);
    EXPECT_EQ(appOptions.scanTimeout, 9);
    EXPECT_EQ(appOptions.startingLocalPort, 16000);
    EXPECT_EQ(appOptions.sshCommand, "/usr/bin/ssh -4");
    EXPECT_TRUE(appOptions.logToFile);
    EXPECT_EQ(appOptions.appFontSize, 14);
    EXPECT_EQ(appOptions.listFont, "Lucida Sans");
    EXPECT_EQ(appOptions.listFontSize, 15);
    EXPECT_EQ(appOptions.hostListWidth, 300);
    EXPECT_TRUE(appOptions.colorBlindIcons);
    EXPECT_FALSE(appOptions.showTooltips);
    EXPECT_FALSE(appOptions.showReverseConnect);
    EXPECT_TRUE(appOptions.sendMiddleButton);
    EXPECT_FALSE(appOptions.reconnectDropped);
    for (const char* line :
         {"scantimeout=9", "startinglocalport=16000", "sshcommand=/usr/bin/ssh -4", "logtofile=true", "appfontsize=14",
          "listfont=Lucida Sans", "listfontsize=15", "hostlistwidth=300", "colorblindicons=true",
          "showtooltips=false", "showreverseconnect=false", "sendmiddlebutton=true", "reconnectdropped=false"})
        EXPECT_TRUE(fileHasLine(line)) << line;

    // At once: the layout, the icon set (lines included), the tooltips.
    EXPECT_EQ(app->hostList->w(), 300);
    EXPECT_EQ(app->quickInfoPack->w(), 300);
    EXPECT_NE(app->iconDisconnected, normalDisconnected);
    EXPECT_EQ(app->hostList->icon(1), app->iconDisconnected);
    EXPECT_EQ(app->hostList->icon(2), app->iconDisconnected);
    EXPECT_FALSE(Fl_Tooltip::enabled());
    EXPECT_TRUE(messages.empty());
}

TEST_F(AppOptionsTest, TooltipsSwitchBackOnAtOnce)
{
    appOptions.showTooltips = false;
    Fl_Tooltip::enable(0);
    open();
    AppOpts.showTooltipsCheck->value(1);
    tnTestClick(app->childWindow, AppOpts.saveButton);
    EXPECT_TRUE(Fl_Tooltip::enabled());
    EXPECT_TRUE(fileHasLine("showtooltips=true"));
}

TEST_F(AppOptionsTest, CancelAndEscapeChangeNothing)
{
    const std::string before = file();
    for (const char* way : {"Escape", "Cancel button"}) {
        SCOPED_TRACE(way);
        open();
        fieldOf(AppOpts.scanWaitSpinner)->value("40");
        AppOpts.listWidthInput->value("400");
        AppOpts.showTooltipsCheck->value(0);
        AppOpts.colorBlindIconsCheck->value(1);
        if (std::string(way) == "Escape")
            tnTestPressKey(app->childWindow, FL_Escape, "\x1b");
        else
            tnTestClick(app->childWindow, AppOpts.cancelButton);
        EXPECT_EQ(app->childWindow, nullptr);
        EXPECT_EQ(appOptions.scanTimeout, 2);
        EXPECT_NE(app->hostList->w(), 400);
        EXPECT_TRUE(appOptions.showTooltips);
        EXPECT_FALSE(appOptions.colorBlindIcons);
        EXPECT_EQ(file(), before);
    }
}

// 70000 typed into a spinner stays within its range, however Save is reached.
TEST_F(AppOptionsTest, SpinnersKeepToTheirRanges)
{
    open();
    Fl_Input* scan = fieldOf(AppOpts.scanWaitSpinner);
    scan->take_focus();
    scan->position(0, 1000);
    tnTestType(app->childWindow, "70000");
    EXPECT_STREQ(scan->value(), "70000") << "typed into the spinner's field";
    fieldOf(AppOpts.sshPortSpinner)->value("70000");
    fieldOf(AppOpts.overviewRefreshSpinner)->value("25");
    tnTestPressKey(app->childWindow, FL_Enter, "\r");
    EXPECT_EQ(appOptions.scanTimeout, 65535);
    EXPECT_EQ(appOptions.startingLocalPort, 65436);
    EXPECT_EQ(appOptions.overviewRefresh, 10.0);
    EXPECT_TRUE(fileHasLine("scantimeout=65535"));
    EXPECT_TRUE(fileHasLine("startinglocalport=65436"));
    EXPECT_TRUE(fileHasLine("overviewrefresh=10"));

    open();
    fieldOf(AppOpts.scanWaitSpinner)->value("0");
    fieldOf(AppOpts.sshPortSpinner)->value("-3");
    fieldOf(AppOpts.overviewRefreshSpinner)->value("0");
    tnTestPressKey(app->childWindow, FL_Enter, "\r");
    EXPECT_EQ(appOptions.scanTimeout, 1);
    EXPECT_EQ(appOptions.startingLocalPort, 1);
    EXPECT_EQ(appOptions.overviewRefresh, 0.2);

    // Tenths, as typed; a text without a number keeps the value.
    open();
    EXPECT_STREQ(fieldOf(AppOpts.overviewRefreshSpinner)->value(), "0.2");
    fieldOf(AppOpts.overviewRefreshSpinner)->value("2.5");
    tnTestPressKey(app->childWindow, FL_Enter, "\r");
    EXPECT_TRUE(fileHasLine("overviewrefresh=2.5"));
    open();
    fieldOf(AppOpts.overviewRefreshSpinner)->value("often");
    tnTestPressKey(app->childWindow, FL_Enter, "\r");
    EXPECT_EQ(appOptions.overviewRefresh, 2.5);
}

// The running program keeps what was typed; the next start corrects it.
TEST_F(AppOptionsTest, TheNextStartCorrectsAnEmptySshCommandAndANonNumericWidth)
{
    open();
    AppOpts.sshCommandInput->value("");
    AppOpts.listWidthInput->value("wide");
    AppOpts.appFontSizeInput->value("0");
    tnTestPressKey(app->childWindow, FL_Enter, "\r");
    EXPECT_EQ(appOptions.sshCommand, "");
    EXPECT_EQ(appOptions.appFontSize, 0);
    // No digits give 0, which the layout turns into the button strip's width at once.
    EXPECT_EQ(appOptions.hostListWidth, 162);
    EXPECT_EQ(app->hostList->w(), 162);

    AppOptions next;
    std::istringstream in(file());
    for (const TNConfigLine& line : tnConfigParse(in, next))
        delete line.item;
    EXPECT_EQ(next.sshCommand, "ssh");
    EXPECT_EQ(next.appFontSize, 12);
    EXPECT_EQ(next.hostListWidth, 162);
}

} // namespace
