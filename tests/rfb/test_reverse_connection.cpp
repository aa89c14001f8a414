// Listening lines and reverse connections on port 5500 (cases named *Port5500* take turns on it).
// The fixture comes first: the X11 headers define None, a name gtest uses.
#include "rfb_fixture.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/x.H>

#include <fstream>
#include <set>

#include "core/display_text.h"
#include "core/tcp_table.h"
#include "support/rfb_peer.h"

namespace {

class ReverseConnectionOnPort5500 : public TNConnectionTest {
protected:
    void SetUp() override
    {
        TNConnectionTest::SetUp();
        const int probe = tnTestBindPort(tnListenPort);
        if (probe < 0)
            GTEST_SKIP() << "port " << tnListenPort << " is in use on this machine";
        close(probe);
    }

    static HostItem* lastItem() { return tnItemFromLine(app->hostList->size()); }

    // The listener takes the port on its worker; a server that connects too early is refused.
    bool reverseConnect(TNTestServer* server)
    {
        return waitFor([server] { return server->reverseConnect("127.0.0.1", tnListenPort); });
    }
};

TEST_F(ReverseConnectionOnPort5500, ServerConnectingToAListeningLine)
{
    for (const bool showNotice : {true, false}) {
        SCOPED_TRACE(showNotice ? "with notice" : "without notice");
        messages.clear();
        appOptions.showReverseConnect = showNotice;
        const int linesBefore = app->hostList->size();
        TNTestServerOptions options;
        options.desktopName = showNotice ? "far-away desk" : "other desk";
        TNTestServer* server = startServer(options);

        tnHandleHostListButtons(app->btnListen, nullptr);
        ASSERT_EQ(app->hostList->size(), linesBefore + 1);
        HostItem* listener = lastItem();
        ASSERT_TRUE(listener->isListener);
        EXPECT_STREQ(app->hostList->text(app->hostList->size()), "Listening");
        EXPECT_EQ(tnStateOf(listener), TNConnectionState::Connecting);

        // One listening line at a time.
        tnHandleHostListButtons(app->btnListen, nullptr);
        EXPECT_TRUE(sawMessage("Tandrel", "Only one active listening viewer is allowed"));
        EXPECT_EQ(app->hostList->size(), linesBefore + 1);

        ASSERT_TRUE(reverseConnect(server));
        ASSERT_TRUE(waitFor([listener] { return tnIsConnected(listener); }));
        const int line = lineOf(listener);
        EXPECT_EQ(listener->name, "Listening - " + options.desktopName);
        EXPECT_STREQ(app->hostList->text(line), listener->name.c_str());
        EXPECT_EQ(tnHostStatusImage(listener), app->iconConnected);
        EXPECT_EQ(countOf(logText(), "Connected to 'Listening' - \n"), showNotice ? 1 : 2);
        // A new listening line follows, already waiting.
        ASSERT_EQ(app->hostList->size(), line + 1);
        HostItem* next = lastItem();
        EXPECT_STREQ(app->hostList->text(line + 1), "Listening");
        EXPECT_TRUE(next->isListener && (tnStateOf(next) == TNConnectionState::Connecting));
        EXPECT_EQ(sawMessage("Tandrel",
                             "A remote VNC host has just reverse-connected\n\nClick the 'Listen' item(s) in the host "
                             "list to view"),
                  showNotice);
        EXPECT_EQ(engine.pendingConnectionCount, 1) << "the new listener waits";

        // Selecting the line shows the reverse connection.
        tnClickHostLine(line, 1);
        EXPECT_EQ(app->vncViewer->vnc, tnVncOf(listener));

        // "Disconnect" in the line's menu ends the reverse connection and removes the line;
        // Delete removes the waiting one. Both objects go, and the next round listens again.
        tnModalHooks().menu = [](const Fl_Menu_Item* items) -> const Fl_Menu_Item* {
            for (const Fl_Menu_Item* item = items; item->text; ++item) {
                if (std::string(item->text) == "Disconnect")
                    return item;
            }
            return nullptr;
        };
        tnClickHostLine(line, 3);
        EXPECT_EQ(lineOf(listener), 0);
        EXPECT_EQ(countOf(logText(), "Manually disconnected from '" + listener->name + "' - \n"), 1);
        tnSelectHostLine(lineOf(next));
        tnHandleHostListButtons(app->btnDelete, nullptr);
        EXPECT_EQ(lineOf(next), 0);
        ASSERT_TRUE(waitFor([&] { return tnVncOf(listener) == nullptr && tnVncOf(next) == nullptr; }, 3));
    }
}

TEST_F(ReverseConnectionOnPort5500, HugeDesktopNameIsDrawnCappedAndKeptWhole)
{
    using namespace std::chrono_literals;
    // Just under the library's own 1 MiB limit: a leading "@", then characters of two, three
    // and four bytes around where the drawn text is cut, then plain letters.
    std::vector<std::string> chars = {"@"};
    for (int i = 0; i < 100; i++) {
        for (const char* c : {"\xD0\x96", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"})   // Ж € 😀
            chars.push_back(c);
    }
    std::string desktop;
    for (const std::string& c : chars)
        desktop += c;
    desktop.append(1000000 - desktop.size(), 'n');
    // The first `count` characters of the name, as they are.
    auto firstChars = [&chars](size_t count) {
        std::string text;
        for (size_t i = 0; i < count; i++)
            text += chars[i];
        return text;
    };
    const std::string prefix = "Listening - ";
    const size_t cut = tnDisplayTextMaxChars - prefix.size();
    const std::string ellipsis = "\xE2\x80\xA6";

    tnHandleHostListButtons(app->btnListen, nullptr);
    HostItem* listener = lastItem();
    ASSERT_TRUE(listener->isListener);
    TNScriptedPeer peer(TNPeerScript::handshake(64, 48, desktop));
    ASSERT_TRUE(waitFor([&peer] { return peer.connectTo("127.0.0.1", tnListenPort); }));
    ASSERT_TRUE(waitFor([listener] { return tnIsConnected(listener); }));

    // The stored name is whole; the line shows its first characters only.
    EXPECT_TRUE(listener->name == prefix + desktop) << "a stored name of " << listener->name.size() << " bytes";
    const int line = lineOf(listener);
    EXPECT_EQ(std::string(app->hostList->text(line)), prefix + firstChars(cut) + ellipsis);
    // Drawn for real: a request too large for the X server would end this process here.
    app->redraw();
    tnTestPump(0.2);
    Fl::flush();
    XSync(fl_display, False);

    // The quick-info name shows the "@" as itself, cut the same way.
    tnClickHostLine(line, 1);
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(listener));
    EXPECT_EQ(std::string(app->quickInfoName->label()), prefix + "@@" + firstChars(cut).substr(1) + ellipsis);
    tnTestPump(0.2);
    Fl::flush();
    XSync(fl_display, False);

    // The program carries on: the next listening line takes another server.
    HostItem* next = lastItem();
    ASSERT_NE(next, listener);
    TNScriptedPeer other(TNPeerScript::handshake(64, 48, "short desk"));
    ASSERT_TRUE(waitFor([&other] { return other.connectTo("127.0.0.1", tnListenPort); }));
    ASSERT_TRUE(waitFor([next] { return tnIsConnected(next); }));
    EXPECT_STREQ(app->hostList->text(lineOf(next)), "Listening - short desk");
    EXPECT_TRUE(tnIsConnected(listener));

    for (HostItem* itm : {listener, next}) {
        tnDisconnect(itm);
    }
    EXPECT_TRUE(waitFor([&] { return peer.waitForClose(0s) && other.waitForClose(0s); }));
}

TEST_F(ReverseConnectionOnPort5500, FailedReverseHandshakeReplacesTheListeningLine)
{
    // A peer that connects to the listening port and hangs up without a word.
    auto hangUp = [this] {
        return waitFor([] {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(tnListenPort);
            const bool connected = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
            if (fd >= 0)
                close(fd);
            return connected;
        });
    };
    const int linesBefore = app->hostList->size();
    tnHandleHostListButtons(app->btnListen, nullptr);
    const std::string notice = " - Tandrel-FLTK - Error: Incoming reverse VNC connection failed.  Attempting to recover";

    for (const bool logging : {true, false}) {
        SCOPED_TRACE(logging ? "log on" : "log off");
        appOptions.logToFile = logging;
        HostItem* listener = lastItem();
        ASSERT_TRUE(listener->isListener);
        ::testing::internal::CaptureStdout();
        const bool accepted = hangUp();
        const bool replaced = accepted && waitFor([listener] { return lineOf(listener) == 0 && !tnVncOf(listener); });
        const std::string printed = ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(replaced);
        // The failed line gives way to a fresh one that waits again.
        EXPECT_EQ(app->hostList->size(), linesBefore + 1);
        HostItem* next = lastItem();
        EXPECT_NE(next, listener);
        EXPECT_TRUE(next->isListener && (tnStateOf(next) == TNConnectionState::Connecting));
        EXPECT_STREQ(app->hostList->text(app->hostList->size()), "Listening");
        EXPECT_EQ(engine.pendingConnectionCount, 1);
        EXPECT_EQ(engine.activeConnectionCount, 1);
        EXPECT_EQ(logText().find("Connected to 'Listening"), std::string::npos);
        // Logged, or printed when there is no log.
        EXPECT_EQ(countOf(logText(), notice), 1);
        EXPECT_EQ(countOf(printed, notice + "\n"), logging ? 0 : 1) << printed;
    }
}

TEST_F(ReverseConnectionOnPort5500, ListenerOnATakenPortFailsOnce)
{
    const int taken = tnTestBindPort(tnListenPort);
    ASSERT_GE(taken, 0);
    const int linesBefore = app->hostList->size();

    tnHandleHostListButtons(app->btnListen, nullptr);
    HostItem* listener = lastItem();
    ASSERT_TRUE(waitFor([listener] { return tnStateOf(listener) == TNConnectionState::Failed; }));
    // No endless chain of new listeners: the line stays with its error.
    tnTestPump(0.5);
    EXPECT_EQ(app->hostList->size(), linesBefore + 1);
    EXPECT_EQ(lastItem(), listener);
    EXPECT_EQ(tnHostStatusImage(listener), app->iconDisconnectedBigError);
    EXPECT_EQ(tnLastErrorOf(listener), "Address already in use");
    EXPECT_NE(logText().find("ERROR - Could not listen for reverse VNC connections on port 5500"), std::string::npos);
    EXPECT_EQ(tnVncOf(listener), nullptr);
    close(taken);

    // Listen works again once the port is free.
    messages.clear();
    tnHandleHostListButtons(app->btnListen, nullptr);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(app->hostList->size(), linesBefore + 2);
    EXPECT_TRUE((tnStateOf(lastItem()) == TNConnectionState::Connecting));
}

} // namespace

namespace {

// The local addresses (as the kernel's tables write them) that listen on TCP `port`.
std::set<std::string> tnListeningAddresses(int port)
{
    std::set<std::string> addresses;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        while (std::getline(in, line)) {
            TNTcpTableEntry entry;
            if (tnParseTcpTableLine(line, &entry) && entry.localPort == port && entry.state == 0x0A)
                addresses.insert(entry.localAddress);
        }
    }
    return addresses;
}

} // namespace

// By default a listening line accepts reverse connections on every IPv4 interface; with
// "Accept reverse connections from this computer only" on 127.0.0.1 and ::1 alone, where a
// server on this machine still reaches it.
TEST_F(ReverseConnectionOnPort5500, LocalOnlyListensOnTheLoopbackAddressesAlone)
{
    std::set<std::string> loopback = {"0100007F"};
    if (tnHasIPv6Loopback())
        loopback.insert("00000000000000000000000001000000");
    for (const bool localOnly : {false, true}) {
        SCOPED_TRACE(localOnly ? "this computer only" : "every interface");
        appOptions.reverseLocalOnly = localOnly;
        appOptions.showReverseConnect = false;
        tnHandleHostListButtons(app->btnListen, nullptr);
        HostItem* listener = lastItem();
        ASSERT_TRUE(listener->isListener);
        const std::set<std::string> expected = localOnly ? loopback : std::set<std::string>{"00000000"};
        ASSERT_TRUE(waitFor([&] { return tnListeningAddresses(tnListenPort) == expected; }))
            << *tnListeningAddresses(tnListenPort).begin();
        TNTestServer* server = startServer();
        ASSERT_TRUE(reverseConnect(server));
        ASSERT_TRUE(waitFor([listener] { return tnIsConnected(listener); }));
        // The next listening line listens on the same addresses; ending it closes them all.
        ASSERT_TRUE(waitFor([&] { return tnListeningAddresses(tnListenPort) == expected; }));
        // The next listening line, then the connected one, end.
        for (HostItem* itm : {lastItem(), listener}) {
            tnDisconnect(itm);
            ASSERT_TRUE(waitFor([itm] { return !tnResultOwed(tnStateOf(itm)); }));
            tnRemoveHostLine(lineOf(itm));
        }
        ASSERT_TRUE(waitFor([] { return tnListeningAddresses(tnListenPort).empty(); }));
    }
}
