// The hosts' passwords in a real Secret Service: each case runs in a D-Bus session of its own
// with gnome-keyring-daemon (tests/with-keyring.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "config/config.h"
#include "config/host_item.h"
#include "config/keyring.h"
#include "core/options.h"
#include "keyring/keyring_fixture.h"

namespace {

constexpr double kWait = tnTestKeyringWait;

// A configuration as the program holds it: options and host records (owned here).
struct TNHosts {
    AppOptions options;
    std::vector<std::unique_ptr<HostItem>> owned;

    explicit TNHosts(const std::string& text)
    {
        std::istringstream in(text);
        for (const TNConfigLine& line : tnConfigParse(in, options))
            if (line.item)
                owned.emplace_back(line.item);
    }
    std::vector<HostItem*> records() const
    {
        std::vector<HostItem*> items;
        for (const auto& itm : owned)
            items.push_back(itm.get());
        return items;
    }
    std::string file() const
    {
        std::vector<const HostItem*> items;
        for (const auto& itm : owned)
            items.push_back(itm.get());
        return tnConfigSerialize(options, items);
    }
};

std::string hostBlock(const std::string& name, const std::string& port, const std::string& vncpass,
                      const std::string& loginpass)
{
    return "host=" + name + "\nhostaddress=10.0.0.7\nvncport=" + port + "\nvncpass=" + vncpass +
           "\nvncloginuser=alice\nvncloginpass=" + loginpass + "\n";
}

// office: "secret12" and "pass=word"; lab: "lab-pw" and none.
const std::string kFile = "logtofile=true\n" + hostBlock("office", "5901", "c2VjcmV0MTI=", "cGFzcz13b3Jk") +
                          hostBlock("lab", "5902", "bGFiLXB3", "") + "passwordsinkeyring=false\n";

TNKeyringHost office()
{
    return {"office", "10.0.0.7", "5901"};
}

// The password stored for a host at 10.0.0.7 ("" when there is none).
std::string storedUnder(const std::string& host, const std::string& port, const std::string& field)
{
    return tnTestStoredUnder(host, "10.0.0.7", port, field);
}

std::string readForAttempt(const TNKeyringHost& host, TNPasswordField field, std::string& problem)
{
    return tnPasswordForAttempt(host, field, "", problem);
}

class KeyringPasswords : public ::testing::Test {
protected:
    void SetUp() override { appOptions.passwordsInKeyring = false; }
    void TearDown() override { appOptions.passwordsInKeyring = false; }

    // Turns the option on as the application options window does.
    void turnOn()
    {
        ASSERT_TRUE(tnPasswordsIntoKeyring(hosts.records(), kWait).ok());
        hosts.options.passwordsInKeyring = appOptions.passwordsInKeyring = true;
    }

    TNHosts hosts{kFile};
};

TEST_F(KeyringPasswords, TurnedOnEachPasswordIsAnItemOfItsHostAndTheFileKeepsNone)
{
    // A listening line is never written to the file: it keeps its password.
    HostItem* listener = new HostItem();
    listener->isListener = true;
    listener->vncPassword = "listening";
    hosts.owned.emplace_back(listener);
    turnOn();

    EXPECT_EQ(storedUnder("office", "5901", "vncpass"), "secret12");
    EXPECT_EQ(storedUnder("office", "5901", "vncloginpass"), "pass=word");
    EXPECT_EQ(storedUnder("lab", "5902", "vncpass"), "lab-pw");
    EXPECT_EQ(storedUnder("lab", "5902", "vncloginpass"), "");
    EXPECT_EQ(listener->vncPassword, "listening");
    const std::string file = hosts.file();
    EXPECT_NE(file.find("passwordsinkeyring=true\n"), std::string::npos);
    EXPECT_EQ(file.find("vncpass=\n", file.find("host=lab")), file.find("vncpass=", file.find("host=lab")));
    for (const char* key : {"vncpass=", "vncloginpass="}) {
        for (size_t at = file.find(key); at != std::string::npos; at = file.find(key, at + 1))
            EXPECT_EQ(file.compare(at, strlen(key) + 1, std::string(key) + "\n"), 0) << file.substr(at, 40);
    }

    // A connection attempt reads them; a password the attempt already holds wins.
    std::string problem;
    EXPECT_EQ(readForAttempt(office(), TNPasswordField::VncLogin, problem), "pass=word");
    EXPECT_EQ(problem, "");
    EXPECT_EQ(tnPasswordForAttempt(office(), TNPasswordField::Vnc, "typed", problem), "typed");
    EXPECT_EQ(readForAttempt({"office", "10.0.0.7", "5999"}, TNPasswordField::Vnc, problem), "");
    EXPECT_EQ(problem, "") << "no item is no password, not a keyring fault";
}

TEST_F(KeyringPasswords, RenamedHostTakesItsItemsAlongAndADeletedHostsItemsGo)
{
    turnOn();
    // Renamed and moved to another port, with a new login password typed.
    const TNKeyringHost renamed{"office 2", "10.0.0.7", "5911"};
    const TNKeyringHost before = office();
    ASSERT_TRUE(tnKeyringSaveHost(&before, renamed, {{TNPasswordField::VncLogin, "new login"}}, kWait).ok());
    EXPECT_EQ(storedUnder("office 2", "5911", "vncpass"), "secret12");
    EXPECT_EQ(storedUnder("office 2", "5911", "vncloginpass"), "new login");
    EXPECT_EQ(storedUnder("office", "5901", "vncpass"), "");
    EXPECT_EQ(storedUnder("office", "5901", "vncloginpass"), "");
    // A password field emptied on purpose removes its item.
    ASSERT_TRUE(tnKeyringSaveHost(&renamed, renamed, {{TNPasswordField::Vnc, ""}}, kWait).ok());
    EXPECT_EQ(storedUnder("office 2", "5911", "vncpass"), "");
    EXPECT_EQ(storedUnder("office 2", "5911", "vncloginpass"), "new login");

    HostItem& lab = *hosts.owned[1];
    tnForgetKeyringPasswords({&lab});
    EXPECT_EQ(storedUnder("lab", "5902", "vncpass"), "") << "the items of a deleted host go";
    EXPECT_EQ(storedUnder("office 2", "5911", "vncloginpass"), "new login") << "the others stay";
}

TEST_F(KeyringPasswords, TurnedOffThePasswordsAreBackInTheFileByteForByte)
{
    const std::string before = hosts.file();
    turnOn();
    ASSERT_NE(hosts.file(), before);
    ASSERT_TRUE(tnPasswordsOutOfKeyring(hosts.records(), kWait).ok());
    hosts.options.passwordsInKeyring = appOptions.passwordsInKeyring = false;
    EXPECT_EQ(hosts.file(), before);
    tnForgetKeyringPasswords(hosts.records());
    EXPECT_EQ(storedUnder("office", "5901", "vncpass"), "");
    EXPECT_EQ(storedUnder("lab", "5902", "vncpass"), "");
}

// The keyring is locked (its collection locked after a password went in) or absent (no D-Bus
// session to reach): every step says so, and nothing is removed anywhere.
struct TNKeyringFault {
    const char* name;
    bool locked;
    TNKeyringStatus status;
    const char* message;
};

void PrintTo(const TNKeyringFault& fault, std::ostream* out)
{
    *out << fault.name;
}

class KeyringFaults : public KeyringPasswords, public ::testing::WithParamInterface<TNKeyringFault> {};

TEST_P(KeyringFaults, SaidAndNothingIsRemoved)
{
    const TNKeyringFault fault = GetParam();
    if (fault.locked) {
        turnOn();
        ASSERT_TRUE(tnTestLockKeyring());
    } else {
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tandrel-bus", 1);
        appOptions.passwordsInKeyring = true;
    }

    std::string problem;
    EXPECT_EQ(readForAttempt(office(), TNPasswordField::Vnc, problem), "");
    EXPECT_EQ(problem.rfind(fault.message, 0), 0u) << problem;

    // Renaming, turning off: refused, the records and the file as they were.
    const std::string file = hosts.file();
    const TNKeyringHost before = office();
    const TNKeyringResult renamed = tnKeyringSaveHost(&before, {"elsewhere", "10.0.0.7", "5901"}, {}, kWait);
    EXPECT_EQ(renamed.status, fault.status);
    const TNKeyringResult off = tnPasswordsOutOfKeyring(hosts.records(), kWait);
    EXPECT_EQ(off.status, fault.status);
    EXPECT_EQ(off.message.rfind(fault.message, 0), 0u) << off.message;
    EXPECT_EQ(hosts.file(), file);

    // Turning on with passwords in the records: they stay there.
    TNHosts fresh{kFile};
    const TNKeyringResult on = tnPasswordsIntoKeyring(fresh.records(), kWait);
    EXPECT_EQ(on.status, fault.status);
    EXPECT_EQ(fresh.owned[0]->vncPassword, "secret12");
    EXPECT_EQ(fresh.owned[1]->vncPassword, "lab-pw");

    if (fault.locked) {
        // Every item is still there, locked.
        EXPECT_EQ(tnTestKeyringItemCount(), 3);
    }
}

INSTANTIATE_TEST_SUITE_P(, KeyringFaults,
                         ::testing::Values(TNKeyringFault{"Locked", true, TNKeyringStatus::Locked,
                                                          "The desktop keyring is locked"},
                                           TNKeyringFault{"Absent", false, TNKeyringStatus::Unavailable,
                                                          "The desktop keyring is not available ("}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
