// Every connection is read on a thread of its own: no server, however it misbehaves, holds
// up the window or the other connections.
#include <algorithm>
#include <chrono>

#include "support/rfb_peer.h"
#include "viewer_fixture.h"

namespace {

using namespace std::chrono_literals;

class ReaderThreads : public ViewerTest {
protected:
    // The longest gap between two ticks of a 20-ms timer while `seconds` of the program's
    // main loop run: how long the window went without answering.
    double longestStall(const std::function<bool()>& done, double seconds)
    {
        static std::chrono::steady_clock::time_point last;
        static double longest;
        last = std::chrono::steady_clock::now();
        longest = 0;
        struct Tick {
            static void run(void*)
            {
                const auto now = std::chrono::steady_clock::now();
                longest = std::max(longest, std::chrono::duration<double>(now - last).count());
                last = now;
                Fl::repeat_timeout(0.02, run);
            }
        };
        Fl::add_timeout(0.02, Tick::run);
        runMainLoopUntil(done, seconds);
        Fl::remove_timeout(Tick::run);
        return longest;
    }
};

// A server that announces an update of 65535 rectangles and sends one small rectangle a
// second, and one that sends an update's header and then nothing: the window goes on
// answering and the shown connection goes on updating; the dripping one stays (its data
// keeps coming), the stalled one ends after the read time-out.
TEST_F(ReaderThreads, DrippingAndStalledServersHoldNothingUpReadTimeOut)
{
    const TNReadTimeOutFor timeOut(2);
    std::string drops;
    for (int i = 0; i < 8; i++)
        drops += tnrfb::rectHeader(i, 0, 1, 1, tnrfb::encRaw).raw(std::string("\x10\x20\x30\x00", 4)).data;
    TNScriptedPeer dripping(
        TNPeerScript::handshake(640, 480).expectMessage(3).send(tnrfb::updateHeader(65535)).drip(drops, 62ms).hold());
    TNScriptedPeer stalled(TNPeerScript::handshake(640, 480).expectMessage(3).send(tnrfb::updateHeader(2)).hold());
    ASSERT_TRUE(dripping.listen());
    ASSERT_TRUE(stalled.listen());
    HostItem* drip = addHost("dripping", dripping.port());
    HostItem* stall = addHost("stalled", stalled.port());
    ASSERT_TRUE(connectAndWait(drip));
    ASSERT_TRUE(connectAndWait(stall));

    TNTestServer* server = startServer();
    HostItem* shown = showHost(server, 's');
    server->fill(0, 200, 0);
    const double stall1 = longestStall([&] { return framePixelIs(shown, 5, 5, {0, 200, 0}); }, 10);
    EXPECT_TRUE(framePixelIs(shown, 5, 5, {0, 200, 0}));

    // The stalled one ends after about 2 s without a byte; the dripping one stays.
    const double stall2 = longestStall([&] { return !tnIsConnected(stall); }, 15);
    EXPECT_FALSE(tnIsConnected(stall));
    EXPECT_EQ(tnHostStatusImage(stall), app->iconDisconnectedError);
    EXPECT_TRUE(tnIsConnected(drip)) << tnLastErrorOf(drip) << "\n" << logText();
    server->fill(0, 0, 200);
    const double stall3 = longestStall([&] { return framePixelIs(shown, 5, 5, {0, 0, 200}); }, 10);
    EXPECT_TRUE(framePixelIs(shown, 5, 5, {0, 0, 200}));
    EXPECT_LT(std::max({stall1, stall2, stall3}), 1.0) << stall1 << " " << stall2 << " " << stall3;
    EXPECT_TRUE(tnIsConnected(shown));
}

// A rectangle larger than the library's read buffer whose bytes come in pieces, then a
// one-pixel update right behind it: the large read gathers its pieces, and the small
// message after it is read all the same (a wait still set to want many bytes would never
// see it). Grey pixels: the same in any byte order.
TEST_F(ReaderThreads, LargeRectangleInPiecesThenASmallUpdate)
{
    const int width = 320, height = 200, bigWidth = 256;
    const std::string big = tnrfb::rawRect(0, 0, bigWidth, height, std::string("\x80\x80\x80\x00", 4)).data;
    TNPeerScript script = TNPeerScript::handshake(width, height).expectMessage(3);
    const size_t piece = big.size() / 8 + 1;
    for (size_t at = 0; at < big.size(); at += piece)
        script.send(big.substr(at, piece)).pause(30ms);
    script.send(tnrfb::rawRect(300, 10, 1, 1, std::string("\x30\x30\x30\x00", 4))).hold();
    TNScriptedPeer peer(script);
    ASSERT_TRUE(peer.listen());
    HostItem* itm = addHost("pieces", peer.port());
    ASSERT_TRUE(connectAndWait(itm));
    EXPECT_TRUE(runMainLoopUntil([&] { return tnVncOf(itm)->updatesFinished >= 2; }, 10));
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    const auto bothThere = [&] {
        return framePixelIs(itm, bigWidth - 1, height - 1, {0x80, 0x80, 0x80}) &&
               framePixelIs(itm, 300, 10, {0x30, 0x30, 0x30});
    };
    EXPECT_TRUE(runMainLoopUntil(bothThere, 10))
        << describePixel(itm, bigWidth - 1, height - 1) << " / " << describePixel(itm, 300, 10);
    EXPECT_TRUE(tnIsConnected(itm));
}

// A still screen sends nothing at all between messages: that is no reason to end.
TEST_F(ReaderThreads, IdleConnectionOutlivesTheReadTimeOut)
{
    const TNReadTimeOutFor timeOut(1);
    TNTestServer* server = startServer();
    HostItem* itm = showHost(server, 's');
    runMainLoopUntil([] { return false; }, 3);
    EXPECT_TRUE(tnIsConnected(itm));
    server->fill(10, 20, 30);
    EXPECT_TRUE(runMainLoopUntil([&] { return framePixelIs(itm, 1, 1, {10, 20, 30}); }, 5));
}

// Desktop sizes that change one after the other while the window draws: the picture
// follows each (no use after free under ASan, no race under TSan) and ends at the last.
TEST_F(ReaderThreads, DesktopResizesInQuickSuccessionWhileDrawing)
{
    TNTestServer* server = startServer();
    HostItem* itm = showHost(server, 'z');
    const int sizes[][2] = {{96, 24}, {640, 480}, {32, 32}, {300, 200}, {1024, 16}, {80, 60}};
    for (int round = 0; round < 3; round++) {
        for (const auto& size : sizes) {
            server->resize(size[0], size[1]);
            server->fill(static_cast<uint8_t>(size[0] & 0xFF), 0, 0);
            runMainLoopUntil([] { return false; }, 0.05);
        }
    }
    server->fill(1, 2, 3);
    EXPECT_TRUE(runMainLoopUntil([&] { return tnVncOf(itm)->remoteWidth == 80 && framePixelIs(itm, 79, 59, {1, 2, 3}); },
                                 10))
        << describePixel(itm, 79, 59);
    EXPECT_TRUE(tnIsConnected(itm));
}

} // namespace
