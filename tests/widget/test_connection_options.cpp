// The connection options window: opening it for a host and for a new one, saving every
// field, Cancel, Delete, the listening-line greying and the key chooser; and the one child
// window at a time, destroyed however it closes (this window, the application options,
// About).
#include "dialogs/connection_options.h"
#include "main_window_fixture.h"
#include "core/options.h"

// After gtest: these pull in X headers, which define names such as None.
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Radio_Round_Button.H>
#include <FL/Fl_Tabs.H>

#include <functional>

#include "config/config.h"
#include "dialogs/app_options.h"
#include "gui/inputs.h"

namespace {

const std::string fullHost = "host=alpha\nhostaddress=10.0.0.7\nvncport=5901\nsshport=2222\n"
                             "vncpass=c2VjcmV0MTI=\nvncloginuser=ann\nvncloginpass=bG9naW4=\ntype=s\n"
                             "sshkeyprivate=/k/id\nsshuser=root\nscale=z\nscalefast=true\nf12macro=ls\n"
                             "showremotecursor=true\ncompression=3\nquality=8\n"
                             "customcommand1enabled=true\ncustomcommand1label=One\ncustomcommand1=echo 1\n"
                             "customcommand2label=Two\ncustomcommand2=echo 2\n"
                             "customcommand3enabled=true\ncustomcommand3label=Three\ncustomcommand3=echo 3\n";

class ItemOptionsTest : public TNMainWindowTest {
protected:
    void SetUp() override
    {
        startWith(fullHost + tnHostBlock("beta") + tnHostBlock("gamma"));
        alpha = tnItemFromLine(1);
        beta = tnItemFromLine(2);
        ASSERT_TRUE(alpha && beta);
        // Set here: a group in the file would add separator lines.
        alpha->group = "G1";
        tnModalHooks().message = [this](const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
        };
        tnModalHooks().choice = [this](const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
            return choiceAnswer;
        };
    }

    // Opens the window as the right-click menu's "Edit" does.
    void editLine(int line)
    {
        tnAnswerMenus(seen, "Edit");
        tnClickHostLine(line, 3);
        ASSERT_NE(app->childWindow, nullptr);
        tnTestFocusWindow(app->childWindow);
    }
    void addNew()
    {
        tnHandleHostListButtons(app->btnAdd, nullptr);
        ASSERT_NE(app->childWindow, nullptr);
        tnTestFocusWindow(app->childWindow);
    }
    void save() { tnTestPressKey(app->childWindow, FL_Enter, "\r"); }
    void cancel() { tnTestPressKey(app->childWindow, FL_Escape, "\x1b"); }
    std::string file() const { return tnTestReadFile(appOptions.configPathAndFile); }
    bool fileHasLine(const std::string& line) const { return ("\n" + file()).find("\n" + line + "\n") != std::string::npos; }

    HostItem* alpha = nullptr;
    HostItem* beta = nullptr;
    std::vector<std::string> messages;
    int choiceAnswer = 2;
    TNMenuSeen seen;
};

struct TNFieldSeen {
    Fl_Widget* widget;
    const char* label;
    int x, y, w, h;
    const char* value;  // text of an input, "1"/"0" of a button
};

std::string valueOf(Fl_Widget* widget)
{
    if (auto* input = dynamic_cast<Fl_Input*>(widget))
        return input->value();
    if (auto* button = dynamic_cast<Fl_Button*>(widget))
        return button->value() ? "1" : "0";
    return "?";
}

TEST_F(ItemOptionsTest, OpensForAHostWithEveryStoredValue)
{
    editLine(1);
    Fl_Window* window = app->childWindow;
    EXPECT_STREQ(window->label(), "Editing 'alpha'");
    EXPECT_TRUE(window->modal());
    EXPECT_EQ(window->w(), 545);
    EXPECT_EQ(window->h(), 605);
    EXPECT_EQ(app->itmBeingEdited, alpha);
    EXPECT_TRUE(app->childWindowVisible);

    const TNItmOptsWidgets& o = ItmOpts;
    const TNFieldSeen fields[] = {
        {o.nameInput, "Connection name ", 195, 44, 210, 28, "alpha"},
        {o.groupInput, "Connection group ", 195, 72, 210, 28, "G1"},
        {o.addressInput, "Remote address ", 195, 100, 210, 28, "10.0.0.7"},
        {o.f12MacroInput, "F12 macro ", 195, 128, 210, 28, "ls"},
        {o.vncRadio, "VNC ", 195, 156, 100, 28, "0"},
        {o.vncSshRadio, "VNC through SSH ", 195, 184, 100, 28, "1"},
        {o.vncPortInput, "VNC port ", 195, 212, 100, 28, "5901"},
        {o.vncPasswordInput, "VNC password ", 195, 240, 210, 28, "secret12"},
        {o.vncLoginUserInput, "VNC login user name ", 195, 268, 210, 28, "ann"},
        {o.vncLoginPasswordInput, "VNC login password ", 195, 296, 210, 28, "login"},
        {o.compressionInput, "Compression level (0-9) ", 195, 324, 48, 28, "3"},
        {o.qualityInput, "Quality level (0-9) ", 195, 352, 48, 28, "8"},
        {o.scaleOffRadio, " Scale off (scroll)", 195, 380, 100, 28, "0"},
        {o.scaleUpDownRadio, " Scale up and down", 195, 408, 100, 28, "1"},
        {o.scaleDownOnlyRadio, " Scale down only", 195, 436, 100, 28, "0"},
        {o.fastScalingCheck, " Fast scaling (low quality)", 195, 464, 100, 28, "1"},
        {o.remoteCursorCheck, " Use remote cursor locally", 195, 492, 100, 28, "1"},
        {o.command1EnabledCheck, "Command 1 enabled", 15, 64, 175, 28, "1"},
        {o.command1LabelInput, nullptr, 195, 64, 120, 28, "One"},
        {o.command1Input, nullptr, 320, 64, 200, 28, "echo 1"},
        {o.command2EnabledCheck, "Command 2 enabled", 15, 92, 175, 28, "0"},
        {o.command2LabelInput, nullptr, 195, 92, 120, 28, "Two"},
        {o.command2Input, nullptr, 320, 92, 200, 28, "echo 2"},
        {o.command3EnabledCheck, "Command 3 enabled", 15, 120, 175, 28, "1"},
        {o.command3LabelInput, nullptr, 195, 120, 120, 28, "Three"},
        {o.command3Input, nullptr, 320, 120, 200, 28, "echo 3"},
        {o.sshUserInput, "SSH user name ", 195, 44, 210, 28, "root"},
        {o.sshPortInput, "SSH remote port ", 195, 72, 100, 28, "2222"},
        {o.sshKeyInput, "SSH private key (if any) ", 195, 100, 300, 28, "/k/id"},
        {o.sshKeyButton, "...", 497, 104, 20, 20, "0"},
        {o.deleteButton, "Delete", 10, 563, 100, 35, "0"},
        {o.cancelButton, "Cancel", 325, 563, 100, 35, "0"},
        {o.saveButton, "Save", 435, 563, 100, 35, "0"},
    };
    for (const TNFieldSeen& f : fields) {
        ASSERT_NE(f.widget, nullptr) << (f.label ? f.label : "(no label)");
        SCOPED_TRACE(f.label ? f.label : valueOf(f.widget));
        if (f.label)
            EXPECT_STREQ(f.widget->label(), f.label);
        else
            EXPECT_EQ(f.widget->label(), nullptr);
        EXPECT_EQ(f.widget->x(), f.x);
        EXPECT_EQ(f.widget->y(), f.y);
        EXPECT_EQ(f.widget->w(), f.w);
        EXPECT_EQ(f.widget->h(), f.h);
        EXPECT_EQ(valueOf(f.widget), f.value);
        EXPECT_TRUE(f.widget->active());
        // Every labelled field tells what it is for.
        if (f.label) {
            EXPECT_NE(f.widget->tooltip(), nullptr);
        }
    }
    EXPECT_STREQ(o.remoteCursorCheck->tooltip(), "Check to show remote locally");
    // The command fields say which host values they take.
    for (const Fl_Widget* command : {o.command1Input, o.command2Input, o.command3Input}) {
        ASSERT_NE(command->tooltip(), nullptr);
        for (const char* placeholder : {"%h", "%p", "%n", "%u", "%%", "TANDREL_HOST"})
            EXPECT_NE(std::string(command->tooltip()).find(placeholder), std::string::npos) << placeholder;
    }
    EXPECT_NE(dynamic_cast<TNSecretInput*>(o.vncPasswordInput), nullptr);
    EXPECT_EQ(o.cancelButton->shortcut(), FL_Escape);
    EXPECT_EQ(o.saveButton->shortcut(), FL_Enter);

    // Three pages, the first shown; the name field has the keyboard with its text selected.
    ASSERT_EQ(o.tabs->children(), 3);
    EXPECT_STREQ(o.tabs->child(0)->label(), "VNC options");
    EXPECT_STREQ(o.tabs->child(1)->label(), "SSH options");
    EXPECT_STREQ(o.tabs->child(2)->label(), "Custom commands");
    EXPECT_EQ(o.tabs->value(), o.tabs->child(0));
    EXPECT_EQ(Fl::focus(), o.nameInput);
    EXPECT_EQ(o.nameInput->position(), 5);
    EXPECT_EQ(o.nameInput->mark(), 0);
}

TEST_F(ItemOptionsTest, AddButtonOpensANewHostWithItsDefaults)
{
    const std::vector<std::string> before = tnHostListTexts();
    addNew();
    EXPECT_STREQ(app->childWindow->label(), "Editing '(new connection)'");
    const TNItmOptsWidgets& o = ItmOpts;
    const std::pair<Fl_Widget*, const char*> values[] = {
        {o.nameInput, "(new connection)"}, {o.addressInput, ""},       {o.vncPortInput, "5900"},
        {o.sshPortInput, ""},              {o.vncRadio, "1"},          {o.vncSshRadio, "0"},
        {o.scaleOffRadio, "1"},            {o.scaleDownOnlyRadio, "0"}, {o.remoteCursorCheck, "1"},
        {o.fastScalingCheck, "0"},         {o.compressionInput, "5"},  {o.qualityInput, "5"},
        {o.command1LabelInput, "Command 1"}, {o.command2LabelInput, "Command 2"}, {o.command3LabelInput, "Command 3"},
        {o.command1EnabledCheck, "0"},
    };
    for (const auto& [widget, value] : values)
        EXPECT_EQ(valueOf(widget), value) << (widget->label() ? widget->label() : "");
    // Not in the list until saved; Cancel drops it.
    EXPECT_EQ(tnHostListTexts(), before);
    cancel();
    EXPECT_EQ(app->childWindow, nullptr);
    EXPECT_EQ(tnHostListTexts(), before);
}

TEST_F(ItemOptionsTest, SaveStoresEveryFieldInTheRecordAndTheFile)
{
    struct Field {
        std::function<void()> set;
        std::function<bool(const HostItem&)> stored;
        const char* fileLine;
    };
    auto text = [](Fl_Input_* input, const char* value) { return [input, value] { input->value(value); }; };
    auto on = [](Fl_Button* button, int value) { return [button, value] { button->value(value); }; };
    editLine(2);  // beta, all defaults
    const TNItmOptsWidgets& o = ItmOpts;
    const Field fields[] = {
        {text(o.nameInput, "Beta 2"), [](const HostItem& h) { return h.name == "Beta 2"; }, "host=Beta 2"},
        {text(o.groupInput, "Lab"), [](const HostItem& h) { return h.group == "Lab"; }, "group=Lab"},
        {text(o.addressInput, "h.example"), [](const HostItem& h) { return h.hostAddress == "h.example"; },
         "hostaddress=h.example"},
        {text(o.f12MacroInput, "dir"), [](const HostItem& h) { return h.f12Macro == "dir"; }, "f12macro=dir"},
        {[&o] { o.vncSshRadio->setonly(); }, [](const HostItem& h) { return h.hostType == 's'; }, "type=s"},
        {text(o.vncPortInput, "5907"), [](const HostItem& h) { return h.vncPort == "5907"; }, "vncport=5907"},
        {text(o.vncPasswordInput, "pw&x"), [](const HostItem& h) { return h.vncPassword == "pw&x"; },
         "vncpass=cHcmeA=="},
        {text(o.vncLoginUserInput, "bob"), [](const HostItem& h) { return h.vncLoginUser == "bob"; },
         "vncloginuser=bob"},
        {text(o.vncLoginPasswordInput, "abc"), [](const HostItem& h) { return h.vncLoginPassword == "abc"; },
         "vncloginpass=YWJj"},
        {text(o.compressionInput, "2"), [](const HostItem& h) { return h.compressLevel == 2; }, "compression=2"},
        {text(o.qualityInput, "7"), [](const HostItem& h) { return h.qualityLevel == 7; }, "quality=7"},
        {[&o] { o.scaleDownOnlyRadio->setonly(); }, [](const HostItem& h) { return h.scaling == 'f'; }, "scale=f"},
        {on(o.fastScalingCheck, 1), [](const HostItem& h) { return h.scalingFast; }, "scalefast=true"},
        {on(o.remoteCursorCheck, 1), [](const HostItem& h) { return h.showRemoteCursor; }, "showremotecursor=true"},
        {text(o.sshUserInput, "admin"), [](const HostItem& h) { return h.sshUser == "admin"; }, "sshuser=admin"},
        {text(o.sshPortInput, "22"), [](const HostItem& h) { return h.sshPort == "22"; }, "sshport=22"},
        {text(o.sshKeyInput, "/id"), [](const HostItem& h) { return h.sshKeyPrivate == "/id"; }, "sshkeyprivate=/id"},
        {on(o.command1EnabledCheck, 1), [](const HostItem& h) { return h.customCommand1Enabled; },
         "customcommand1enabled=true"},
        {text(o.command1LabelInput, "L1"), [](const HostItem& h) { return h.customCommand1Label == "L1"; },
         "customcommand1label=L1"},
        {text(o.command1Input, "c1"), [](const HostItem& h) { return h.customCommand1 == "c1"; }, "customcommand1=c1"},
        {on(o.command2EnabledCheck, 1), [](const HostItem& h) { return h.customCommand2Enabled; },
         "customcommand2enabled=true"},
        {text(o.command2LabelInput, "L2"), [](const HostItem& h) { return h.customCommand2Label == "L2"; },
         "customcommand2label=L2"},
        {text(o.command2Input, "c2"), [](const HostItem& h) { return h.customCommand2 == "c2"; }, "customcommand2=c2"},
        {on(o.command3EnabledCheck, 1), [](const HostItem& h) { return h.customCommand3Enabled; },
         "customcommand3enabled=true"},
        {text(o.command3LabelInput, "L3"), [](const HostItem& h) { return h.customCommand3Label == "L3"; },
         "customcommand3label=L3"},
        {text(o.command3Input, "c3"), [](const HostItem& h) { return h.customCommand3 == "c3"; }, "customcommand3=c3"},
    };
    for (const Field& f : fields)
        f.set();
    save();
    EXPECT_EQ(app->childWindow, nullptr);
    for (const Field& f : fields) {
        EXPECT_TRUE(f.stored(*beta)) << f.fileLine;
        EXPECT_TRUE(fileHasLine(f.fileLine)) << f.fileLine;
    }
    // The renamed line and the panel of the selected line show the new name at once.
    EXPECT_STREQ(app->hostList->text(2), "Beta 2");
    EXPECT_STREQ(app->quickInfoName->label(), "Beta 2");
    EXPECT_TRUE(messages.empty());
}

TEST_F(ItemOptionsTest, CompressionAndQualityTakeTheAtoiRule)
{
    struct Case {
        const char* text;
        unsigned level;
    };
    for (const Case c : {Case{"12", 9}, Case{"-1", 9}, Case{"256", 0}, Case{" 7", 7}, Case{"none", 0},
                         Case{"264", 8}, Case{"9", 9}}) {
        SCOPED_TRACE(c.text);
        editLine(2);
        ItmOpts.compressionInput->value(c.text);
        ItmOpts.qualityInput->value(c.text);
        save();
        EXPECT_EQ(beta->compressLevel, c.level);
        EXPECT_EQ(beta->qualityLevel, c.level);
        EXPECT_TRUE(fileHasLine("compression=" + std::to_string(c.level)));
    }
}

TEST_F(ItemOptionsTest, RadioButtonsFormTwoSets)
{
    editLine(1);  // VNC through SSH, scaled up and down
    const TNItmOptsWidgets& o = ItmOpts;
    tnTestClick(app->childWindow, o.vncRadio);
    EXPECT_EQ(o.vncRadio->value(), 1);
    EXPECT_EQ(o.vncSshRadio->value(), 0);
    EXPECT_EQ(o.scaleUpDownRadio->value(), 1) << "the scaling set is a set of its own";
    tnTestClick(app->childWindow, o.scaleOffRadio);
    EXPECT_EQ(o.scaleOffRadio->value(), 1);
    EXPECT_EQ(o.scaleUpDownRadio->value(), 0);
    EXPECT_EQ(o.vncRadio->value(), 1);
    // Enter saves with the pointer over the fields too (where their group would take it to
    // move the focus on).
    save();
    EXPECT_EQ(app->childWindow, nullptr);
    EXPECT_EQ(alpha->hostType, 'v');
    EXPECT_EQ(alpha->scaling, 's');

    // The same with the keyboard in a text field and the pointer over it.
    editLine(2);
    ItmOpts.vncPasswordInput->take_focus();
    tnTestClick(app->childWindow, ItmOpts.vncPasswordInput);
    ItmOpts.vncPasswordInput->value("typed");
    save();
    EXPECT_EQ(app->childWindow, nullptr);
    EXPECT_EQ(beta->vncPassword, "typed");
}

TEST_F(ItemOptionsTest, NewHostGoesAfterTheSelectedLineOrAtTheEnd)
{
    // Line 2 selected: the new host becomes line 3.
    tnClickHostLine(2, 1);
    addNew();
    ItmOpts.nameInput->value("delta");
    save();
    EXPECT_EQ(tnHostListTexts(), (std::vector<std::string>{"alpha", "beta", "delta", "gamma"}));
    HostItem* delta = tnItemFromLine(3);
    ASSERT_NE(delta, nullptr);
    EXPECT_EQ(app->hostList->icon(3), app->iconDisconnected);
    EXPECT_EQ(delta->vncPort, "5900");
    EXPECT_TRUE(fileHasLine("host=delta"));

    // Nothing selected: at the end.
    tnSelectHostLine(0);
    addNew();
    ItmOpts.nameInput->value("omega");
    save();
    EXPECT_EQ(tnHostListTexts(), (std::vector<std::string>{"alpha", "beta", "delta", "gamma", "omega"}));
    EXPECT_EQ(app->hostList->icon(5), app->iconDisconnected);
}

TEST_F(ItemOptionsTest, CancelLeavesRecordAndFileUntouched)
{
    const std::string before = file();
    const std::string name = alpha->name;
    for (const char* way : {"Escape", "Cancel button", "window manager"}) {
        SCOPED_TRACE(way);
        editLine(1);
        ItmOpts.nameInput->value("changed");
        ItmOpts.compressionInput->value("1");
        ItmOpts.vncRadio->setonly();
        ItmOpts.command2EnabledCheck->value(1);
        if (std::string(way) == "Escape")
            cancel();
        else if (std::string(way) == "Cancel button")
            tnTestClick(app->childWindow, ItmOpts.cancelButton);
        else
            Fl::handle(FL_CLOSE, app->childWindow);
        EXPECT_EQ(app->childWindow, nullptr);
        EXPECT_EQ(alpha->name, name);
        EXPECT_EQ(alpha->compressLevel, 3);
        EXPECT_EQ(alpha->hostType, 's');
        EXPECT_FALSE(alpha->customCommand2Enabled);
        EXPECT_EQ(file(), before);
        EXPECT_STREQ(app->hostList->text(1), "alpha");
    }
}

TEST_F(ItemOptionsTest, DeleteAsksAndRemovesOnlyOnYes)
{
    for (const int answer : {0, 1}) {
        choiceAnswer = answer;
        editLine(2);
        messages.clear();
        tnTestClick(app->childWindow, ItmOpts.deleteButton);
        EXPECT_EQ(messages, std::vector<std::string>{"Tandrel - Delete Item: Are you sure you want to delete this?"});
        EXPECT_NE(app->childWindow, nullptr) << "anything but Yes leaves the window open";
        EXPECT_EQ(tnItemNumFromItm(beta), 2);
        cancel();
    }
    choiceAnswer = 2;
    editLine(2);
    tnTestClick(app->childWindow, ItmOpts.deleteButton);
    EXPECT_EQ(app->childWindow, nullptr);
    EXPECT_EQ(tnItemNumFromItm(beta), 0);
    EXPECT_EQ(tnHostListTexts(), (std::vector<std::string>{"alpha", "gamma"}));
    EXPECT_STREQ(app->quickInfoName->label(), "-");

    // A new host never saved: nothing to remove, the window closes and drops it.
    addNew();
    tnTestClick(app->childWindow, ItmOpts.deleteButton);
    EXPECT_EQ(app->childWindow, nullptr);
    EXPECT_EQ(tnHostListTexts(), (std::vector<std::string>{"alpha", "gamma"}));
}

TEST_F(ItemOptionsTest, ListeningLineGreysItsIdentityAndConnectionFields)
{
    auto shared = std::make_shared<HostItem>();
    HostItem* listener = shared.get();
    listener->name = "Listening";
    listener->isListener = true;
    tnAddHostLine(shared);
    const int line = app->hostList->size();
    tnShowItemOptions(listener);
    const TNItmOptsWidgets& o = ItmOpts;
    for (Fl_Widget* greyed : {static_cast<Fl_Widget*>(o.nameInput), static_cast<Fl_Widget*>(o.groupInput),
                              static_cast<Fl_Widget*>(o.addressInput), static_cast<Fl_Widget*>(o.vncRadio),
                              static_cast<Fl_Widget*>(o.vncSshRadio), static_cast<Fl_Widget*>(o.vncPortInput),
                              static_cast<Fl_Widget*>(o.vncPasswordInput), static_cast<Fl_Widget*>(o.sshUserInput),
                              static_cast<Fl_Widget*>(o.sshPortInput), static_cast<Fl_Widget*>(o.sshKeyInput),
                              static_cast<Fl_Widget*>(o.sshKeyButton), static_cast<Fl_Widget*>(o.deleteButton)})
        EXPECT_FALSE(greyed->active()) << (greyed->label() ? greyed->label() : "");
    for (Fl_Widget* editable : {static_cast<Fl_Widget*>(o.f12MacroInput), static_cast<Fl_Widget*>(o.vncLoginUserInput),
                                static_cast<Fl_Widget*>(o.vncLoginPasswordInput),
                                static_cast<Fl_Widget*>(o.compressionInput), static_cast<Fl_Widget*>(o.scaleOffRadio),
                                static_cast<Fl_Widget*>(o.remoteCursorCheck), static_cast<Fl_Widget*>(o.command1Input)})
        EXPECT_TRUE(editable->active()) << (editable->label() ? editable->label() : "");
    ItmOpts.f12MacroInput->value("macro");
    tnTestFocusWindow(app->childWindow);
    save();
    EXPECT_EQ(listener->f12Macro, "macro");
    EXPECT_EQ(app->hostList->size(), line) << "saved in place, not added again";
    EXPECT_EQ(file().find("Listening"), std::string::npos) << "listening lines are never written";
}

TEST_F(ItemOptionsTest, KeyChooserSetsTheFieldOnlyWhenAFileIsChosen)
{
    std::string answer;
    std::vector<std::string> titles;
    tnModalHooks().fileChooser = [&](const std::string& title) {
        titles.push_back(title);
        return answer;
    };
    editLine(1);
    ItmOpts.sshKeyButton->do_callback();
    EXPECT_EQ(titles, std::vector<std::string>{"Tandrel - Please choose a private key file..."});
    EXPECT_STREQ(ItmOpts.sshKeyInput->value(), "/k/id") << "cancelled: unchanged";
    answer = "/home/me/.ssh/id_ed25519";
    ItmOpts.sshKeyButton->do_callback();
    EXPECT_STREQ(ItmOpts.sshKeyInput->value(), "/home/me/.ssh/id_ed25519");
}

// One child window at a time; however it closes, it is destroyed and nothing points at it.
TEST_F(ItemOptionsTest, ChildWindowsOneAtATimeDestroyedHoweverClosed)
{
    struct Opener {
        const char* what;
        std::function<void()> open;
        std::function<bool()> recordCleared;
    };
    const Opener openers[] = {
        {"connection options", [] { tnHandleHostListButtons(app->btnAdd, nullptr); },
         [] { return ItmOpts.nameInput == nullptr && ItmOpts.saveButton == nullptr; }},
        {"application options", [] { tnHandleHostListButtons(app->btnOptions, nullptr); },
         [] { return AppOpts.scanWaitSpinner == nullptr && AppOpts.saveButton == nullptr; }},
        {"About", [] { tnHandleHostListButtons(app->btnHelp, nullptr); }, [] { return true; }},
    };
    for (const Opener& opener : openers) {
        for (const char* way : {"Escape", "window manager", "hide"}) {
            SCOPED_TRACE(std::string(opener.what) + " closed by " + way);
            opener.open();
            Fl_Window* window = app->childWindow;
            ASSERT_NE(window, nullptr);
            // No second child window while this one is open.
            for (Fl_Button* button : {app->btnAdd, app->btnOptions, app->btnHelp})
                tnHandleHostListButtons(button, nullptr);
            EXPECT_EQ(app->childWindow, window);
            int shown = 0;
            for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
                shown += w != app && !w->window(); // top-level windows only
            EXPECT_EQ(shown, 1);

            Fl_Widget_Tracker tracker(window);
            tnTestFocusWindow(window);
            if (std::string(way) == "Escape")
                tnTestPressKey(window, FL_Escape, "\x1b");
            else if (std::string(way) == "window manager")
                Fl::handle(FL_CLOSE, window);
            else
                window->hide();
            EXPECT_EQ(app->childWindow, nullptr);
            EXPECT_EQ(app->itmBeingEdited, nullptr);
            EXPECT_FALSE(app->childWindowVisible);
            EXPECT_TRUE(opener.recordCleared());
            EXPECT_TRUE(tnTestPumpUntil([&] { return tracker.deleted(); }, 2.0)) << "the closed window is destroyed";
        }
    }
}

} // namespace
