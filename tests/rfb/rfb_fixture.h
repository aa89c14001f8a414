// Shared set-up of the connection tests: the real program state started in-process,
// hosts on the real host list, test servers on loopback, modal boxes answered here.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Pixmap.H>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/host_item.h"
#include "config/host_list_model.h"
#include "connection/pixel_rows.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "core/log.h"
#include "gui/modal.h"
#include "core/options.h"
#include "core/tcp_table.h"
#include "gui/front_end.h"
#include "gui/host_list.h"
#include "gui/main_loop.h"
#include "gui/main_window.h"
#include "support/app_fixture.h"
#include "support/rfb_peer.h"
#include "support/gui_events.h"
#include "support/test_server.h"
#include "viewer/vnc_viewer.h"

// A TCP socket on 127.0.0.1 that accepts connections into its queue and never says a
// word: a handshake with it stays "connecting" until the socket is closed (or the read
// time-out ends it).
class TNSilentServer {
public:
    TNSilentServer()
    {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 4) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            close();
            return;
        }
        port = ntohs(address.sin_port);
    }
    ~TNSilentServer() { close(); }
    // Closing resets the queued connections, so a waiting handshake fails at once.
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    int port = 0;

private:
    int fd = -1;
};

// Binds 127.0.0.1:`port` and listens; -1 when the port is taken. The caller closes it.
// Like the library's own listener it reuses the address, so that connections of an
// earlier test still in TIME_WAIT on the port do not count as taking it.
inline int tnTestBindPort(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    if (fd >= 0)
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && listen(fd, 4) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

// True when some socket on this machine listens on TCP `port` (IPv4 or IPv6), read from
// /proc without touching the port, so it cannot race with the program binding it.
inline bool tnTestPortIsListening(int port)
{
    return tnTcpPortIsListening(port);
}

// The read time-out of the attempts started while it lives, so that a test does not wait
// the program's full time-out for a stalled server.
class TNReadTimeOutFor {
public:
    explicit TNReadTimeOutFor(int seconds) : saved(tnReadTimeoutSeconds) { tnReadTimeoutSeconds = seconds; }
    ~TNReadTimeOutFor() { tnReadTimeoutSeconds = saved; }
    TNReadTimeOutFor(const TNReadTimeOutFor&) = delete;
    TNReadTimeOutFor& operator=(const TNReadTimeOutFor&) = delete;

private:
    int saved;
};

// A pixel (R, G, B) of the picture the window draws of `itm`'s connection, taken under
// the picture's lock; false when there is no picture (a hidden connection has none) or
// (x, y) is outside it.
inline bool tnPicturePixel(const HostItem* itm, int x, int y, uint8_t rgb[3], int* width = nullptr,
                           int* height = nullptr)
{
    VncObject* vnc = itm ? tnVncOf(itm) : nullptr;
    if (!vnc)
        return false;
    std::lock_guard<std::mutex> hold(vnc->pictureLock);
    const TNPicture& picture = vnc->picture;
    if (width)
        *width = picture.width;
    if (height)
        *height = picture.height;
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height || !picture.hasPixels())
        return false;
    tnPixelRgb(tnPixelLayout(), picture.data() + (static_cast<size_t>(y) * picture.width + x) * 4, rgb);
    return true;
}

// Appends a raw pixel as the client asks servers for it: 4 bytes of the engine's layout in
// this machine's byte order.
inline TNBytes& tnRawPixel(TNBytes& bytes, int r, int g, int b)
{
    const TNPixelLayout& layout = tnPixelLayout();
    const uint32_t value = static_cast<uint32_t>(r & 0xFF) << layout.redShift |
                           static_cast<uint32_t>(g & 0xFF) << layout.greenShift |
                           static_cast<uint32_t>(b & 0xFF) << layout.blueShift;
    uint8_t raw[4];
    memcpy(raw, &value, 4);
    return bytes.u8(raw[0]).u8(raw[1]).u8(raw[2]).u8(raw[3]);
}

class TNConnectionTest : public ::testing::Test {
protected:
    std::string dir;
    std::vector<std::pair<std::string, std::string>> messages;   // title, text
    int beeps = 0;
    // Message boxes, choices and beeps asked for off the main thread: only the main thread
    // may open a window, so any one of them fails the test.
    std::atomic<int> boxesOffMainThread{0};
    std::vector<std::unique_ptr<TNTestServer>> servers;

    void SetUp() override
    {
        dir = tnTestMakeTempDir();
        ASSERT_FALSE(dir.empty());
        tnTestStartApp(dir);
        appOptions.logToFile = true;
        // A dropped connection ends as broken; the reconnecting hosts' tests turn this on.
        appOptions.reconnectDropped = false;
        tnModalHooks().message = [this](const std::string& title, const std::string& text) {
            if (!tnIsMainThread())
                boxesOffMainThread++;
            else
                messages.emplace_back(title, text);
        };
        tnModalHooks().choice = [this](const std::string&, const std::string&) {
            if (!tnIsMainThread())
                boxesOffMainThread++;
            return 2;
        };
        tnModalHooks().beep = [this](int) {
            if (!tnIsMainThread())
                boxesOffMainThread++;
            else
                beeps++;
        };
        // A password window is cancelled (the attempt fails as it would without one).
        tnModalHooks().password = [](const std::string&, const std::string&, std::string&, std::string&, bool&) {
            return 0;
        };
    }

    void TearDown() override
    {
        // Nothing of this test may reach the next one's state: end every connection and
        // wait until every handshake worker has returned and its result is handled.
        // Held: a deleted host's record goes with its connection's.
        std::vector<std::shared_ptr<HostItem>> hosts;
        for (const TNConnection* connection : tnConnections())
            hosts.push_back(connection->host);
        for (const auto& itm : hosts)
            tnDisconnect(itm.get());
        const bool workersDone = tnTestPumpUntil(
            [] {
                for (const TNConnection* connection : tnConnections()) {
                    if (tnResultOwed(connection->state))
                        return false;
                }
                return true;
            },
            15.0);
        EXPECT_TRUE(workersDone) << "a handshake worker did not return";
        for (const auto& itm : hosts)
            tnReleaseEndedAttempt(itm.get());
        for (const TNConnection* connection : tnConnections())
            EXPECT_EQ(connection->vnc, nullptr) << connection->host->name;
        EXPECT_EQ(boxesOffMainThread, 0) << "a box or beep was asked for off the main thread";
        // Every attempt resolved, every worker uncounted.
        EXPECT_EQ(engine.pendingConnectionCount, 0);
        EXPECT_EQ(engine.activeConnectionCount, 0);
        servers.clear();
        tnModalHooks() = TNModalHooks();
        tnTestRemoveDir(dir);
    }

    TNTestServer* startServer(const TNTestServerOptions& options = TNTestServerOptions())
    {
        servers.push_back(std::make_unique<TNTestServer>(options));
        EXPECT_TRUE(servers.back()->start());
        return servers.back().get();
    }

    // A test server with a remote screen of `width` x `height`.
    TNTestServer* startServerOfSize(int width, int height)
    {
        TNTestServerOptions options;
        options.width = width;
        options.height = height;
        return startServer(options);
    }

    // A host line at the end of the list, reaching 127.0.0.1:`port`.
    HostItem* addHost(const std::string& name, int port, const std::string& password = "")
    {
        auto itm = std::make_shared<HostItem>();
        itm->name = name;
        itm->hostAddress = "127.0.0.1";
        itm->vncPort = std::to_string(port);
        itm->vncPassword = password;
        itm->scaling = 's';
        tnAddHostLine(itm);
        return itm.get();
    }

    static int lineOf(const HostItem* itm) { return tnItemNumFromItm(itm); }

    bool waitFor(const std::function<bool()>& done, double seconds = 5.0)
    {
        return tnTestPumpUntil(done, seconds);
    }

    bool connectAndWait(HostItem* itm)
    {
        VncObject::createVNCObject(itm);
        return waitFor([itm] { return tnIsConnected(itm) && tnHostStatusImage(itm) == app->iconConnected; });
    }

    // Runs the program's own main loop until `done` returns true or `seconds` have passed
    // (a timer of the test then ends the loop the way shut-down does).
    bool runMainLoopUntil(const std::function<bool()>& done, double seconds)
    {
        static const std::function<bool()>* condition = nullptr;
        static std::chrono::steady_clock::time_point deadline;
        struct Tick {
            static void run(void*)
            {
                if ((*condition)() || std::chrono::steady_clock::now() >= deadline)
                    engine.isShuttingDown = true;
                else
                    Fl::repeat_timeout(0.02, run);
            }
        };
        condition = &done;
        deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                           std::chrono::duration<double>(seconds));
        Fl::add_timeout(0.02, Tick::run);
        tnRunMainLoop();
        Fl::remove_timeout(Tick::run);
        engine.isShuttingDown = false;
        return done();
    }

    std::string logText() const { return tnTestReadFile(tnLogFilePath()); }

    // The shown window with this title (a question of an attempt), or null.
    static Fl_Window* questionWindow(const std::string& title)
    {
        for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window)) {
            if (window->shown() && window->label() && title == window->label())
                return window;
        }
        return nullptr;
    }

    // The window's widget with this label (its buttons, its fields), or null.
    static Fl_Widget* childLabelled(Fl_Window* window, const std::string& label)
    {
        for (int i = 0; window && i < window->children(); i++) {
            Fl_Widget* child = window->child(i);
            if (child->label() && label == child->label())
                return child;
        }
        ADD_FAILURE() << "no widget " << label;
        return nullptr;
    }

    static int countOf(const std::string& text, const std::string& part)
    {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
            count++;
        return count;
    }

    bool sawMessage(const std::string& title, const std::string& text) const
    {
        for (const auto& message : messages) {
            if (message.first == title && message.second == text)
                return true;
        }
        return false;
    }
};
