// The keyring option as the user meets it: the application options window turns it on and off,
// the connection options window renames a host, the list deletes one, and a connection reads
// its password from the keyring (a real server that asks for one) or says the keyring is locked.
#include "rfb/rfb_fixture.h"

#include <FL/Fl_Check_Button.H>

#include "config/keyring.h"
#include "dialogs/app_options.h"
#include "dialogs/connection_options.h"
#include "gui/config_io.h"
#include "gui/inputs.h"
#include "keyring/keyring_fixture.h"

namespace {

TNTestServerOptions tnServerWithPassword()
{
    TNTestServerOptions options;
    options.password = "secret12";
    return options;
}

class KeyringWindows : public TNConnectionTest {
protected:
    void TearDown() override
    {
        TNConnectionTest::TearDown();
        appOptions.passwordsInKeyring = false;
    }
    std::string file() const { return tnTestReadFile(appOptions.configPathAndFile); }
    static std::string stored(const std::string& name, int port, const char* field)
    {
        return tnTestStoredUnder(name, "127.0.0.1", std::to_string(port), field);
    }
    static void saveAppOptionsWithKeyring(bool on)
    {
        tnShowAppOptions();
        ASSERT_NE(AppOpts.keyringCheck, nullptr);
        EXPECT_EQ(AppOpts.keyringCheck->value() != 0, static_cast<bool>(appOptions.passwordsInKeyring));
        AppOpts.keyringCheck->value(on ? 1 : 0);
        tnHandleAppOptionsButtons(AppOpts.saveButton, nullptr);
    }
    bool connectsAndEnds(HostItem* itm)
    {
        if (!connectAndWait(itm))
            return false;
        tnDisconnect(itm);
        return waitFor([itm] { return !tnIsConnected(itm); });
    }
};

TEST_F(KeyringWindows, PasswordsFollowTheOptionTheHostAndItsDeletion)
{
    const int port = startServer(tnServerWithPassword())->port();
    HostItem* office = addHost("office", port, "secret12");
    HostItem* lab = addHost("lab", 5999, "lab-pw");
    tnConfigWrite();
    const std::string before = file();

    saveAppOptionsWithKeyring(true);
    EXPECT_TRUE(appOptions.passwordsInKeyring);
    EXPECT_EQ(office->vncPassword, "");
    EXPECT_EQ(file().find("c2VjcmV0MTI="), std::string::npos) << file();
    EXPECT_NE(file().find("passwordsinkeyring=true\n"), std::string::npos);
    EXPECT_EQ(stored("office", port, "vncpass"), "secret12");
    EXPECT_EQ(stored("lab", 5999, "vncpass"), "lab-pw");
    EXPECT_TRUE(messages.empty());

    // The worker reads the password when the server asks for it.
    EXPECT_TRUE(connectsAndEnds(office));

    // Renamed in its window, with its password field left alone: the items follow.
    tnShowItemOptions(office);
    EXPECT_STREQ(ItmOpts.vncPasswordInput->value(), "");
    ItmOpts.nameInput->value("office 2");
    tnHandleItmOptionsButtons(ItmOpts.saveButton, nullptr);
    EXPECT_EQ(app->childWindow, nullptr);
    EXPECT_EQ(office->name, "office 2");
    EXPECT_EQ(office->vncPassword, "");
    EXPECT_EQ(stored("office 2", port, "vncpass"), "secret12");
    EXPECT_EQ(stored("office", port, "vncpass"), "");
    EXPECT_TRUE(connectsAndEnds(office));

    tnDeleteItem(lineOf(lab));
    EXPECT_EQ(stored("lab", 5999, "vncpass"), "");

    // Turned off: the passwords are back in the file, the items gone; the file is as it was
    // but for the rename, the deletion and the time of the last connection.
    office->lastConnectedTime.clear();
    saveAppOptionsWithKeyring(false);
    EXPECT_FALSE(appOptions.passwordsInKeyring);
    EXPECT_EQ(office->vncPassword, "secret12");
    std::string expected = before.substr(0, before.find("host=lab"));
    const std::string renamed = "host=office\n";
    expected.replace(expected.find(renamed), renamed.size(), "host=office 2\n");
    EXPECT_EQ(file(), expected + "\n");
    EXPECT_EQ(tnTestKeyringItemCount(), 0);
}

TEST_F(KeyringWindows, ALockedKeyringIsSaidAndNothingIsRemoved)
{
    const int port = startServer(tnServerWithPassword())->port();
    HostItem* office = addHost("office", port, "secret12");
    saveAppOptionsWithKeyring(true);
    ASSERT_TRUE(appOptions.passwordsInKeyring);
    ASSERT_TRUE(tnTestLockKeyring());
    const std::string before = file();

    // The password window says why it asks; cancelled, the attempt goes on without a
    // password, and the host's error says why.
    std::string asked;
    tnModalHooks().password = [&asked](const std::string&, const std::string& text, std::string&, std::string&,
                                       bool&) {
        asked = text;
        return 0;
    };
    VncObject::createVNCObject(office);
    ASSERT_TRUE(waitFor([office] { return tnHostStatusImage(office) != app->iconConnecting; }, 30));
    EXPECT_FALSE(tnIsConnected(office));
    EXPECT_EQ(tnLastErrorOf(office), "The desktop keyring is locked; the password was not read");
    EXPECT_EQ(asked, "The desktop keyring is locked; the password was not read.\n\n"
                     "office (127.0.0.1) asks for a password:");

    // A rename is refused with a box, the window stays open and nothing changes.
    tnShowItemOptions(office);
    ItmOpts.nameInput->value("office 2");
    tnHandleItmOptionsButtons(ItmOpts.saveButton, nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second.rfind("The desktop keyring is locked.\n\n", 0), 0u) << messages[0].second;
    EXPECT_NE(app->childWindow, nullptr);
    EXPECT_EQ(office->name, "office");
    tnHandleItmOptionsButtons(ItmOpts.cancelButton, nullptr);

    // Turning off is refused: the option stays on, the file and the items as they were.
    saveAppOptionsWithKeyring(false);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].second,
              "The desktop keyring is locked.\n\nThe passwords stay in the keyring, and \"Keep passwords in the "
              "desktop keyring\" stays on.");
    EXPECT_TRUE(appOptions.passwordsInKeyring);
    EXPECT_EQ(file(), before);
    EXPECT_EQ(tnTestKeyringItemCount(), 1);
}

// A password typed into the window with "Remember" goes into the keyring, not the file.
TEST_F(KeyringWindows, ARememberedPasswordGoesIntoTheKeyring)
{
    const int port = startServer(tnServerWithPassword())->port();
    HostItem* office = addHost("office", port);
    saveAppOptionsWithKeyring(true);
    ASSERT_TRUE(appOptions.passwordsInKeyring);
    tnModalHooks().password = [](const std::string&, const std::string&, std::string&, std::string& password,
                                 bool& remember) {
        password = "secret12";
        remember = true;
        return 1;
    };
    ASSERT_TRUE(connectsAndEnds(office)) << logText();
    EXPECT_EQ(stored("office", port, "vncpass"), "secret12");
    EXPECT_EQ(office->vncPassword, "");
    EXPECT_EQ(file().find("c2VjcmV0MTI="), std::string::npos) << file();

    // The next attempt reads it from there and asks nothing.
    tnModalHooks().password = nullptr;
    EXPECT_TRUE(connectsAndEnds(office)) << logText();
}

} // namespace
