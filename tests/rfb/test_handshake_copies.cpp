// A host edited while its handshake runs: the worker answers with the host as it was when
// the attempt started, and neither the edits nor the log switches race with it (this test
// is part of the ThreadSanitizer run).
#include <chrono>
#include <string>

#include "rfb_fixture.h"
#include "support/rfb_peer.h"

namespace {

using namespace std::chrono_literals;

using HandshakeCopies = TNConnectionTest;

TEST_F(HandshakeCopies, HostEditedAndLogSwitchedDuringTheHandshake)
{
    const struct {
        const char* label;
        const char* passwordAtStart;
        const char* passwordEdited;
        bool connects;
    } cases[] = {
        {"right password at start, wrong one edited in", "secret12", "wrong", true},
        {"wrong password at start, right one edited in", "wrong", "secret12", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        // The peer waits before its first byte, so every edit below comes before the worker
        // asks for the password.
        TNScriptedPeer peer(TNPeerScript().pause(300ms).append(TNPeerScript::handshake(32, 16, "desk", "secret12")).hold());
        ASSERT_TRUE(peer.listen());
        HostItem* itm = addHost("copies", peer.port(), c.passwordAtStart);
        itm->vncLoginUser = "anna";
        itm->vncLoginPassword = "login";
        VncObject::createVNCObject(itm);
        ASSERT_TRUE(tnResultOwed(tnStateOf(itm)));

        // Strings of changing length, so that an edit reallocates what a reader would hold.
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        for (int pass = 0; tnResultOwed(tnStateOf(itm)) && std::chrono::steady_clock::now() < deadline; pass++) {
            const std::string edited(static_cast<size_t>(pass % 40 + 1), 'n');
            itm->name = edited;
            itm->hostAddress = edited;
            itm->vncPort = edited;
            itm->vncPassword = c.passwordEdited;
            itm->vncLoginUser = edited;
            itm->vncLoginPassword = edited;
            appOptions.logToFile = pass % 2 == 0;
            appOptions.debugMode = pass % 3 == 0;
            tnTestPump(0.005);
        }
        appOptions.logToFile = true;
        appOptions.debugMode = false;
        ASSERT_FALSE(tnResultOwed(tnStateOf(itm))) << "the handshake did not end";

        if (c.connects) {
            EXPECT_TRUE(tnIsConnected(itm));
            EXPECT_EQ(tnHostStatusImage(itm), app->iconConnected);
            EXPECT_TRUE(peer.problems().empty());
        } else {
            EXPECT_EQ(tnStateOf(itm), TNConnectionState::Failed);
            EXPECT_EQ(tnLastErrorOf(itm), "Bad / missing password or Resource temporarily unavailable");
        }
        // Whatever error line the worker wrote names the host as it was at the start.
        const std::string log = logText();
        EXPECT_EQ(countOf(log, "[Error] '"), countOf(log, "[Error] 'copies' - 127.0.0.1: ")) << log;

        if (tnVncOf(itm) && tnIsConnected(itm)) {
            tnDisconnect(itm);
        }
        ASSERT_TRUE(waitFor([itm] { return !tnResultOwed(tnStateOf(itm)); }));
        tnReleaseEndedAttempt(itm);
    }
}

} // namespace

namespace {

// A host deleted while its handshake runs against a slow peer: the worker's attempt keeps
// the record until the worker is done with it, then nothing does and it is freed (this
// test is part of the ThreadSanitizer run, and of the LeakSanitizer one).
TEST_F(HandshakeCopies, HostDeletedDuringTheHandshakeLivesUntilTheWorkerIsDone)
{
    TNScriptedPeer peer(TNPeerScript().pause(500ms).append(TNPeerScript::handshake(32, 16, "desk", "")).hold());
    ASSERT_TRUE(peer.listen());
    HostItem* itm = addHost("deleted", peer.port());
    const std::weak_ptr<HostItem> record = tnHostList().share(itm);
    VncObject::createVNCObject(itm);
    ASSERT_EQ(tnStateOf(itm), TNConnectionState::Connecting);

    tnDeleteItem(lineOf(itm));
    EXPECT_EQ(tnHostList().find(itm), TNHostListModel::none);
    EXPECT_EQ(tnStateOf(itm), TNConnectionState::Abandoned);
    ASSERT_FALSE(record.expired()) << "freed while its worker still runs";
    EXPECT_EQ(itm->name, "deleted");

    EXPECT_TRUE(waitFor([&record] { return record.expired(); }, 10)) << "never freed";
    EXPECT_TRUE(tnWaitForWorkers(0)) << "freed before its worker was done";
    EXPECT_TRUE(tnConnections().empty());
    EXPECT_EQ(engine.pendingConnectionCount, 0);
    EXPECT_EQ(logText().find("Connected to 'deleted'"), std::string::npos);
}

} // namespace
