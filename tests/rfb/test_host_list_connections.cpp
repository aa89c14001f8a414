// The host list acting on live connections: showing, disconnecting, deleting lines,
// and connections ended while their handshake still runs.
#include <FL/Fl_Button.H>

#include "connection/front_end.h"
#include "rfb_fixture.h"

namespace {

using HostListConnections = TNConnectionTest;

TEST_F(HostListConnections, SelectingShowsAndHidesConnections)
{
    TNTestServer* server = startServer();
    HostItem* first = addHost("first", server->port());
    HostItem* second = addHost("second", server->port());
    HostItem* idle = addHost("idle", server->port());
    ASSERT_TRUE(connectAndWait(first));
    ASSERT_TRUE(connectAndWait(second));
    EXPECT_EQ(app->vncViewer->vnc, nullptr) << "a connection whose line is not selected is not shown";

    tnClickHostLine(lineOf(first), 1);
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(first));
    tnClickHostLine(lineOf(second), 1);
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(second));
    tnClickHostLine(lineOf(idle), 1);
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
}

TEST_F(HostListConnections, ConnectionWhoseLineIsSelectedIsShownWhenItArrives)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("selected", server->port());
    tnSelectHostLine(lineOf(itm));
    ASSERT_TRUE(connectAndWait(itm));
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(itm));
}

// Connection results change the icons through the front end; the change gives the host's
// line its icon and lets no other callback run in the middle of the result's handling.
TEST_F(HostListConnections, IconRefreshMarksEveryLineAndRunsNoOtherCallback)
{
    HostItem* connected = addHost("connected", 5999);
    HostItem* failed = addHost("failed", 5999);
    static int dueRuns;
    dueRuns = 0;
    struct Due {
        static void run(void*) { dueRuns++; }
    };
    Fl::add_timeout(0.0, Due::run);
    tnFrontEnd().hostIconChanged(connected, TNHostIcon::Connected);
    tnFrontEnd().hostIconChanged(failed, TNHostIcon::NoConnect);
    EXPECT_EQ(dueRuns, 0);
    EXPECT_EQ(app->hostList->icon(lineOf(connected)), app->iconConnected);
    EXPECT_EQ(app->hostList->icon(lineOf(failed)), app->iconNoConnect);
    ASSERT_TRUE(waitFor([] { return dueRuns == 1; }));
}

TEST_F(HostListConnections, RightClickDisconnectsAConnectedHost)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("office", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    tnClickHostLine(lineOf(itm), 1);

    tnClickHostLine(lineOf(itm), 3);
    EXPECT_FALSE(tnIsConnected(itm));
    EXPECT_TRUE(tnNeedsRelease(itm));
    EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnected);
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
    EXPECT_EQ(engine.activeConnectionCount, 0);
    EXPECT_EQ(countOf(logText(), "Manually disconnected from 'office' - 127.0.0.1\n"), 1);

    // Released with the next attempt of the host, which connects again.
    ASSERT_TRUE(connectAndWait(itm));
    EXPECT_FALSE(tnNeedsRelease(itm));
    EXPECT_EQ(std::count_if(tnConnections().begin(), tnConnections().end(),
                            [](const TNConnection* connection) { return connection->vnc != nullptr; }),
              1);
}

TEST_F(HostListConnections, DeletingAConnectedLineEndsItsConnection)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("doomed", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    ASSERT_TRUE(waitFor([server] { return server->clientCount() == 1; }));
    tnClickHostLine(lineOf(itm), 1);

    tnHandleHostListButtons(app->btnDelete, nullptr);
    EXPECT_EQ(lineOf(itm), 0);
    EXPECT_FALSE(tnIsConnected(itm));
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
    EXPECT_EQ(countOf(logText(), "Manually disconnected from 'doomed' - 127.0.0.1\n"), 1);
    // No walk of the list finds the record any more; the watcher still releases it.
    EXPECT_TRUE(waitFor([itm] { return tnVncOf(itm) == nullptr; }, 3));
    EXPECT_TRUE(waitFor([server] { return server->clientCount() == 0; }));
}

TEST_F(HostListConnections, ConnectionEndedDuringItsHandshakeIsNeverShown)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("hasty", server->port());
    tnClickHostLine(lineOf(itm), 1);

    // The worker cannot start its handshake before the main thread waits for events, so
    // the right-click comes first; the handshake itself then succeeds.
    VncObject::createVNCObject(itm);
    tnClickHostLine(lineOf(itm), 3);
    EXPECT_NE(tnStateOf(itm), TNConnectionState::Connecting);
    EXPECT_EQ(countOf(logText(), "Manually disconnected from 'hasty' - 127.0.0.1\n"), 1);

    // While the old worker runs, the host cannot be connected again.
    VncObject::createVNCObject(itm);
    EXPECT_TRUE(sawMessage("Tandrel - FLTK", "Error: Could not create VNC connection"));

    ASSERT_TRUE(waitFor([itm] { return !tnResultOwed(tnStateOf(itm)); }));
    EXPECT_FALSE(tnIsConnected(itm));
    EXPECT_EQ(tnVncOf(itm), nullptr);
    EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnected);
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
    EXPECT_EQ(logText().find("Connected to 'hasty'"), std::string::npos);
    EXPECT_EQ(engine.pendingConnectionCount, 0);
    EXPECT_EQ(engine.activeConnectionCount, 0);
    EXPECT_TRUE(waitFor([server] { return server->clientCount() == 0; }));

    // Afterwards it connects as usual.
    messages.clear();
    ASSERT_TRUE(connectAndWait(itm));
    EXPECT_TRUE(messages.empty());
}

TEST_F(HostListConnections, DeletingAWaitingListenerFreesPort5500)
{
    const int probe = tnTestBindPort(tnListenPort);
    if (probe < 0)
        GTEST_SKIP() << "port " << tnListenPort << " is in use on this machine";
    close(probe);

    tnHandleHostListButtons(app->btnListen, nullptr);
    const int line = app->hostList->size();
    auto* listener = tnItemFromLine(line);
    ASSERT_NE(listener, nullptr);
    ASSERT_TRUE(listener->isListener);
    // Watched without binding: a probing bind could take the port just as the listener
    // wants it.
    ASSERT_TRUE(waitFor([] { return tnTestPortIsListening(tnListenPort); })) << "the listener never took the port";

    tnSelectHostLine(line);
    tnHandleHostListButtons(app->btnDelete, nullptr);
    EXPECT_EQ(lineOf(listener), 0);
    int fd = -1;
    EXPECT_TRUE(waitFor([&fd] { return (fd = tnTestBindPort(tnListenPort)) >= 0; }, 3))
        << "port " << tnListenPort << " still taken after the listener was deleted";
    if (fd >= 0)
        close(fd);
    EXPECT_TRUE(waitFor([listener] { return tnVncOf(listener) == nullptr; }));
}

} // namespace
