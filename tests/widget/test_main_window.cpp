// The main window as start-up builds it: widgets, host lines, status images and layout.
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Scroll.H>

#include <cstdlib>

#include "gui/main_window.h"
#include "gui/pixmaps/list_buttons.h"
#include "gui/pixmaps/status_icons.h"
#include "gui/quick_info.h"
#include "main_window_fixture.h"

namespace {

const std::string separator = "@C16@.\xC2\xB7 \xC2\xB7 \xC2\xB7";

// Whether an image shows the given XPM (same header, colours and rows).
bool showsXpm(const Fl_Image* image, const char* const* xpm)
{
    if (!image || !image->data())
        return false;
    const char* const* data = image->data();
    int width = 0, height = 0, colours = 0;
    if (sscanf(xpm[0], "%d %d %d", &width, &height, &colours) != 3)
        return false;
    for (int line = 0; line <= colours + height; line++) {
        if (strcmp(data[line], xpm[line]) != 0)
            return false;
    }
    return true;
}

using MainWindowTest = TNMainWindowTest;

TEST_F(MainWindowTest, FirstStartShowsOneBlankHostInNarrowList)
{
    startWithoutConfig();
    EXPECT_STREQ(app->label(), "Tandrel");
    EXPECT_STREQ(app->xclass(), "tandrelfltk");
    // The saved geometry's defaults, in place before the window first appears.
    EXPECT_EQ(app->x(), 64);
    EXPECT_EQ(app->y(), 64);
    EXPECT_EQ(app->w(), 800);
    EXPECT_EQ(app->h(), 600);

    ASSERT_EQ(app->hostList->size(), 1);
    EXPECT_STREQ(app->hostList->text(1), "(new connection)");
    EXPECT_EQ(app->hostList->w(), 170);
    const HostItem* itm = tnItemFromLine(1);
    ASSERT_NE(itm, nullptr);
    EXPECT_EQ(itm->hostAddress, "192.168.0.1");
    EXPECT_EQ(itm->vncPort, "5900");
    EXPECT_EQ(itm->scaling, 'f');
    EXPECT_TRUE(itm->showRemoteCursor);
    EXPECT_EQ(itm->compressLevel, 5);
    EXPECT_EQ(itm->qualityLevel, 5);
    EXPECT_EQ(app->hostList->icon(1), app->iconDisconnected);

    // Drawing order: the note editor lies over the quick-info panel.
    ASSERT_EQ(app->children(), 5);
    EXPECT_EQ(app->child(0), app->hostList);
    EXPECT_EQ(app->child(1), app->quickInfoPack);
    EXPECT_EQ(app->child(2), static_cast<Fl_Widget*>(app->quickNotePack));
    EXPECT_EQ(app->child(3), app->buttonPack);
    EXPECT_EQ(app->child(4), app->viewerWindow);
    EXPECT_EQ(app->viewerWindow->child(0), app->scroller);
    EXPECT_FALSE(app->quickNotePack->visible());
    EXPECT_STREQ(app->quickInfoName->label(), "-");
}

TEST_F(MainWindowTest, ConfigHostsAndGroupSeparatorsBecomeLines)
{
    startWith(tnHostBlock("alpha") + tnHostBlock("beta", "group=A\n") + tnHostBlock("gamma", "group=B\n"));
    const std::vector<std::string> expected = {"alpha", " ", "beta", separator, "gamma", separator};
    ASSERT_EQ(tnHostListTexts(), expected);
    for (int line = 1; line <= app->hostList->size(); line++) {
        const bool isHost = expected[line - 1] != " " && expected[line - 1] != separator;
        SCOPED_TRACE(expected[line - 1]);
        EXPECT_EQ(tnItemFromLine(line) != nullptr, isHost);
        EXPECT_EQ(app->hostList->icon(line), isHost ? app->iconDisconnected : nullptr);
    }
}

TEST_F(MainWindowTest, StatusIconsComeFromTheChosenSet)
{
    for (const bool colorBlind : {false, true}) {
        SCOPED_TRACE(colorBlind ? "colour-blind set" : "normal set");
        startWith(std::string("colorblindicons=") + (colorBlind ? "true" : "false") + "\n" + tnHostBlock("alpha"));
        EXPECT_TRUE(showsXpm(app->iconDisconnected, colorBlind ? pmStatusDisconnectedCB : pmStatusDisconnected));
        EXPECT_TRUE(showsXpm(app->iconDisconnectedError,
                             colorBlind ? pmStatusDisconnectedErrorCB : pmStatusDisconnectedError));
        EXPECT_TRUE(showsXpm(app->iconDisconnectedBigError,
                             colorBlind ? pmStatusDisconnectedBigErrorCB : pmStatusDisconnectedBigError));
        EXPECT_TRUE(showsXpm(app->iconConnected, colorBlind ? pmStatusConnectedCB : pmStatusConnected));
        EXPECT_TRUE(showsXpm(app->iconNoConnect, colorBlind ? pmStatusNoConnectCB : pmStatusNoConnect));
        EXPECT_TRUE(showsXpm(app->iconConnecting, colorBlind ? pmStatusConnectingCB : pmStatusConnecting));
        EXPECT_FALSE(showsXpm(app->iconConnected, colorBlind ? pmStatusConnected : pmStatusConnectedCB));
        EXPECT_TRUE(showsXpm(app->hostList->icon(1), pmStatusDisconnected));
        EXPECT_TRUE(showsXpm(app->btnScan->image(), pmListScan));
        ASSERT_NE(app->iconApp, nullptr);
        EXPECT_EQ(app->iconApp->w(), 22);
        EXPECT_EQ(app->iconApp->h(), 22);
        EXPECT_EQ(app->iconApp->d(), 4);

        // Switching the set leaves a line's image alone until its state changes...
        app->hostList->icon(1, app->iconConnected);
        Fl_Image* shownBefore = app->hostList->icon(1);
        appOptions.colorBlindIcons = !colorBlind;
        tnCreateAppIcons(true);
        EXPECT_EQ(app->hostList->icon(1), shownBefore);
        EXPECT_TRUE(showsXpm(app->iconConnected, colorBlind ? pmStatusConnected : pmStatusConnectedCB));
        // ...while the start-up call resets every host line.
        tnCreateAppIcons(false);
        EXPECT_EQ(app->hostList->icon(1), app->iconDisconnected);
        TearDown();
    }
}

TEST_F(MainWindowTest, HostListWidthAtStartUpIsRaisedToTheButtonStrip)
{
    struct Case {
        int configured;
        int expected;
    };
    for (const Case c : {Case{10, 170}, Case{144, 170}, Case{145, 145}, Case{400, 400}}) {
        SCOPED_TRACE(c.configured);
        startWith("hostlistwidth=" + std::to_string(c.configured) + "\n" + tnHostBlock("alpha"));
        EXPECT_EQ(appOptions.hostListWidth, c.expected);
        EXPECT_EQ(app->hostList->w(), c.expected);
        EXPECT_EQ(app->quickInfoPack->w(), c.expected);
        EXPECT_EQ(app->quickNoteBox->w(), c.expected);
        EXPECT_EQ(app->viewerWindow->x(), c.expected + 3);
        // Once drawn, the strip is as wide as its nine buttons whatever the list's width.
        EXPECT_EQ(app->buttonPack->w(), 162);
        TearDown();
    }
}

TEST_F(MainWindowTest, HostListWidthAfterFirstDrawUsesTheDrawnStrip)
{
    startWith(tnHostBlock("alpha"));
    ASSERT_EQ(app->buttonPack->w(), 162);
    struct Case {
        int requested;
        int expected;
    };
    for (const Case c : {Case{136, 162}, Case{137, 137}, Case{400, 400}}) {
        SCOPED_TRACE(c.requested);
        appOptions.hostListWidth = c.requested;
        tnPositionWidgets();
        EXPECT_EQ(appOptions.hostListWidth, c.expected);
        EXPECT_EQ(app->hostList->w(), c.expected);
        EXPECT_EQ(app->quickInfoPack->w(), c.expected);
        EXPECT_EQ(app->viewerWindow->x(), c.expected + 3);
        EXPECT_EQ(app->buttonPack->w(), 162);
    }
}

TEST_F(MainWindowTest, ButtonStripAndPanelKeepTheirSizeAndTheHostListTakesTheChange)
{
    startWith("hostlistwidth=300\n" + tnHostBlock("alpha"));
    // An open note editor moves with the note box.
    tnSelectHostLineByKey(1);
    tnTestClick(app, app->quickNoteBox);
    ASSERT_TRUE(app->quickNotePack->visible());
    const int noteHeight = app->quickNoteBox->h();
    EXPECT_GT(noteHeight, 30);
    struct Size {
        int w, h;
    };
    for (const Size size : {Size{1024, 768}, Size{800, 600}, Size{1600, 1200}, Size{900, 650}, Size{1024, 768}}) {
        SCOPED_TRACE(std::to_string(size.w) + "x" + std::to_string(size.h));
        app->resize(app->x(), app->y(), size.w, size.h);
        tnTestPump(0.1);
        ASSERT_EQ(app->h(), size.h);
        // The strip: 20 pixels high, one pixel above the window's bottom, buttons whole.
        EXPECT_EQ(app->buttonPack->y(), size.h - 21);
        EXPECT_EQ(app->buttonPack->h(), 20);
        for (int i = 0; i < app->buttonPack->children(); i++) {
            EXPECT_EQ(app->buttonPack->child(i)->y(), size.h - 21) << "button " << i;
            EXPECT_EQ(app->buttonPack->child(i)->h(), 20) << "button " << i;
        }
        // The panel keeps its size just above the strip; the host list fills the rest.
        EXPECT_EQ(app->quickNoteBox->h(), noteHeight);
        EXPECT_EQ(app->quickNoteBox->y() + app->quickNoteBox->h(), app->buttonPack->y() - 3);
        EXPECT_EQ(app->quickNoteBox->w(), 300);
        EXPECT_EQ(app->hostList->w(), 300);
        EXPECT_EQ(app->hostList->h(), app->quickInfoPack->y() - 3);
        EXPECT_EQ(app->quickNotePack->x(), app->quickNoteBox->x());
        EXPECT_EQ(app->quickNotePack->y(), app->quickNoteBox->y());
        EXPECT_EQ(app->quickNoteInput->y(), app->quickNoteBox->y());
        EXPECT_EQ(app->quickNoteInput->w(), 300);
        EXPECT_EQ(app->viewerWindow->x(), 303);
        EXPECT_EQ(app->scroller->w(), size.w - 303);
        EXPECT_EQ(app->scroller->h(), size.h);
    }
    EXPECT_TRUE(app->quickNotePack->visible());
    // The saved geometry (800 x 600) is applied the same way.
    tnRestoreWindowSizePosition();
    tnTestPump(0.1);
    ASSERT_EQ(app->h(), 600);
    EXPECT_EQ(app->buttonPack->child(0)->h(), 20);
    EXPECT_EQ(app->hostList->h(), 600 - 220);
}

TEST_F(MainWindowTest, PanelTextSizesFollowTheConfiguredAppFontSize)
{
    struct Case {
        const char* config;
        int base;
    };
    for (const Case c : {Case{"", 10}, Case{"appfontsize=14\n", 14}}) {
        SCOPED_TRACE(c.config);
        startWith(c.config + tnHostBlock("alpha"));
        EXPECT_EQ(app->quickInfoName->labelsize(), c.base + 2);
        EXPECT_EQ(app->quickInfoLastConnectedLabel->labelsize(), c.base + 1);
        EXPECT_EQ(app->quickInfoLastConnected->labelsize(), c.base + 1);
        EXPECT_EQ(app->quickInfoLastError->textsize(), c.base + 1);
        EXPECT_EQ(app->quickNoteBox->textsize(), c.base + 2);
        EXPECT_EQ(app->quickNoteInput->textsize(), c.base + 2);
        EXPECT_GE(app->quickInfoName->h(), app->quickInfoName->labelsize());
        TearDown();
    }
}

TEST_F(MainWindowTest, ListFontOptionsApplyToTheListAndItsMenus)
{
    startWith("listfont=Serif\nlistfontsize=13\n" + tnHostBlock("alpha"));
    EXPECT_EQ(app->hostList->textfont(), 31);
    EXPECT_EQ(app->hostList->textsize(), 13);
    EXPECT_EQ(appOptions.menuFontSize, 13);
    EXPECT_STREQ(Fl::get_font(31), "Serif");
    // The toolkit keeps the name it was given; a later change of the option (it takes effect
    // at the next start) must not change or free it under the toolkit.
    appOptions.listFont = "Mono";
    EXPECT_STREQ(Fl::get_font(31), "Serif");
}

TEST_F(MainWindowTest, ShutDownStoresTheWindowGeometryOfTheMomentInTheFile)
{
    startWith("logtofile=true\n" + tnHostBlock("alpha"));
    tnRestoreWindowSizePosition();
    app->resize(30, 40, 900, 650);
    tnTestPump(0.1);
    tnPrepareShutDown();
    EXPECT_TRUE(engine.isShuttingDown);
    const std::string file = tnTestReadFile(appOptions.configPathAndFile);
    for (const char* line : {"\nsavedx=30\n", "\nsavedy=40\n", "\nsavedw=900\n", "\nsavedh=650\n", "\nhost=alpha\n"})
        EXPECT_NE(file.find(line), std::string::npos) << line + 1;
    EXPECT_NE(tnTestReadFile(appOptions.configPath + "tandrel-fltk.log").find("- --- Program shutting down ---\n"),
              std::string::npos);
}

} // namespace
