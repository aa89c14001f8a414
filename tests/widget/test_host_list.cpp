// The host list: clicks, right-click menus, buttons and the line/record helpers.
// Paths that need a live server (showing, disconnecting, deleting a connected host,
// listening) are covered with the connection tests.
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Pixmap.H>

#include "config/config.h"
#include "connection/vnc_object.h"
#include "gui/quick_info.h"
#include "main_window_fixture.h"
#include "viewer/vnc_viewer.h"

namespace {

const std::string separator = "@C16@.\xC2\xB7 \xC2\xB7 \xC2\xB7";

class HostListTest : public TNMainWindowTest {
protected:
    void SetUp() override
    {
        // alpha, " ", beta, separator, gamma, separator
        startWith(tnHostBlock("alpha", "f12macro=ls -l\n") + tnHostBlock("beta", "group=A\n") +
                  tnHostBlock("gamma", "group=B\n"));
        alpha = tnItemFromLine(1);
        beta = tnItemFromLine(3);
        gamma = tnItemFromLine(5);
        ASSERT_TRUE(alpha && beta && gamma);
        tnModalHooks().message = [this](const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
        };
        tnModalHooks().choice = [this](const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
            return choiceAnswer;
        };
        tnModalHooks().beep = [this](int) { beeps++; };
    }

    void press(Fl_Button* button) { tnHandleHostListButtons(button, nullptr); }

    // Adds a listening line as the listener code makes it (without a connection object).
    HostItem* addListeningLine(bool connected)
    {
        auto itm = std::make_shared<HostItem>();
        itm->name = "Listening";
        itm->isListener = true;
        tnAddHostLine(itm);
        tnConnectionFor(itm.get()).state = connected ? TNConnectionState::Connected : TNConnectionState::Connecting;
        return itm.get();
    }

    HostItem* alpha = nullptr;
    HostItem* beta = nullptr;
    HostItem* gamma = nullptr;
    std::vector<std::string> messages;
    int choiceAnswer = 0;
    int beeps = 0;
    TNMenuSeen seen;
};

TEST_F(HostListTest, RightClickMenuOfAnIdleHostGreysAnEmptyMacro)
{
    appOptions.menuFontSize = 14;
    tnAnswerMenus(seen, "");
    tnClickHostLine(3, 3);  // beta: no macro
    ASSERT_EQ(seen.shown, 1);
    EXPECT_EQ(seen.labels, (std::vector<std::string>{"Connect", "Edit", "Copy F12 macro", "Delete..."}));
    EXPECT_EQ(seen.flags, (std::vector<int>{0, 0, FL_MENU_INACTIVE, 0}));
    EXPECT_EQ(seen.sizes, (std::vector<int>{14, 14, 14, 14}));
    EXPECT_STREQ(app->quickInfoName->label(), "beta");

    tnClickHostLine(1, 3);  // alpha has one
    ASSERT_EQ(seen.shown, 2);
    EXPECT_EQ(seen.flags, (std::vector<int>{0, 0, 0, 0}));
    // Closing the menu without a choice did nothing.
    EXPECT_EQ(app->hostList->size(), 6);
    EXPECT_TRUE(messages.empty());
}

TEST_F(HostListTest, NoMenuForBusyHostsOrWhileAChildWindowIsOpen)
{
    tnAnswerMenus(seen, "Delete...");
    struct Case {
        const char* what;
        TNConnectionState state;
        bool childWindow;
    };
    for (const Case c : {Case{"connected", TNConnectionState::Connected, false},
                         Case{"connecting", TNConnectionState::Connecting, false},
                         Case{"being disconnected", TNConnectionState::Abandoned, false},
                         Case{"child window open", TNConnectionState::Idle, true}}) {
        SCOPED_TRACE(c.what);
        tnConnectionFor(beta).state = c.state;
        app->childWindowVisible = c.childWindow;
        tnClickHostLine(3, 3);
        EXPECT_EQ(seen.shown, 0);
        EXPECT_EQ(app->hostList->size(), 6);
    }
}

TEST_F(HostListTest, CopyF12MacroFillsTheClipboardAndTheListenersPaste)
{
    tnAnswerMenus(seen, "Copy F12 macro");
    tnClickHostLine(1, 3);
    EXPECT_EQ(app->f12MacroClipboard, "ls -l");
    EXPECT_EQ(tnTestReadClipboard(), "ls -l");
    EXPECT_EQ(alpha->f12Macro, "ls -l");

    // A connected listening line can take the macro once.
    HostItem* listener = addListeningLine(true);
    const int line = app->hostList->size();
    tnAnswerMenus(seen, "Paste F12 macro");
    tnClickHostLine(line, 3);
    EXPECT_EQ(seen.labels, (std::vector<std::string>{"Disconnect", "Edit", "Paste F12 macro", "Clear F12 macro"}));
    EXPECT_EQ(seen.flags, (std::vector<int>{0, 0, 0, FL_MENU_INACTIVE}));
    EXPECT_EQ(listener->f12Macro, "ls -l");
    EXPECT_TRUE(app->f12MacroClipboard.empty());

    tnAnswerMenus(seen, "Clear F12 macro");
    tnClickHostLine(line, 3);
    EXPECT_EQ(seen.flags, (std::vector<int>{0, 0, FL_MENU_INACTIVE, 0}));
    EXPECT_TRUE(listener->f12Macro.empty());
    EXPECT_EQ(app->hostList->size(), line);
}

TEST_F(HostListTest, ListeningLinesGoWithoutAQuestion)
{
    choiceAnswer = 2;
    HostItem* waiting = addListeningLine(false);
    tnAnswerMenus(seen, "Delete");
    tnClickHostLine(app->hostList->size(), 3);
    EXPECT_EQ(seen.labels, std::vector<std::string>{"Delete"});
    EXPECT_EQ(tnItemNumFromItm(waiting), 0);

    HostItem* connected = addListeningLine(true);
    tnAnswerMenus(seen, "Disconnect");
    tnClickHostLine(app->hostList->size(), 3);
    EXPECT_EQ(tnItemNumFromItm(connected), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(app->hostList->size(), 6);
    EXPECT_STREQ(app->quickInfoName->label(), "-");
}

TEST_F(HostListTest, DeleteAsksAndOnlyYesRemoves)
{
    struct Case {
        int answer;
        bool removed;
    };
    for (const Case c : {Case{0, false}, Case{1, false}, Case{2, true}}) {
        SCOPED_TRACE(c.answer);
        choiceAnswer = c.answer;
        messages.clear();
        tnClickHostLine(3, 1);
        press(app->btnDelete);
        EXPECT_EQ(messages, std::vector<std::string>{"Tandrel - Delete Item: Are you sure you want to delete 'beta'?"});
        EXPECT_EQ(tnItemNumFromItm(beta) == 0, c.removed);
        EXPECT_STREQ(app->quickInfoName->label(), c.removed ? "-" : "beta");
    }
    // Beta's group is gone: its separator and the next one are one now, as in a list read
    // from the file; the file was written at once, without beta.
    EXPECT_EQ(tnHostListTexts(), (std::vector<std::string>{"alpha", " ", "gamma", separator}));
    const std::string saved = tnTestReadFile(appOptions.configPathAndFile);
    EXPECT_EQ(saved.find("host=beta"), std::string::npos) << saved;
    EXPECT_NE(saved.find("host=gamma"), std::string::npos) << saved;

    // The menu's "Delete..." asks the same question.
    tnAnswerMenus(seen, "Delete...");
    messages.clear();
    tnClickHostLine(1, 3);
    EXPECT_EQ(messages, std::vector<std::string>{"Tandrel - Delete Item: Are you sure you want to delete 'alpha'?"});
    EXPECT_EQ(tnItemNumFromItm(alpha), 0);
    EXPECT_EQ(tnTestReadFile(appOptions.configPathAndFile).find("host=alpha"), std::string::npos);
}

TEST_F(HostListTest, DeleteWithoutASelectionSaysSo)
{
    tnSelectHostLine(0);
    press(app->btnDelete);
    EXPECT_EQ(messages, std::vector<std::string>{"Tandrel - Delete Item: Nothing was selected so nothing was deleted"});
    EXPECT_EQ(app->hostList->size(), 6);
}

TEST_F(HostListTest, SeparatorLines)
{
    const std::vector<std::string> before = tnHostListTexts();
    // The later separator form is left alone by Delete, Up and Down.
    for (Fl_Button* button : {app->btnDelete, app->btnUp, app->btnDown}) {
        tnSelectHostLine(4);
        press(button);
        EXPECT_EQ(tnHostListTexts(), before);
        EXPECT_EQ(app->hostList->value(), 4);
    }
    EXPECT_EQ(beeps, 0);
    EXPECT_TRUE(messages.empty());

    // The blank form is an ordinary line without a record: Delete beeps, Down moves it.
    tnSelectHostLine(2);
    press(app->btnDelete);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(tnHostListTexts(), before);
    press(app->btnDown);
    EXPECT_EQ(tnHostListTexts(), (std::vector<std::string>{"alpha", "beta", " ", separator, "gamma", separator}));

    // Clicking a line without a record empties the panel.
    tnClickHostLine(1, 1);
    tnClickHostLine(4, 1);
    EXPECT_STREQ(app->quickInfoName->label(), "-");
}

TEST_F(HostListTest, UpAndDownMoveTheLineWithItsRecordAndIcon)
{
    app->hostList->icon(5, app->iconConnected);
    tnSelectHostLine(5);
    press(app->btnUp);
    EXPECT_EQ(app->hostList->value(), 4);
    EXPECT_EQ(tnItemFromLine(4), gamma);
    EXPECT_STREQ(app->hostList->text(4), "gamma");
    EXPECT_EQ(app->hostList->icon(4), app->iconConnected);
    EXPECT_STREQ(app->hostList->text(5), separator.c_str());

    // The ends of the list stop the move.
    tnSelectHostLine(1);
    press(app->btnUp);
    EXPECT_EQ(tnItemFromLine(1), alpha);
    EXPECT_EQ(app->hostList->value(), 1);
    tnSelectHostLine(6);
    press(app->btnDown);
    EXPECT_STREQ(app->hostList->text(6), separator.c_str());
    EXPECT_EQ(app->hostList->value(), 6);

    // Down without a selection selects the first line.
    tnSelectHostLine(0);
    press(app->btnDown);
    EXPECT_EQ(app->hostList->value(), 1);
    EXPECT_EQ(tnItemFromLine(1), alpha);
}

TEST_F(HostListTest, ClicksOnHostsThatCannotConnectChangeNothing)
{
    // A single click on a host without a connection leaves the viewer empty.
    tnClickHostLine(1, 1);
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
    EXPECT_STREQ(app->quickInfoName->label(), "alpha");

    // A double click starts nothing on a busy or listening line, or while a child window is open.
    struct Case {
        const char* what;
        bool connecting, listener, childWindow;
    };
    for (const Case c : {Case{"connecting", true, false, false}, Case{"listening", false, true, false},
                         Case{"child window open", false, false, true}}) {
        SCOPED_TRACE(c.what);
        tnConnectionFor(beta).state = c.connecting ? TNConnectionState::Connecting : TNConnectionState::Idle;
        beta->isListener = c.listener;
        app->childWindowVisible = c.childWindow;
        tnClickHostLine(3, 1, 1);
        EXPECT_EQ(tnVncOf(beta), nullptr);
        EXPECT_EQ(engine.pendingConnectionCount, 0);
    }
}

TEST_F(HostListTest, OnlyOneListenerAtATime)
{
    HostItem* listener = addListeningLine(false);
    VncObject* vnc = new VncObject();
    vnc->itm = listener;
    tnConnectionFor(listener).vnc = vnc;
    const int lines = app->hostList->size();
    press(app->btnListen);
    EXPECT_EQ(messages, std::vector<std::string>{"Tandrel: Only one active listening viewer is allowed"});
    EXPECT_EQ(app->hostList->size(), lines);
}

TEST_F(HostListTest, LinesAndRecordsMapBothWays)
{
    EXPECT_EQ(tnItemNumFromItm(gamma), 5);
    EXPECT_EQ(tnItemNumFromItm(nullptr), 0);
    HostItem stranger;
    EXPECT_EQ(tnItemNumFromItm(&stranger), 0);
    for (int line : {0, 2, 4, 7, -1})
        EXPECT_EQ(tnItemFromLine(line), nullptr) << line;

    gamma->name = "gamma (renamed)";
    tnUpdateHostListItemText();
    EXPECT_STREQ(app->hostList->text(5), "gamma (renamed)");
    EXPECT_STREQ(app->hostList->text(4), separator.c_str());

    tnSelectHostLine(3);
    tnDeselectAllItems();
    EXPECT_EQ(app->hostList->value(), 0);

    tnInsertEmptyItem();
    EXPECT_STREQ(app->hostList->text(7), "(new connection)");
    EXPECT_EQ(app->hostList->icon(7), app->iconDisconnected);
}

} // namespace

namespace {

// Names taken from a file as they are: the list, the panel and the boxes draw them in a
// form that neither aborts the drawing nor reads as the toolkit's codes.
class HostNamesTest : public TNMainWindowTest {
protected:
    std::vector<std::string> asked;
};

TEST_F(HostNamesTest, LongAndCodeLikeNamesAreDrawnAsTheyAreAndStoredWhole)
{
    const std::string longName(300000, 'n');
    const std::string capped = std::string(256, 'n') + "\xE2\x80\xA6";
    startWith(tnHostBlock("@home") + tnHostBlock(separator) + tnHostBlock(longName));
    tnModalHooks().choice = [this](const std::string& title, const std::string& text) {
        asked.push_back(title + ": " + text);
        return 0;
    };
    app->redraw();
    tnTestPump(0.3);
    // Drawing a line of 300,000 characters sent an X request too large for the server,
    // which ended the program.
    EXPECT_EQ(tnHostListTexts(), (std::vector<std::string>{"@@home", "@" + separator, capped}));
    EXPECT_EQ(tnItemFromLine(3)->name, longName);

    tnClickHostLine(3, 1);
    app->redraw();
    tnTestPump(0.2);
    EXPECT_EQ(app->quickInfoName->label(), capped);
    tnClickHostLine(1, 1);
    EXPECT_STREQ(app->quickInfoName->label(), "@@home");

    // A host named like the separator is a host to the buttons: Delete asks, Up moves it.
    HostItem* named = tnItemFromLine(2);
    tnSelectHostLine(2);
    tnHandleHostListButtons(app->btnDelete, nullptr);
    EXPECT_EQ(asked, std::vector<std::string>{"Tandrel - Delete Item: Are you sure you want to delete '" + separator +
                                              "'?"});
    tnHandleHostListButtons(app->btnUp, nullptr);
    EXPECT_EQ(tnItemFromLine(1), named);

    // The question shows a long name cut short.
    asked.clear();
    tnSelectHostLine(3);
    tnHandleHostListButtons(app->btnDelete, nullptr);
    EXPECT_EQ(asked, std::vector<std::string>{"Tandrel - Delete Item: Are you sure you want to delete '" + capped +
                                              "'?"});

    // The file keeps every name whole.
    tnConfigWrite();
    const std::string file = tnTestReadFile(appOptions.configPathAndFile);
    for (const std::string& name : {std::string("@home"), separator, longName})
        EXPECT_NE(file.find("\nhost=" + name + "\n"), std::string::npos) << name.substr(0, 20);
}

} // namespace
