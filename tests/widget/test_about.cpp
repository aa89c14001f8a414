// The About/Help window and the tooltip switch.
#include "dialogs/about.h"
#include "main_window_fixture.h"

// After gtest: these pull in X headers, which define names such as None.
#include <FL/Fl_Button.H>
#include <FL/Fl_Help_View.H>
#include <FL/Fl_Tooltip.H>

#include "core/install_dirs.h"
#include "core/version.h"

namespace {

const char* const aboutTitle = "About Tandrel-FLTK / Help";

using AboutTest = TNMainWindowTest;

TEST_F(AboutTest, TooltipsFollowTheOption)
{
    struct Case {
        const char* config;
        bool shown;
    };
    for (const Case c : {Case{"showtooltips=false\n", false}, Case{"", true}}) {
        SCOPED_TRACE(c.config);
        startWith(c.config + tnHostBlock("alpha"));
        EXPECT_EQ(Fl_Tooltip::enabled() != 0, c.shown);
        appOptions.showTooltips = !c.shown;
        tnEnableDisableTooltips();
        EXPECT_EQ(Fl_Tooltip::enabled() != 0, !c.shown);
        TearDown();
    }
}

TEST_F(AboutTest, HelpButtonOpensOneWindowAtATime)
{
    startWith("appfontsize=13\n" + tnHostBlock("alpha"));
    tnHandleHostListButtons(app->btnHelp, nullptr);
    tnHandleHostListButtons(app->btnHelp, nullptr);
    std::vector<Fl_Window*> open = tnShownWindows(aboutTitle);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_TRUE(app->childWindowVisible);
    Fl_Window* about = open[0];
    EXPECT_TRUE(about->modal());
    EXPECT_EQ(about->w(), 765);
    EXPECT_EQ(about->h(), 595);
    Fl_Help_View* view = dynamic_cast<Fl_Help_View*>(about->child(0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->textsize(), 13);

    // Escape closes it; the next press builds a new one, which OK closes.
    tnTestPressKey(about, FL_Escape, "\x1b");
    EXPECT_TRUE(tnShownWindows(aboutTitle).empty());
    EXPECT_FALSE(app->childWindowVisible);
    EXPECT_TRUE(app->shown());

    tnHandleHostListButtons(app->btnHelp, nullptr);
    open = tnShownWindows(aboutTitle);
    ASSERT_EQ(open.size(), 1u);
    Fl_Button* ok = dynamic_cast<Fl_Button*>(open[0]->child(1));
    ASSERT_NE(ok, nullptr);
    EXPECT_STREQ(ok->label(), "OK");
    ok->do_callback();
    EXPECT_TRUE(tnShownWindows(aboutTitle).empty());
    EXPECT_FALSE(app->childWindowVisible);

    // Another child window is open: the help button does nothing.
    app->childWindowVisible = true;
    tnHandleHostListButtons(app->btnHelp, nullptr);
    EXPECT_TRUE(tnShownWindows(aboutTitle).empty());
}

TEST(AboutHelpText, ListsTheInstructionsInOrder)
{
    const std::string text = tnAboutHelpText();
    EXPECT_NE(text.find("Tandrel - FLTK"), std::string::npos);
    EXPECT_NE(text.find("Version " TN_VERSION), std::string::npos);
    size_t at = 0;
    for (const char* item : {"To add a new connection, click the [+] button",
                             "To delete a connection, single-click it then click the [-] button",
                             "To connect a connection, double-click it",
                             "To disconnect a normal connection, right-click it while connected",
                             "To scan automatically through all connected viewers, click the 'clock' button",
                             "To 'listen' for an incoming VNC connection, click the 'ear' button",
                             "To perform remote actions, press F8 when a remote host is being displayed",
                             "See the README file for more detailed instructions"}) {
        const size_t found = text.find(std::string("<li>") + item, at);
        EXPECT_NE(found, std::string::npos) << item;
        if (found != std::string::npos)
            at = found;
    }
}

TEST(AboutHelpText, PointsAtTheInstalledManualPageAndReadme)
{
    const std::string text = tnAboutHelpText();
    EXPECT_NE(text.find("man tandrel"), std::string::npos);
    EXPECT_NE(text.find(TN_DOC_DIR "/README.md"), std::string::npos);
    // The old paragraph invited the user to a web page that does not exist.
    EXPECT_EQ(text.find("web page"), std::string::npos);
}

} // namespace
