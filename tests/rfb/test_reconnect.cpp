// Hosts that come back by themselves: a connection the server ends is tried again after a
// back-off until the server is back (shown again as it was), and not after a refusal no
// other try can mend, the user's right-click or shut-down.
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Scroll.H>

#include "gui/main_window.h"
#include "gui/overview.h"
#include "viewer_fixture.h"

namespace {

class Reconnect : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        appOptions.reconnectDropped = true;
    }

    // A server of `size` on the port an earlier one had.
    TNTestServer* restartServer(int port, int width, int height, const std::string& password = "")
    {
        TNTestServerOptions options;
        options.port = port;
        options.width = width;
        options.height = height;
        options.password = password;
        return startServer(options);
    }

    int attemptsOf(const std::string& name) const
    {
        return countOf(logText(), "Attempting to connect to '" + name + "' - 127.0.0.1\n");
    }
};

TEST_F(Reconnect, ShownHostComesBackShownWithItsScrollPositionWhenItsServerReturns)
{
    TNTestServer* server = startServerOfSize(1600, 1200);
    const int port = server->port();
    HostItem* itm = showHost(server, 's');
    tnSelectHostLine(lineOf(itm));
    ASSERT_EQ(app->vncViewer->vnc, tnVncOf(itm));
    app->scroller->scroll_to(300, 200);
    tnTestPump(0.1);

    server->stop();
    ASSERT_TRUE(waitFor([itm] { return tnStateOf(itm) == TNConnectionState::Reconnecting; }));
    EXPECT_EQ(tnHostStatusImage(itm), app->iconReconnecting);
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
    const std::string panel = app->quickInfoLastError->value();
    EXPECT_EQ(panel.rfind("Reconnecting in 1 s (attempt 1)\n", 0), 0u) << panel;
    EXPECT_NE(logText().find("'viewed' - 127.0.0.1 - connection lost: "), std::string::npos) << logText();
    EXPECT_EQ(countOf(logText(), "Unexpectedly disconnected"), 0);

    // The first tries find nothing listening; the server is back after about 3 s.
    tnTestPump(2.5);
    EXPECT_GE(countOf(logText(), "'viewed' - 127.0.0.1 - reconnect attempt 1 failed: "), 1) << logText();
    restartServer(port, 1600, 1200);
    ASSERT_TRUE(waitFor([itm] { return tnIsConnected(itm) && app->vncViewer->vnc == tnVncOf(itm); }, 12))
        << logText();
    EXPECT_EQ(tnHostStatusImage(itm), app->iconConnected);
    EXPECT_EQ(countOf(logText(), "Connected to 'viewed' - 127.0.0.1\n"), 2);
    EXPECT_EQ(app->scroller->xposition(), 300);
    EXPECT_EQ(app->scroller->yposition(), 200);
    EXPECT_EQ(std::string(app->quickInfoLastError->value()), "");
    EXPECT_EQ(engine.activeConnectionCount, 1);
}

// A hidden host comes back hidden; a server that now wants another password is refused
// once (the password window is cancelled) and tried no more.
TEST_F(Reconnect, HiddenHostStaysHiddenAndARefusedPasswordEndsTheTries)
{
    TNTestServerOptions options;
    options.password = "secret12";
    TNTestServer* first = startServer(options);
    TNTestServer* second = startServer(options);
    const int firstPort = first->port(), secondPort = second->port();
    HostItem* shown = addHost("shown", firstPort, "secret12");
    HostItem* hidden = addHost("hidden", secondPort, "secret12");
    ASSERT_TRUE(connectAndWait(shown));
    ASSERT_TRUE(connectAndWait(hidden));
    tnClickHostLine(lineOf(shown), 1);
    ASSERT_EQ(app->vncViewer->vnc, tnVncOf(shown));

    second->stop();
    ASSERT_TRUE(waitFor([hidden] { return tnStateOf(hidden) == TNConnectionState::Reconnecting; }));
    restartServer(secondPort, 64, 48, "secret12");
    ASSERT_TRUE(waitFor([hidden] { return tnIsConnected(hidden); }, 8)) << logText();
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(shown));

    first->stop();
    ASSERT_TRUE(waitFor([shown] { return tnStateOf(shown) == TNConnectionState::Reconnecting; }));
    restartServer(firstPort, 64, 48, "changed1");
    ASSERT_TRUE(waitFor([shown] { return tnStateOf(shown) == TNConnectionState::Failed; }, 8)) << logText();
    EXPECT_EQ(tnLastErrorOf(shown), "Bad / missing password or Resource temporarily unavailable");
    EXPECT_EQ(tnHostStatusImage(shown), app->iconDisconnectedBigError);
    const int attempts = attemptsOf("shown");
    tnTestPump(2.5);
    EXPECT_EQ(attemptsOf("shown"), attempts) << "tried again after the refusal";
    EXPECT_TRUE(tnIsConnected(hidden));
}

// The user's right-click ends the back-off at once; shut-down during one starts no attempt
// and leaves no connection counted.
TEST_F(Reconnect, RightClickAndShutDownStopTheBackOff)
{
    TNTestServer* first = startServer();
    TNTestServer* second = startServer();
    HostItem* stopped = addHost("stopped", first->port());
    HostItem* waiting = addHost("waiting", second->port());
    ASSERT_TRUE(connectAndWait(stopped));
    ASSERT_TRUE(connectAndWait(waiting));
    first->stop();
    second->stop();
    ASSERT_TRUE(waitFor([=] {
        return tnStateOf(stopped) == TNConnectionState::Reconnecting &&
               tnStateOf(waiting) == TNConnectionState::Reconnecting;
    }));

    // The overview's tile counts down with the panel.
    const std::string tile = tnTileStateText(*tnConnectionOf(stopped));
    EXPECT_TRUE(tile.rfind("Reconnecting in ", 0) == 0 && tile.back() == 's') << tile;

    tnClickHostLine(lineOf(stopped), 3);
    EXPECT_EQ(tnStateOf(stopped), TNConnectionState::Idle);
    EXPECT_EQ(tnHostStatusImage(stopped), app->iconDisconnected);
    EXPECT_NE(logText().find("Manually disconnected from 'stopped' - 127.0.0.1\n"), std::string::npos);
    const int stoppedAttempts = attemptsOf("stopped");

    tnPrepareShutDown();
    EXPECT_EQ(tnStateOf(waiting), TNConnectionState::Idle);
    const int waitingAttempts = attemptsOf("waiting");
    tnTestPump(2.5);
    EXPECT_EQ(attemptsOf("stopped"), stoppedAttempts);
    EXPECT_EQ(attemptsOf("waiting"), waitingAttempts);
    EXPECT_EQ(engine.activeConnectionCount, 0);
    EXPECT_EQ(engine.pendingConnectionCount, 0);
}

} // namespace
