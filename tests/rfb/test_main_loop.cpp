// Every connection is read on its own thread: what a server sends reaches the window's
// thread whether its connection is shown or hidden, also what the library has read ahead.
#include "connection/front_end.h"
#include "gui/front_end.h"
#include "gui/main_loop.h"
#include "rfb_fixture.h"

namespace {

// The program's front end, counting the updates and cut texts the readers report.
class CountingFrontEnd : public TNFrontEnd {
public:
    int updates = 0;
    int cutTexts = 0;
    std::string lastCutText;
    TNFrontEnd& real = tnGuiFrontEnd();

    void reportError(const std::string& text, const std::string& title) override { real.reportError(text, title); }
    void tell(const std::string& text, const std::string& title) override { real.tell(text, title); }
    void wake() override { real.wake(); }
    void connectionReleased(const VncObject* vnc) override { real.connectionReleased(vnc); }
    void addListeningLine(std::shared_ptr<HostItem> itm) override { real.addListeningLine(std::move(itm)); }
    void removeLine(HostItem* itm) override { real.removeLine(itm); }
    void hostIconChanged(HostItem* itm, TNHostIcon icon) override { real.hostIconChanged(itm, icon); }
    void hostNameChanged(HostItem* itm) override { real.hostNameChanged(itm); }
    void hostConnected(HostItem* itm) override { real.hostConnected(itm); }
    void lastErrorChanged(HostItem* itm) override { real.lastErrorChanged(itm); }
    void ask(HostItem* itm, std::shared_ptr<TNUserQuestion> question) override { real.ask(itm, question); }
    VncObject* shownConnection() override { return real.shownConnection(); }
    void showConnection(VncObject* vnc) override { real.showConnection(vnc); }
    void hideShownConnection() override { real.hideShownConnection(); }
    void connectionEnding(VncObject* vnc) override { real.connectionEnding(vnc); }
    void frameUpdated(VncObject* vnc) override
    {
        updates++;
        real.frameUpdated(vnc);
    }
    void desktopResized(VncObject* vnc) override { real.desktopResized(vnc); }
    void cursorShapeChanged(VncObject* vnc, const TNCursorShape& shape) override { real.cursorShapeChanged(vnc, shape); }
    void cutTextReceived(VncObject* vnc, const char* text, int length, bool utf8) override
    {
        cutTexts++;
        lastCutText.assign(text, static_cast<size_t>(length));
        real.cutTextReceived(vnc, text, length, utf8);
    }
};

class MainLoop : public TNConnectionTest {
protected:
    CountingFrontEnd counting;

    void TearDown() override
    {
        tnSetFrontEnd(&tnGuiFrontEnd());
        TNConnectionTest::TearDown();
    }

    // A connection that is shown, with its start-up traffic handled and the reports counted.
    HostItem* showCountingConnection(TNTestServer* server)
    {
        HostItem* itm = addHost("shown", server->port());
        EXPECT_TRUE(connectAndWait(itm));
        tnClickHostLine(lineOf(itm), 1);
        EXPECT_EQ(app->vncViewer->vnc, tnVncOf(itm));
        runMainLoopUntil([] { return false; }, 0.5);
        tnSetFrontEnd(&counting);
        return itm;
    }
};

TEST_F(MainLoop, ShownAndHiddenConnectionsAreRead)
{
    TNTestServer* server = startServer();
    HostItem* itm = showCountingConnection(server);

    server->sendCutText("one");
    EXPECT_TRUE(runMainLoopUntil([this] { return counting.lastCutText == "one"; }, 3));

    // Hidden, it is still read: its server's clipboard arrives all the same.
    tnClickHostLine(1, 1);
    ASSERT_EQ(app->vncViewer->vnc, nullptr);
    server->sendCutText("two");
    EXPECT_TRUE(runMainLoopUntil([this] { return counting.lastCutText == "two"; }, 3));
    EXPECT_EQ(tnVncOf(itm)->lastCutText, "two");
}

TEST_F(MainLoop, MessageAlreadyReadAheadIsHandled)
{
    TNTestServer* server = startServer();
    showCountingConnection(server);

    // Both messages are in the socket before the program reads: one read takes both, and
    // the second then waits in the library's buffer with nothing left on the socket.
    server->sendCutTextWithUpdate("burst");
    EXPECT_TRUE(runMainLoopUntil([this] { return counting.cutTexts == 1 && counting.updates >= 1; }, 2))
        << counting.cutTexts << " cut texts, " << counting.updates << " updates";
}

// The loop waits without a time-out: a shut-down asked for by a timer (which the toolkit
// runs just before it waits) still ends it at once, not when something else happens to
// wake it (here only a far-off timer, which bounds the test should the loop sleep through).
TEST_F(MainLoop, ShutDownAskedForByATimerEndsTheWait)
{
    struct Timers {
        static void askToEnd(void*) { engine.isShuttingDown = true; }
        static void farOff(void*) {}
    };
    const bool watching = tnConnectionWatcherRuns();
    tnStopConnectionWatcher();
    // Whatever the start-up left for the window is handled first.
    waitFor([] { return false; }, 0.3);
    Fl::add_timeout(0.05, Timers::askToEnd);
    Fl::add_timeout(20.0, Timers::farOff);
    const auto start = std::chrono::steady_clock::now();
    tnRunMainLoop();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    engine.isShuttingDown = false;
    Fl::remove_timeout(Timers::farOff);
    if (watching)
        tnStartConnectionWatcher();
    EXPECT_LT(seconds, 10.0);
}

} // namespace
