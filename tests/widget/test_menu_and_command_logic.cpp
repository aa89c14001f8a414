// The host menus and the custom command runner without widgets: menu entries, labels and
// picks, failure texts, and running a command line through the shell.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "commands/custom_command.h"
#include "config/host_item.h"
#include "gui/host_menu.h"

namespace {

TEST(MenuLabel, ShowsTheTextAsTyped)
{
    struct Case {
        const char* text;
        const char* label;
    };
    const Case cases[] = {
        {"Restart", "Restart"},
        {"Save & quit", "Save && quit"},
        {"&x", "&&x"},
        {"@->", "@@->"},
        {"mail me@host", "mail me@@host"},
        {"tab\there", "tab here"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tnMenuLabel(c.text), c.label) << c.text;
}

std::vector<std::string> labelsOf(const std::vector<TNMenuEntry>& menu)
{
    std::vector<std::string> labels;
    for (const TNMenuEntry& entry : menu)
        labels.push_back(entry.label);
    return labels;
}

TEST(IdleHostMenu, EnabledCommandsFollowADividerInOrder)
{
    struct Case {
        bool one, two, three;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {false, false, false, {"Connect", "Edit", "Copy F12 macro", "Delete..."}},
        {false, true, false, {"Connect", "Edit", "Copy F12 macro", "Delete...", "Two"}},
        {true, false, true, {"Connect", "Edit", "Copy F12 macro", "Delete...", "One", "Three"}},
    };
    for (const Case& c : cases) {
        HostItem itm;
        itm.customCommand1Label = "One";
        itm.customCommand2Label = "Two";
        itm.customCommand3Label = "Three";
        itm.customCommand1Enabled = c.one;
        itm.customCommand2Enabled = c.two;
        itm.customCommand3Enabled = c.three;
        itm.f12Macro = "x";
        const std::vector<TNMenuEntry> menu = tnIdleHostMenu(itm);
        EXPECT_EQ(labelsOf(menu), c.labels);
        const bool anyCommand = c.one || c.two || c.three;
        EXPECT_EQ((menu[3].flags & FL_MENU_DIVIDER) != 0, anyCommand);
        for (const TNMenuEntry& entry : menu)
            EXPECT_FALSE(entry.flags & FL_MENU_INACTIVE) << entry.label;
    }
    HostItem noMacro;
    EXPECT_EQ(tnIdleHostMenu(noMacro)[2].flags, FL_MENU_INACTIVE);
}

// Commands labelled like a built-in entry or like each other: the picked position decides.
TEST(MenuPick, IsThePositionNeverTheText)
{
    HostItem itm;
    itm.customCommand1Enabled = true;
    itm.customCommand1Label = "Connect";
    itm.customCommand1 = "one";
    itm.customCommand2Enabled = true;
    itm.customCommand2Label = "Delete...";
    itm.customCommand2 = "two";
    itm.customCommand3Enabled = true;
    itm.customCommand3Label = "Connect";
    itm.customCommand3 = "three";
    const std::vector<TNMenuEntry> menu = tnIdleHostMenu(itm);
    std::vector<std::string> labels;
    const std::vector<Fl_Menu_Item> items = tnMenuItems(menu, 13, labels);
    ASSERT_EQ(items.size(), menu.size() + 1);
    EXPECT_EQ(items.back().text, nullptr);
    EXPECT_EQ(items[0].labelsize_, 13);

    const TNMenuAction expected[] = {TNMenuAction::Connect,  TNMenuAction::Edit,     TNMenuAction::None,
                                     TNMenuAction::Delete,   TNMenuAction::Command1, TNMenuAction::Command2,
                                     TNMenuAction::Command3};
    for (size_t i = 0; i < menu.size(); i++)
        EXPECT_EQ(tnMenuPick(menu, items, &items[i]), expected[i]) << i;  // entry 2 is greyed (no macro)
    EXPECT_EQ(tnMenuPick(menu, items, nullptr), TNMenuAction::None);
    EXPECT_EQ(tnMenuPick(menu, items, &items.back()), TNMenuAction::None);

    std::string label, command;
    ASSERT_TRUE(tnCommandOfAction(itm, TNMenuAction::Command3, &label, &command));
    EXPECT_EQ(command, "three");
    EXPECT_FALSE(tnCommandOfAction(itm, TNMenuAction::Connect, &label, &command));
    itm.customCommand3Enabled = false;
    EXPECT_FALSE(tnCommandOfAction(itm, TNMenuAction::Command3, &label, &command))
        << "a command disabled while its menu was up does not run";
}

TEST(ListenerMenus, GreyWhatCannotBeDone)
{
    HostItem itm;
    std::vector<TNMenuEntry> menu = tnListenerConnectedMenu(itm, false);
    EXPECT_EQ(labelsOf(menu),
              (std::vector<std::string>{"Disconnect", "Edit", "Paste F12 macro", "Clear F12 macro"}));
    EXPECT_EQ(menu[2].flags, FL_MENU_INACTIVE);
    EXPECT_EQ(menu[3].flags, FL_MENU_INACTIVE);
    itm.f12Macro = "m";
    menu = tnListenerConnectedMenu(itm, true);
    EXPECT_EQ(menu[2].flags, 0);
    EXPECT_EQ(menu[3].flags, 0);
    EXPECT_EQ(labelsOf(tnListenerWaitingMenu()), std::vector<std::string>{"Delete"});
}

TEST(CommandFailureText, NamesTheLabelAndTheExitCodeAndIsCut)
{
    EXPECT_EQ(tnCommandFailureText("Backup", 3), "Command failed: 'Backup'\n\nExit code: 3\n");
    EXPECT_EQ(tnCommandFailureText("100%s", 1), "Command failed: '100%s'\n\nExit code: 1\n");
    EXPECT_EQ(tnCommandFailureText(std::string(2000, 'x'), 3).size(), 1022u);
}

TEST(RunCommandThroughShell, GivesTheExitStatusOrTheRawWaitStatus)
{
    EXPECT_EQ(tnRunCommandThroughShell("true"), 0);
    EXPECT_EQ(tnRunCommandThroughShell("exit 3"), 3);
    EXPECT_EQ(tnRunCommandThroughShell("no-such-command-here 2>/dev/null"), 127);
    EXPECT_EQ(tnRunCommandThroughShell("kill -9 $$"), SIGKILL);
}

// The command inherits no descriptor beyond the standard streams and does not ignore
// SIGPIPE (the program itself ignores it).
TEST(RunCommandThroughShell, StartsCleanOfTheProgramsDescriptorsAndSignalDispositions)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);  // without close-on-exec
    const std::string check = "test ! -e /proc/$$/fd/" + std::to_string(fds[0]) + " && test ! -e /proc/$$/fd/" +
                              std::to_string(fds[1]);
    EXPECT_EQ(tnRunCommandThroughShell(check), 0);
    close(fds[0]);
    close(fds[1]);

    signal(SIGPIPE, SIG_IGN);
    // Bit 13 of the shell's ignored-signal mask is SIGPIPE.
    EXPECT_EQ(tnRunCommandThroughShell("test $(( 0x$(sed -n 's/^SigIgn:\\t//p' /proc/$$/status) & 0x1000 )) -eq 0"), 0);
    signal(SIGPIPE, SIG_DFL);
}

} // namespace
