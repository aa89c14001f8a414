// The life cycle of one connection against a real RFB server on loopback: start,
// success and the ways an attempt fails, ending on request, on a lost or stalled server,
// and at shut-down.
#include <FL/Fl_Multiline_Output.H>

#include <algorithm>
#include <regex>

#include "rfb_fixture.h"

namespace {

using ConnectionLifecycle = TNConnectionTest;

TEST_F(ConnectionLifecycle, ConnectsAndRefusesASecondAttempt)
{
    TNTestServerOptions options;
    options.password = "secret12";
    TNTestServer* server = startServer(options);
    HostItem* itm = addHost("office", server->port(), "secret12");
    // Otherwise the server paints its pointer into the picture it sends.
    itm->showRemoteCursor = true;

    ASSERT_TRUE(connectAndWait(itm));
    EXPECT_EQ(tnStateOf(itm), TNConnectionState::Connected);
    EXPECT_TRUE(std::regex_match(itm->lastConnectedTime, std::regex(R"(\d{4}-\d\d-\d\d  \d\d:\d\d:\d\d)")))
        << itm->lastConnectedTime;
    EXPECT_EQ(engine.pendingConnectionCount, 0);
    EXPECT_EQ(engine.activeConnectionCount, 1);
    EXPECT_EQ(app->hostList->icon(lineOf(itm)), app->iconConnected);
    // The picture starts black, not with whatever the memory held before: each pixel is
    // black or already the server's (the handshake's own request may have been answered).
    // A hidden connection has none: shown, the frame buffer is copied into it.
    uint8_t rgb[3];
    int width = 0, height = 0;
    EXPECT_FALSE(tnPicturePixel(itm, 0, 0, rgb));
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    ASSERT_TRUE(waitFor([&] { return tnPicturePixel(itm, 0, 0, rgb, &width, &height); }));
    long known = 0;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            uint8_t pattern[3];
            TNTestServer::patternPixel(x, y, pattern);
            // Tight's JPEG (quality 5) moves colours, most at the pattern's sharp edges.
            const auto near = [&] {
                return std::abs(rgb[0] - pattern[0]) <= 64 && std::abs(rgb[1] - pattern[1]) <= 64 &&
                       std::abs(rgb[2] - pattern[2]) <= 64;
            };
            known += tnPicturePixel(itm, x, y, rgb) && ((rgb[0] == 0 && rgb[1] == 0 && rgb[2] == 0) || near());
        }
    }
    EXPECT_EQ(known, long(width) * height);
    EXPECT_TRUE(waitFor([&] { return server->clientCount() == 1; }));
    const std::string log = logText();
    EXPECT_LT(log.find("Attempting to connect to 'office' - 127.0.0.1\n"),
              log.find("Connected to 'office' - 127.0.0.1\n"));
    EXPECT_NE(log.find("Connected to 'office' - 127.0.0.1\n"), std::string::npos);

    // A connected host is not connected a second time, and the connection stays as it is.
    VncObject* before = tnVncOf(itm);
    VncObject::createVNCObject(itm);
    EXPECT_TRUE(sawMessage("Tandrel - FLTK", "Error: Could not create VNC connection"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(tnVncOf(itm), before);
    EXPECT_TRUE(tnIsConnected(itm));
    EXPECT_EQ(engine.activeConnectionCount, 1);
    EXPECT_EQ(engine.pendingConnectionCount, 0);
}

struct AttemptCase {
    const char* name;
    bool runServer;
    TNTestServerOptions server;
    std::string vncPassword;
    std::string loginUser;
    std::string loginPassword;
    std::string address;        // "" = 127.0.0.1
    std::string port;           // "" = the server's (or a closed) port
    bool connects;
    std::string error;          // expected lastError when it fails
};

TNTestServerOptions tnPasswordServer()
{
    TNTestServerOptions options;
    options.password = "secret12";
    return options;
}

TNTestServerOptions tnPlainServer()
{
    TNTestServerOptions options;
    options.plainUser = "anna";
    options.plainPassword = "Plainpw1";
    return options;
}

TEST_F(ConnectionLifecycle, AuthenticationAndUnreachableHosts)
{
    const std::string badPassword = "Bad / missing password or Resource temporarily unavailable";
    const AttemptCase cases[] = {
        {"vnc password right", true, tnPasswordServer(), "secret12", "", "", "", "", true, ""},
        {"vnc password wrong", true, tnPasswordServer(), "wrong", "", "", "", "", false, badPassword},
        {"vnc password missing", true, tnPasswordServer(), "", "", "", "", "", false, badPassword},
        {"user and password right", true, tnPlainServer(), "", "anna", "Plainpw1", "", "", true, ""},
        {"user and password wrong", true, tnPlainServer(), "", "anna", "nope", "", "", false, badPassword},
        {"refused port", false, {}, "", "", "", "", "", false, "Unable to connect to VNC server"},
        // "ab:1" has 4 characters: no handshake is tried, the failure has no text.
        {"address of 6 characters or fewer", false, {}, "", "", "", "ab", "1", false, ""},
    };
    for (const AttemptCase& c : cases) {
        SCOPED_TRACE(c.name);
        int port = 0;
        if (c.runServer) {
            port = startServer(c.server)->port();
        } else {
            TNSilentServer closed;   // a port that was free a moment ago and is closed now
            port = closed.port;
        }
        HostItem* itm = addHost(c.name, port, c.vncPassword);
        itm->vncLoginUser = c.loginUser;
        itm->vncLoginPassword = c.loginPassword;
        if (!c.address.empty())
            itm->hostAddress = c.address;
        if (!c.port.empty())
            itm->vncPort = c.port;
        // Selected, so a failure's text shows in the quick-info error box at once.
        tnSelectHostLine(lineOf(itm));
        app->quickInfoLastError->value("an earlier error");

        VncObject::createVNCObject(itm);
        EXPECT_STREQ(app->quickInfoLastError->value(), "");
        EXPECT_EQ(tnStateOf(itm), TNConnectionState::Connecting);
        EXPECT_EQ(tnHostStatusImage(itm), app->iconConnecting);
        ASSERT_TRUE(waitFor([itm] { return tnHostStatusImage(itm) != app->iconConnecting; }, 10));
        EXPECT_EQ(tnIsConnected(itm), c.connects);
        EXPECT_NE(tnStateOf(itm), TNConnectionState::Connecting);
        EXPECT_EQ(engine.pendingConnectionCount, 0);
        if (c.connects) {
            EXPECT_EQ(tnHostStatusImage(itm), app->iconConnected);
            EXPECT_EQ(engine.activeConnectionCount, 1);
            tnDisconnect(itm);
        } else {
            EXPECT_EQ(tnStateOf(itm), TNConnectionState::Failed);
            EXPECT_TRUE(tnNeedsRelease(itm));
            EXPECT_EQ(tnLastErrorOf(itm), c.error);
            EXPECT_EQ(std::string(app->quickInfoLastError->value()), c.error);
            EXPECT_EQ(tnHostStatusImage(itm), c.error.empty() ? app->iconNoConnect : app->iconDisconnectedBigError);
            EXPECT_EQ(app->hostList->icon(lineOf(itm)), tnHostStatusImage(itm));
            EXPECT_EQ(tnVncOf(itm)->outcome == TNAttemptOutcome::NotTried, c.error.empty());
            EXPECT_EQ(logText().find("Connected to '" + std::string(c.name) + "'"), std::string::npos);
            if (!c.error.empty()) {
                EXPECT_NE(logText().find("[Error] '" + std::string(c.name) + "' - 127.0.0.1: "), std::string::npos);
            }
        }
        EXPECT_EQ(engine.activeConnectionCount, 0);
    }
}

TEST_F(ConnectionLifecycle, FailedAttemptIsReleasedLaterAndTheNextAttemptStartsClean)
{
    TNTestServer* server = startServer(tnPasswordServer());
    HostItem* itm = addHost("retry", server->port(), "wrong");
    VncObject::createVNCObject(itm);
    ASSERT_TRUE(waitFor([itm] { return tnHostStatusImage(itm) == app->iconDisconnectedBigError; }));
    EXPECT_EQ(tnStateOf(itm), TNConnectionState::Failed);
    EXPECT_TRUE(tnNeedsRelease(itm));

    // With no attempt pending the watcher leaves the list alone; the object waits.
    tnTestPump(1.3);
    EXPECT_NE(tnVncOf(itm), nullptr);
    EXPECT_EQ(tnStateOf(itm), TNConnectionState::Failed);
    // Another host's attempt makes the watcher's next pass release it.
    TNSilentServer silent;
    HostItem* waiting = addHost("waiting", silent.port);
    VncObject::createVNCObject(waiting);
    ASSERT_TRUE(waitFor([itm] { return tnVncOf(itm) == nullptr; }, 3));
    EXPECT_FALSE(tnNeedsRelease(itm));
    EXPECT_EQ(tnStateOf(itm), TNConnectionState::Failed) << "kept until the host's next attempt";

    // The next attempt starts from clean flags and succeeds as such.
    itm->vncPassword = "secret12";
    VncObject::createVNCObject(itm);
    EXPECT_NE(tnStateOf(itm), TNConnectionState::Failed);
    EXPECT_TRUE(tnLastErrorOf(itm).empty());
    ASSERT_TRUE(waitFor([itm] { return tnHostStatusImage(itm) != app->iconConnecting; }));
    EXPECT_TRUE(tnIsConnected(itm));
    EXPECT_EQ(tnHostStatusImage(itm), app->iconConnected);
    EXPECT_FALSE(tnNeedsRelease(itm));
    EXPECT_NE(logText().find("Connected to 'retry' - 127.0.0.1\n"), std::string::npos);
}

TEST_F(ConnectionLifecycle, HostStartedAgainRightAfterItsFailureKeepsTheNewConnection)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("again", server->port());
    // An SSH host without its key file fails at once, on the main thread.
    itm->hostType = 's';
    itm->sshKeyPrivate = dir + "/no-such-key";
    // A callback already due when the failure is handled starts the host again, now as a
    // plain VNC host, while the failed object still waits for its release.
    struct Restart {
        static void run(void* data)
        {
            auto* host = static_cast<HostItem*>(data);
            host->hostType = 'v';
            VncObject::createVNCObject(host);
        }
    };
    Fl::add_timeout(0.0, Restart::run, itm);
    VncObject::createVNCObject(itm);
    // Handling the failure (its icon refresh included) ran no other callback.
    ASSERT_EQ(itm->hostType, 's') << "the second attempt started inside the failure's handling";
    EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnectedBigError);
    EXPECT_TRUE(tnNeedsRelease(itm));

    ASSERT_TRUE(waitFor([itm] { return tnIsConnected(itm) && tnHostStatusImage(itm) == app->iconConnected; }));
    EXPECT_EQ(itm->hostType, 'v');
    // The new connection is not marked for release by the old attempt's failure.
    EXPECT_FALSE(tnNeedsRelease(itm));
    EXPECT_EQ(engine.pendingConnectionCount, 0);
    EXPECT_EQ(engine.activeConnectionCount, 1);
    tnClickHostLine(lineOf(itm), 1);
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(itm));
}

TEST_F(ConnectionLifecycle, EmptyAddressIsRefusedWithoutAnyChange)
{
    HostItem* itm = addHost("nowhere", 5999);
    itm->hostAddress = "";
    VncObject::createVNCObject(itm);
    EXPECT_TRUE(sawMessage("Tandrel - FLTK", "nowhere - Error: Host address is missing"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(tnVncOf(itm), nullptr);
    EXPECT_NE(tnStateOf(itm), TNConnectionState::Connecting);
    EXPECT_EQ(tnHostStatusImage(itm), nullptr);
    EXPECT_EQ(engine.pendingConnectionCount, 0);
    EXPECT_EQ(logText().find("Attempting to connect"), std::string::npos);
}

TEST_F(ConnectionLifecycle, ServerDroppingTheShownConnection)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("dropped", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    tnClickHostLine(lineOf(itm), 1);
    ASSERT_EQ(app->vncViewer->vnc, tnVncOf(itm));

    server->dropClients();
    ASSERT_TRUE(runMainLoopUntil([itm] { return !tnIsConnected(itm); }, 5));
    EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnectedError);
    EXPECT_NE(logText().find("Unexpectedly disconnected from 'dropped' - 127.0.0.1\n"), std::string::npos);
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
    EXPECT_TRUE(tnNeedsRelease(itm));
    EXPECT_EQ(engine.activeConnectionCount, 0);
}

// Every connection is read, shown or not: a hidden host whose server has gone turns to the
// error icon at once instead of staying green until it is selected.
TEST_F(ConnectionLifecycle, DroppedHiddenConnectionIsNoticedAtOnce)
{
    TNTestServer* server = startServer();
    HostItem* shown = addHost("shown", server->port());
    HostItem* hidden = addHost("hidden", server->port());
    ASSERT_TRUE(connectAndWait(shown));
    ASSERT_TRUE(connectAndWait(hidden));
    tnClickHostLine(lineOf(shown), 1);
    ASSERT_TRUE(waitFor([server] { return server->clientCount() == 2; }));

    server->dropClients();
    ASSERT_TRUE(runMainLoopUntil([=] { return !tnIsConnected(shown) && !tnIsConnected(hidden); }, 5));
    EXPECT_EQ(tnHostStatusImage(hidden), app->iconDisconnectedError);
    EXPECT_EQ(countOf(logText(), "Unexpectedly disconnected from 'hidden' - 127.0.0.1\n"), 1);
    EXPECT_EQ(countOf(logText(), "Unexpectedly disconnected from 'shown' - 127.0.0.1\n"), 1);
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
    EXPECT_EQ(engine.activeConnectionCount, 0);
}

TEST_F(ConnectionLifecycle, StalledServerEndsAfterTheReadTimeOut)
{
    const TNReadTimeOutFor timeOut(1);
    TNTestServerOptions options;
    options.stallAfterHandshake = true;
    TNTestServer* server = startServer(options);
    HostItem* itm = addHost("stalled", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    tnClickHostLine(lineOf(itm), 1);
    ASSERT_EQ(app->vncViewer->vnc, tnVncOf(itm));

    static int ticks = 0;
    struct Timer {
        static void tick(void*)
        {
            ticks++;
            Fl::repeat_timeout(0.05, tick);
        }
    };
    Fl::add_timeout(0.05, Timer::tick);
    // The read gives up after tnReadTimeoutSeconds; the program does not freeze for good.
    const bool ended = runMainLoopUntil([itm] { return !tnIsConnected(itm); }, tnReadTimeoutSeconds + 5);
    const int ticksAtEnd = ticks;
    EXPECT_TRUE(ended);
    EXPECT_NE(logText().find("Unexpectedly disconnected from 'stalled' - 127.0.0.1\n"), std::string::npos);
    EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnectedError);
    // And the program answers again: its timers run.
    EXPECT_TRUE(waitFor([&] { return ticks >= ticksAtEnd + 3; }, 2));
    Fl::remove_timeout(Timer::tick);
}

TEST_F(ConnectionLifecycle, ShutDownEndsConnectedAndConnectingHosts)
{
    TNTestServer* first = startServer();
    TNTestServer* second = startServer();
    TNSilentServer silent;
    HostItem* one = addHost("one", first->port());
    HostItem* two = addHost("two", second->port());
    HostItem* waiting = addHost("waiting", silent.port);
    ASSERT_TRUE(connectAndWait(one));
    ASSERT_TRUE(connectAndWait(two));
    VncObject::createVNCObject(waiting);
    tnTestPump(0.2);
    ASSERT_EQ(tnStateOf(waiting), TNConnectionState::Connecting);

    tnPrepareShutDown();
    const std::string log = logText();
    for (const char* name : {"one", "two", "waiting"}) {
        EXPECT_EQ(countOf(log, std::string("Automatically disconnecting.  Program is shutting down '") + name +
                                   "' - 127.0.0.1\n"),
                  1)
            << name;
    }
    EXPECT_LT(log.rfind("Automatically disconnecting"), log.find("--- Program shutting down ---"));
    for (HostItem* itm : {one, two, waiting}) {
        EXPECT_FALSE(tnIsConnected(itm));
        EXPECT_NE(tnStateOf(itm), TNConnectionState::Connecting);
        EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnected);
    }
    EXPECT_EQ(engine.activeConnectionCount, 0);

    // The waiting handshake ends later; its result is dropped, not shown.
    silent.close();
    ASSERT_TRUE(waitFor([waiting] { return !tnResultOwed(tnStateOf(waiting)); }));
    EXPECT_EQ(tnVncOf(waiting), nullptr);
    EXPECT_EQ(engine.pendingConnectionCount, 0);
    EXPECT_EQ(countOf(logText(), "Automatically disconnecting"), 3);
    engine.isShuttingDown = false;
}

TEST_F(ConnectionLifecycle, WatcherEndsAConnectedHostWhoseTunnelIsGone)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("tunnelled", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    // Connected as an SSH host whose tunnel command has ended (the watcher goes by the type
    // the attempt started with).
    itm->hostType = 's';
    tnVncOf(itm)->handshakeHost.hostType = 's';
    tnVncOf(itm)->sshReady = false;

    // The watcher looks at the list only while an attempt is pending.
    tnTestPump(1.3);
    EXPECT_TRUE(tnIsConnected(itm));

    TNSilentServer silent;
    HostItem* waiting = addHost("waiting", silent.port);
    VncObject::createVNCObject(waiting);
    ASSERT_TRUE(waitFor([itm] { return !tnIsConnected(itm); }, 3));
    EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnectedError);
    EXPECT_EQ(countOf(logText(), "Unexpectedly disconnected from 'tunnelled' - 127.0.0.1\n"), 1);
    // Released in the same pass.
    EXPECT_EQ(tnVncOf(itm), nullptr);
    EXPECT_TRUE(waitFor([server] { return server->clientCount() == 0; }));
    // The other attempt is still counted as pending, and only its worker as active.
    EXPECT_EQ(tnStateOf(waiting), TNConnectionState::Connecting);
    EXPECT_EQ(engine.pendingConnectionCount, 1);
    EXPECT_EQ(engine.activeConnectionCount, 1);
    itm->hostType = 'v';
}

TEST_F(ConnectionLifecycle, ReleasingAnObjectClosesItsConnection)
{
    TNTestServer* server = startServer();
    server->setCursor(8, 8, 2, 3);
    HostItem* itm = addHost("released", server->port());
    itm->showRemoteCursor = true;
    ASSERT_TRUE(connectAndWait(itm));
    tnClickHostLine(lineOf(itm), 1);
    // Frame buffer and cursor buffers get filled before the object goes (LeakSanitizer
    // checks that they are freed with it).
    ASSERT_TRUE(runMainLoopUntil([server] { return server->updateRequests() > 1; }, 5));
    runMainLoopUntil([] { return false; }, 0.5);

    tnClickHostLine(lineOf(itm), 3);
    EXPECT_TRUE(tnNeedsRelease(itm));
    tnReleaseEndedAttempt(itm);
    EXPECT_EQ(tnVncOf(itm), nullptr);
    EXPECT_FALSE(tnNeedsRelease(itm));
    EXPECT_TRUE(waitFor([server] { return server->clientCount() == 0; }));
}

} // namespace
