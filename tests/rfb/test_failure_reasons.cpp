// Servers that refuse, stay silent, break the protocol or announce screens nobody could
// hold: every failed attempt and every broken connection says why, memory stays bounded,
// and the other connections carry on.
#include "rfb_fixture.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Multiline_Output.H>

#include <fstream>

#include "support/rfb_peer.h"

namespace {

using namespace std::chrono_literals;

const char* const tnBadPassword = "Bad / missing password or Resource temporarily unavailable";

// Resident memory of this process in KiB (VmRSS).
long tnResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0)
            return atol(line.c_str() + 6);
    }
    return -1;
}

class FailureReasons : public TNConnectionTest {
protected:
    std::vector<std::unique_ptr<TNScriptedPeer>> peers;
    int savedConnectTimeout = 0;

    void SetUp() override
    {
        TNConnectionTest::SetUp();
        savedConnectTimeout = tnConnectTimeoutSeconds;
    }

    void TearDown() override
    {
        TNConnectionTest::TearDown();   // ends the connections while the peers still listen
        peers.clear();
        tnConnectTimeoutSeconds = savedConnectTimeout;
    }

    TNScriptedPeer* startPeer(const TNPeerScript& script)
    {
        peers.push_back(std::make_unique<TNScriptedPeer>(script));
        EXPECT_TRUE(peers.back()->listen());
        return peers.back().get();
    }

    // A connected host, not shown, to check that it stays untouched.
    HostItem* connectBystander()
    {
        TNTestServer* server = startServer();
        HostItem* itm = addHost("bystander", server->port());
        EXPECT_TRUE(connectAndWait(itm));
        return itm;
    }

    void expectBystanderUntouched(HostItem* bystander)
    {
        EXPECT_TRUE(tnIsConnected(bystander));
        EXPECT_EQ(tnHostStatusImage(bystander), app->iconConnected);
        EXPECT_EQ(tnLastErrorOf(bystander), "");
        tnClickHostLine(lineOf(bystander), 1);
        ASSERT_EQ(app->vncViewer->vnc, tnVncOf(bystander));
        EXPECT_EQ(tnVncOf(bystander)->remoteWidth, 64);
        EXPECT_EQ(tnVncOf(bystander)->remoteHeight, 48);
        runMainLoopUntil([] { return false; }, 0.3);
        EXPECT_TRUE(tnIsConnected(bystander));
    }
};

struct AttemptCase {
    const char* name;
    TNPeerScript script;   // no steps: the address that never answers
    std::string password;
    std::string error;     // "": the attempt connects
    bool exact = true;     // false: the error contains this text (the library's own words)
};

TEST_F(FailureReasons, EveryFailedAttemptSaysWhy)
{
    tnConnectTimeoutSeconds = 1;
    TNUnansweringAddress noAnswer;
    ASSERT_TRUE(noAnswer.ok());
    HostItem* bystander = connectBystander();
    const long residentBefore = tnResidentKiB();

    TNPeerScript refusal33;
    refusal33.send("RFB 003.003\n").expect(12).send(TNBytes().u32(0).u32(11).raw("Server busy")).close();
    const AttemptCase cases[] = {
        {"wrong password", TNPeerScript::handshake(64, 48, "locked", "secret"), "wrong", tnBadPassword},
        {"refused before authentication", TNPeerScript::refusal("Too many viewers"), "",
         "VNC connection failed: Too many viewers"},
        {"refused by a 3.3 server", refusal33, "", "VNC connection failed: Server busy"},
        {"no answer to the connect", TNPeerScript(), "", "Timed out connecting to VNC server"},
        {"silent server", TNPeerScript().hold(), "", "Timed out connecting to VNC server"},
        {"0x0 desktop", TNPeerScript::handshake(0, 0), "", "Remote screen is empty: 0x0"},
        {"65535x65535 desktop", TNPeerScript::handshake(65535, 65535), "", "Remote screen too large: 65535x65535"},
        {"one pixel too wide", TNPeerScript::handshake(16385, 8), "", "Remote screen too large: 16385x8"},
        {"one pixel too high", TNPeerScript::handshake(8, 16385), "", "Remote screen too large: 8x16385"},
        {"desktop name of 2 MiB", TNPeerScript::handshake(64, 48, std::string(2 << 20, 'n')), "", "desktop name",
         false},
        {"desktop name of 1 MiB", TNPeerScript::handshake(64, 48, std::string(1 << 20, 'n')), "", ""},
        {"not an RFB server", TNPeerScript().send("HTTP/1.1 400 Bad Request\r\n\r\n").hold(), "",
         "Not a valid VNC server", false},
        {"closed after the version", TNPeerScript().send("RFB 003.008\n").expect(12).close(), "", "closed", false},
    };
    for (const AttemptCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int port = c.script.steps.empty() ? noAnswer.port() : startPeer(c.script)->port();
        HostItem* itm = addHost(c.name, port, c.password);
        tnSelectHostLine(lineOf(itm));
        VncObject::createVNCObject(itm);
        ASSERT_TRUE(waitFor([itm] { return tnHostStatusImage(itm) != app->iconConnecting; }, tnReadTimeoutSeconds + 5));
        if (c.error.empty()) {
            EXPECT_TRUE(tnIsConnected(itm));
            EXPECT_EQ(tnLastErrorOf(itm), "");
            tnDisconnect(itm);
            continue;
        }
        EXPECT_FALSE(tnIsConnected(itm));
        EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnectedBigError);
        if (c.exact)
            EXPECT_EQ(tnLastErrorOf(itm), c.error);
        else
            EXPECT_NE(tnLastErrorOf(itm).find(c.error), std::string::npos) << tnLastErrorOf(itm);
        EXPECT_EQ(std::string(app->quickInfoLastError->value()), tnLastErrorOf(itm));
        EXPECT_NE(logText().find("[Error] '" + std::string(c.name) + "' - 127.0.0.1: " + tnLastErrorOf(itm)),
                  std::string::npos);
    }
    const long grown = tnResidentKiB() - residentBefore;
    EXPECT_LT(grown, 64 * 1024) << "resident memory grew by " << grown << " KiB";
    expectBystanderUntouched(bystander);
}

// The sizes the program accepts: each side at most 16384 pixels, at most 1 GiB in all.
TEST(ScreenSizeLimit, RefusesEmptyAndOversizedScreens)
{
    struct Case {
        int width, height, bytesPerPixel;
        std::string refusal;
    };
    const Case cases[] = {
        {1, 1, 4, ""},
        {16384, 16384, 4, ""},
        {16385, 1, 4, "Remote screen too large: 16385x1"},
        {1, 16385, 4, "Remote screen too large: 1x16385"},
        {65535, 65535, 4, "Remote screen too large: 65535x65535"},
        {16384, 16384, 8, "Remote screen too large: 16384x16384"},   // 2 GiB
        {16384, 8192, 8, ""},                                          // exactly 1 GiB
        {0, 0, 4, "Remote screen is empty: 0x0"},
        {0, 10, 4, "Remote screen is empty: 0x10"},
        {10, -1, 4, "Remote screen is empty: 10x-1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tnScreenSizeRefusal(c.width, c.height, c.bytesPerPixel), c.refusal) << c.width << "x" << c.height;
}

struct BreakCase {
    const char* name;
    TNBytes bytes;
    std::string error;
    bool exact = true;
};

// ExtendedDesktopSize: one screen of `width` x `height`.
TNBytes tnExtendedDesktopSize(int width, int height)
{
    TNBytes b = tnrfb::updateHeader(1).append(tnrfb::rectHeader(0, 0, width, height, tnrfb::encExtDesktopSize));
    b.u8(1).zeros(3).u32(1).u16(0).u16(0).u16(width).u16(height).u32(0);
    return b;
}

TEST_F(FailureReasons, ShownConnectionEndsWithTheReasonWhenTheServerBreaksIt)
{
    HostItem* bystander = connectBystander();
    const long residentBefore = tnResidentKiB();
    const BreakCase cases[] = {
        {"resize to 65535x65535", tnrfb::desktopSize(65535, 65535), "Remote screen too large: 65535x65535"},
        {"resize to 0x0", tnrfb::desktopSize(0, 0), "Remote screen is empty: 0x0"},
        {"extended resize to 20000x100", tnExtendedDesktopSize(20000, 100), "Remote screen too large: 20000x100"},
        // The library reads 256 bytes after an unknown type before it gives up.
        {"unknown message type", TNBytes().u8(200).zeros(300), "Unknown message type 200", false},
    };
    for (const BreakCase& c : cases) {
        SCOPED_TRACE(c.name);
        TNScriptedPeer* peer = startPeer(TNPeerScript::handshake(64, 48, "breaking"));
        HostItem* itm = addHost(c.name, peer->port());
        ASSERT_TRUE(connectAndWait(itm));
        tnClickHostLine(lineOf(itm), 1);
        ASSERT_EQ(app->vncViewer->vnc, tnVncOf(itm));
        ASSERT_TRUE(peer->waitForMessage(3, 1, 5s));
        peer->push(TNPeerScript().send(c.bytes));
        ASSERT_TRUE(runMainLoopUntil([itm] { return !tnIsConnected(itm); }, 5));
        if (c.exact)
            EXPECT_EQ(tnLastErrorOf(itm), c.error);
        else
            EXPECT_NE(tnLastErrorOf(itm).find(c.error), std::string::npos) << tnLastErrorOf(itm);
        EXPECT_EQ(std::string(app->quickInfoLastError->value()), tnLastErrorOf(itm));
        const std::string log = logText();
        EXPECT_NE(log.find("[Error] '" + std::string(c.name) + "' - 127.0.0.1: " + tnLastErrorOf(itm)), std::string::npos);
        EXPECT_NE(log.find("Unexpectedly disconnected from '" + std::string(c.name) + "'"), std::string::npos);
        EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnectedError);
        EXPECT_EQ(app->vncViewer->vnc, nullptr);
        // The refused size is not left in the client for anything to draw from (read once
        // its reader has ended).
        EXPECT_TRUE(waitFor([itm] { return !tnVncOf(itm) || !tnVncOf(itm)->workerAlive; }));
        rfbClient* client = tnVncOf(itm) ? tnVncOf(itm)->vncClient : nullptr;
        if (client && c.exact) {
            EXPECT_EQ(client->frameBuffer, nullptr);
            EXPECT_EQ(client->width, 0);
            EXPECT_EQ(client->height, 0);
        }
        app->redraw();
        Fl::flush();
    }
    const long grown = tnResidentKiB() - residentBefore;
    EXPECT_LT(grown, 64 * 1024) << "resident memory grew by " << grown << " KiB";
    expectBystanderUntouched(bystander);
}

} // namespace
