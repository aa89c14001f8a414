// Scan mode against real test servers: the order it shows the list's connected hosts in,
// the full update and pointer nudge of every step, and each way it stops.
#include "viewer_fixture.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Image.H>

#include "config/config.h"
#include "gui/pixmaps/list_buttons.h"
#include "gui/scan.h"

namespace {

class Scan : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        // Without the blank host that start-up put into the empty list.
        while (app->hostList->size() > 0)
            tnRemoveHostLine(1);
        // Steps run when the test says so, unless a test shortens this.
        appOptions.scanTimeout = 600;
    }

    // A connected host on a server large enough for the whole pointer nudge.
    std::pair<HostItem*, TNTestServer*> connectedHost(const std::string& name)
    {
        TNTestServer* server = startServerOfSize(200, 150);
        HostItem* itm = addHost(name, server->port());
        EXPECT_TRUE(connectAndWait(itm));
        return {itm, server};
    }

    static void pressScanButton() { tnHandleHostListButtons(app->btnScan, nullptr); }

    static bool buttonShows(const char* const* xpm)
    {
        const Fl_Image* image = app->btnScan->image();
        return image && image->data() && strcmp(image->data()[0], xpm[0]) == 0 &&
               strcmp(image->data()[image->count() - 1], xpm[image->count() - 1]) == 0;
    }

    static std::string title() { return app->label() ? app->label() : ""; }

    void expectScanning()
    {
        EXPECT_TRUE(app->isScanning);
        EXPECT_EQ(title(), "Tandrel [Scanning]");
        EXPECT_TRUE(buttonShows(pmListScanScanning));
        EXPECT_TRUE(Fl::has_timeout(tnScanTimer)) << "no next step armed";
    }

    void expectStopped()
    {
        EXPECT_FALSE(app->isScanning);
        EXPECT_EQ(title(), "Tandrel");
        EXPECT_TRUE(buttonShows(pmListScan));
        EXPECT_FALSE(Fl::has_timeout(tnScanTimer));
    }

    // The host on screen now and the line selected for it.
    static void expectShown(HostItem* itm)
    {
        ASSERT_NE(tnVncOf(itm), nullptr);
        EXPECT_EQ(app->vncViewer->vnc, tnVncOf(itm));
        EXPECT_EQ(app->hostList->value(), tnItemNumFromItm(itm));
        EXPECT_STREQ(app->quickInfoName->label(), itm->name.c_str());
    }

    // Showing a host asked its server for the whole screen and moved its pointer to the
    // corner, to (100, 100) and back, without buttons.
    void expectFullUpdateAndNudge(TNTestServer* server)
    {
        EXPECT_TRUE(waitFor([server] { return server->fullUpdateRequests() >= 1 && server->pointerEvents().size() >= 3; }));
        tnTestPump(0.1);
        EXPECT_EQ(server->fullUpdateRequests(), 1);
        std::vector<std::vector<int>> seen;
        for (const TNPointerEvent& e : server->pointerEvents())
            seen.push_back({e.x, e.y, e.mask});
        EXPECT_EQ(seen, (std::vector<std::vector<int>>{{0, 0, 0}, {100, 100, 0}, {0, 0, 0}}));
        server->clearRecords();
    }

    // Forgets what the servers received so far, once the requests of connecting have
    // arrived.
    void clearAll()
    {
        tnTestPump(0.3);
        for (auto& server : servers)
            server->clearRecords();
    }
};

TEST_F(Scan, ShowsConnectedLinesInListOrderSkippingSeparatorsAndOthers)
{
    // 1 not connected, 2 connected, 3 a group separator, 4 not connected, 5 connected;
    // line 3 selected when the scan starts: 5, 2, 5, 2.
    TNSilentServer silent;
    addHost("idle one", silent.port);
    auto [second, secondServer] = connectedHost("second");
    tnAddSeparatorLine(tnSeparatorLater);
    HostItem* connecting = addHost("still connecting", silent.port);
    VncObject::createVNCObject(connecting);
    ASSERT_EQ(tnStateOf(connecting), TNConnectionState::Connecting);
    auto [fifth, fifthServer] = connectedHost("fifth");
    ASSERT_EQ(tnItemNumFromItm(fifth), 5);
    tnHideShownConnection(*app->vncViewer);
    clearAll();

    tnSelectHostLine(3);
    pressScanButton();
    expectScanning();
    expectShown(fifth);
    expectFullUpdateAndNudge(fifthServer);

    for (auto [itm, server] : {std::pair{second, secondServer}, std::pair{fifth, fifthServer},
                               std::pair{second, secondServer}}) {
        SCOPED_TRACE(itm->name);
        tnScanTimer(nullptr);
        expectScanning();
        expectShown(itm);
        expectFullUpdateAndNudge(server);
    }

    // The timer steps on by itself every scanTimeout seconds.
    appOptions.scanTimeout = 1;
    tnScanTimer(nullptr);
    expectShown(fifth);
    EXPECT_TRUE(waitFor([second = second] { return app->vncViewer->vnc == tnVncOf(second); }, 3.0));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Scan, SingleConnectedHostIsShownAgainAtEveryStep)
{
    auto [itm, server] = connectedHost("only");
    tnSelectHostLine(0);
    clearAll();
    pressScanButton();
    for (int step = 0; step < 3; step++) {
        SCOPED_TRACE(step);
        if (step > 0)
            tnScanTimer(nullptr);
        expectScanning();
        expectShown(itm);
        expectFullUpdateAndNudge(server);
    }
}

TEST_F(Scan, ButtonStopsTheScanAtOnce)
{
    HostItem* itm = connectedHost("only").first;
    pressScanButton();
    expectScanning();
    pressScanButton();
    expectStopped();
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(itm)) << "the host last shown stays on screen";
    EXPECT_TRUE(messages.empty());
}

TEST_F(Scan, ClickInTheViewerEndsTheScanAtTheNextStepAndTheWheelDoesNot)
{
    connectedHost("only");
    pressScanButton();
    const int x = app->vncViewer->x() + 5, y = app->vncViewer->y() + 5;

    move(x, y);
    wheel(x, y, 1);
    EXPECT_TRUE(app->isScanning);
    tnScanTimer(nullptr);
    expectScanning();

    click(x, y, 1);
    EXPECT_FALSE(app->isScanning);
    tnScanTimer(nullptr);
    expectStopped();
    EXPECT_TRUE(messages.empty()) << "a host is still connected";

    // Pressed after the click, before the step: the button stops what it shows instead
    // of starting a new scan.
    pressScanButton();
    click(x, y, 1);
    ASSERT_FALSE(app->isScanning);
    ASSERT_TRUE(Fl::has_timeout(tnScanTimer));
    pressScanButton();
    expectStopped();
    EXPECT_TRUE(messages.empty());
}

TEST_F(Scan, LastHostDisconnectingStopsTheScanWithTheMessage)
{
    HostItem* itm = connectedHost("only").first;
    pressScanButton();
    expectScanning();
    // Right-clicking the line disconnects the host.
    tnClickHostLine(tnItemNumFromItm(itm), 3);
    ASSERT_FALSE(tnIsConnected(itm));
    tnScanTimer(nullptr);
    expectStopped();
    const std::vector<std::pair<std::string, std::string>> message{
        {"Tandrel - Scan mode", "No connected viewers. Scanning is now stopped"}};
    EXPECT_EQ(messages, message);

    // Started with nothing connected, the first step stops again at once.
    messages.clear();
    pressScanButton();
    expectStopped();
    EXPECT_EQ(messages, message);

    // A step due while the program closes (its connections ended) shows no message.
    messages.clear();
    HostItem* other = connectedHost("other").first;
    pressScanButton();
    expectScanning();
    engine.isShuttingDown = true;
    tnDisconnect(other);
    tnScanTimer(nullptr);
    engine.isShuttingDown = false;
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(Fl::has_timeout(tnScanTimer));
}

} // namespace
