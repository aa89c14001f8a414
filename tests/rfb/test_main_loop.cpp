// The main loop and the shown connection's socket: what the server sends to the shown
// connection is handled, also what the library has already read ahead.
#include "rfb_fixture.h"

namespace {

int cutTextsSeen = 0;
int updatesSeen = 0;

void tnCountCutText(rfbClient*, const char*, int)
{
    cutTextsSeen++;
}

void tnCountUpdate(rfbClient*)
{
    updatesSeen++;
}

class MainLoop : public TNConnectionTest {
protected:
    // A connection that is shown, with its start-up traffic handled and the hooks counting.
    HostItem* showCountingConnection(TNTestServer* server)
    {
        HostItem* itm = addHost("shown", server->port());
        EXPECT_TRUE(connectAndWait(itm));
        tnClickHostLine(lineOf(itm), 1);
        EXPECT_EQ(app->vncViewer->vnc, itm->vnc);
        runMainLoopUntil([] { return false; }, 0.5);
        EXPECT_EQ(itm->vnc->vncClient->buffered, 0u) << "the loop left a message in the library's buffer";
        itm->vnc->vncClient->GotXCutText = tnCountCutText;
        itm->vnc->vncClient->FinishedFrameBufferUpdate = tnCountUpdate;
        cutTextsSeen = 0;
        updatesSeen = 0;
        return itm;
    }
};

TEST_F(MainLoop, ShownConnectionIsServedFromItsSocket)
{
    TNTestServer* server = startServer();
    HostItem* itm = showCountingConnection(server);

    // Plain event waits serve it: the socket is registered with the toolkit.
    server->sendCutText("one");
    EXPECT_TRUE(waitFor([] { return cutTextsSeen == 1; }, 3));

    // Hidden, it is not read.
    tnClickHostLine(1, 1);
    ASSERT_EQ(app->vncViewer->vnc, nullptr);
    server->sendCutText("two");
    tnTestPump(0.3);
    EXPECT_EQ(cutTextsSeen, 1);
    // Shown again, what waited arrives.
    tnClickHostLine(lineOf(itm), 1);
    EXPECT_TRUE(waitFor([] { return cutTextsSeen == 2; }, 3));
}

TEST_F(MainLoop, MessageAlreadyReadAheadIsHandled)
{
    TNTestServer* server = startServer();
    showCountingConnection(server);

    // Both messages are in the socket before the program reads: one read takes both, and
    // the second then waits in the library's buffer with nothing left on the socket.
    server->sendCutTextWithUpdate("burst");
    usleep(100000);
    EXPECT_TRUE(runMainLoopUntil([] { return cutTextsSeen == 1 && updatesSeen == 1; }, 2))
        << cutTextsSeen << " cut texts, " << updatesSeen << " updates";
}

} // namespace
