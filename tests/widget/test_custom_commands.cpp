// Custom commands from a host's menu, run through the real shell: the picked entry alone
// runs, failures are told, the window never waits for a command.
#include "commands/custom_command.h"
#include "main_window_fixture.h"
#include "connection/vnc_object.h"

// After gtest: these pull in X headers, which define names such as None.
#include <FL/Fl_Box.H>

#include <unistd.h>

namespace {

class CustomCommandTest : public TNMainWindowTest {
protected:
    void SetUp() override
    {
        startWith(tnHostBlock("alpha") + tnHostBlock("beta"));
        alpha = tnItemFromLine(1);
        ASSERT_NE(alpha, nullptr);
        tnModalHooks().message = [this](const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
        };
        tnModalHooks().choice = [this](const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
            return 2;
        };
    }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    bool exists(const std::string& name) const { return access(path(name).c_str(), F_OK) == 0; }
    std::string touch(const std::string& name) const { return "touch '" + path(name) + "'"; }

    void setCommand(int n, bool enabled, const std::string& label, const std::string& command)
    {
        bool* flags[] = {&alpha->customCommand1Enabled, &alpha->customCommand2Enabled, &alpha->customCommand3Enabled};
        std::string* labels[] = {&alpha->customCommand1Label, &alpha->customCommand2Label,
                                 &alpha->customCommand3Label};
        std::string* commands[] = {&alpha->customCommand1, &alpha->customCommand2, &alpha->customCommand3};
        *flags[n - 1] = enabled;
        *labels[n - 1] = label;
        *commands[n - 1] = command;
    }

    // Right-clicks alpha and picks the menu's entry at `index` (0 from the top).
    void pickEntry(size_t index)
    {
        shownLabels.clear();
        tnModalHooks().menu = [this, index](const Fl_Menu_Item* items) -> const Fl_Menu_Item* {
            size_t count = 0;
            for (const Fl_Menu_Item* item = items; item->text; ++item, ++count)
                shownLabels.push_back(item->text);
            return index < count ? &items[index] : nullptr;
        };
        tnClickHostLine(1, 3);
    }

    HostItem* alpha = nullptr;
    std::vector<std::string> messages;
    std::vector<std::string> shownLabels;
};

TEST_F(CustomCommandTest, PickedCommandRunsThroughTheShellAndItsEntryAlone)
{
    // Labels equal to built-in entries and to each other; the menu shows them as typed.
    setCommand(1, true, "Edit", touch("one"));
    setCommand(2, true, "Delete...", touch("two"));
    setCommand(3, true, "Edit", touch("three"));
    pickEntry(6);  // the second "Edit" command
    EXPECT_EQ(shownLabels, (std::vector<std::string>{"Connect", "Edit", "Copy F12 macro", "Delete...", "Edit",
                                                     "Delete...", "Edit"}));
    ASSERT_TRUE(tnTestPumpUntil([&] { return exists("three"); }, 10.0));
    pickEntry(5);  // the "Delete..." command: no question, the line stays
    ASSERT_TRUE(tnTestPumpUntil([&] { return exists("two"); }, 10.0));
    EXPECT_EQ(tnItemNumFromItm(alpha), 1);
    pickEntry(1);  // the built-in "Edit": the window opens, no command runs
    EXPECT_EQ(app->itmBeingEdited, alpha);
    app->childWindow->hide();
    tnTestPump(0.3);
    EXPECT_FALSE(exists("one"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(app->childWindow, nullptr);
}

// A command picked from the menu gets the host's values, as placeholders (each one word,
// nothing in them run) and in its environment; a command without placeholders is as typed.
TEST_F(CustomCommandTest, PlaceholdersAndEnvironmentCarryTheHostsValues)
{
    alpha->name = "it's $(touch " + path("ran") + ")";
    alpha->hostAddress = "10.1.2.3";
    alpha->vncPort = "5907";
    alpha->sshUser = "ann; touch " + path("ran");
    const std::string out = path("out");
    setCommand(1, true, "Values",
               "printf '%s|' %n %h %p %u \"$TANDREL_NAME\" \"$TANDREL_HOST\" \"$TANDREL_PORT\" "
               "\"$TANDREL_SSH_USER\" 100%% > '" + out + "'; " + touch("done"));
    pickEntry(4);
    ASSERT_TRUE(tnTestPumpUntil([&] { return exists("done"); }, 10.0));
    const std::string values = alpha->name + "|10.1.2.3|5907|" + alpha->sshUser + "|";
    EXPECT_EQ(tnTestReadFile(out), values + values + "100%|");
    EXPECT_FALSE(exists("ran"));
}

TEST_F(CustomCommandTest, DisabledCommandHasNoEntryAndNeverRuns)
{
    setCommand(1, false, "Same", touch("disabled"));
    setCommand(2, true, "Same", touch("enabled"));
    pickEntry(4);
    EXPECT_EQ(shownLabels, (std::vector<std::string>{"Connect", "Edit", "Copy F12 macro", "Delete...", "Same"}));
    ASSERT_TRUE(tnTestPumpUntil([&] { return exists("enabled"); }, 10.0));
    tnTestPump(0.3);
    EXPECT_FALSE(exists("disabled"));

    // Enabling it makes its entry appear at the next right-click.
    alpha->customCommand1Enabled = true;
    pickEntry(99);
    EXPECT_EQ(shownLabels.size(), 6u);
}

TEST_F(CustomCommandTest, ExitZeroIsSilentAndAFailureToldWithItsExitCode)
{
    tnRunCommand("Quiet", "exit 0");
    tnRunCommand("Backup & copy", "exit 3");
    ASSERT_TRUE(tnTestPumpUntil([&] { return !messages.empty(); }, 10.0));
    tnTestPump(0.3);
    EXPECT_EQ(messages,
              std::vector<std::string>{"Tandrel - Custom command: Command failed: 'Backup & copy'\n\nExit code: 3\n"});
}

TEST_F(CustomCommandTest, EmptyLabelOrCommandIsRefusedWithoutRunning)
{
    for (const auto& [label, command] : {std::pair<std::string, std::string>{"", touch("nolabel")},
                                         std::pair<std::string, std::string>{"Label", ""}}) {
        messages.clear();
        tnRunCommand(label, command);
        EXPECT_EQ(messages, std::vector<std::string>{"Tandrel - Custom command: Command or command label is empty"});
    }
    tnTestPump(0.3);
    EXPECT_FALSE(exists("nolabel"));
}

// The window keeps answering while commands run; a second run starts beside the first.
TEST_F(CustomCommandTest, LongCommandsDoNotBlockTheWindow)
{
    tnRunCommand("Slow 1", "sleep 2; " + touch("slow1"));
    tnRunCommand("Slow 2", "sleep 2; " + touch("slow2"));
    EXPECT_FALSE(exists("slow1"));
    static bool timerRan;
    timerRan = false;
    Fl::add_timeout(0.05, [](void*) { timerRan = true; });
    ASSERT_TRUE(tnTestPumpUntil([] { return timerRan; }, 1.0));
    tnClickHostLine(2, 1);
    EXPECT_STREQ(app->quickInfoName->label(), "beta");
    EXPECT_FALSE(exists("slow1")) << "the window answered while the command still ran";
    EXPECT_TRUE(tnTestPumpUntil([&] { return exists("slow1") && exists("slow2"); }, 15.0));
    EXPECT_TRUE(messages.empty());
}

// Once the program shuts down, a failure no longer opens a box (which would hold up the end).
TEST_F(CustomCommandTest, NoFailureBoxOnceShuttingDown)
{
    engine.isShuttingDown = true;
    tnRunCommand("Late", touch("late") + "; exit 4");
    ASSERT_TRUE(tnTestPumpUntil([&] { return exists("late"); }, 10.0));
    tnTestPump(0.5);
    engine.isShuttingDown = false;
    EXPECT_TRUE(messages.empty());
}

} // namespace
