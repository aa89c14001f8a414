// TNTestServer: libvncserver on a loopback port, driven by one thread of its own.
//
// Everything that touches a server (its event loop, screen changes, cut text, cursor,
// dropping clients, reverse connections) runs on that server's thread; the public
// functions queue the work and wait for it. The library's hooks record what clients send
// under a mutex.
//
// libvncserver keeps process-wide state that it does not protect (rfbGetScreen, for one,
// initialises again a global mutex that other servers' threads are using), so every call
// into the library, of every server, holds one process-wide lock. The threads wait for
// their sockets without it.
#include "test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <rfb/rfb.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <thread>

namespace {

constexpr uint8_t tnSecTypeVeNCrypt = 19;

std::mutex& tnLibraryLock()
{
    static std::mutex lock;
    return lock;
}
constexpr uint32_t tnVeNCryptPlain = 256;

// A free TCP port on 127.0.0.1 at or above 5900 (lower numbers read as display numbers).
int tnPickFreePort()
{
    for (int attempt = 0; attempt < 20; attempt++) {
        int sock = socket(AF_INET, SOCK_STREAM, 0);
        if (sock < 0)
            return 0;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof(address);
        int port = 0;
        if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        close(sock);
        if (port >= 5900)
            return port;
    }
    return 0;
}

bool tnReadAll(rfbClientPtr cl, void* data, int length)
{
    return rfbReadExact(cl, static_cast<char*>(data), length) > 0;
}

bool tnWriteAll(rfbClientPtr cl, const void* data, int length)
{
    return rfbWriteExact(cl, static_cast<const char*>(data), length) > 0;
}

bool tnReadU32(rfbClientPtr cl, uint32_t* value)
{
    uint32_t raw = 0;
    if (!tnReadAll(cl, &raw, 4))
        return false;
    *value = ntohl(raw);
    return true;
}

bool tnWriteU32(rfbClientPtr cl, uint32_t value)
{
    const uint32_t raw = htonl(value);
    return tnWriteAll(cl, &raw, 4);
}

} // namespace

struct TNTestServer::Impl {
    TNTestServerOptions options;
    rfbScreenInfoPtr screen = nullptr;
    char* frameBuffer = nullptr;
    int width = 0;
    int height = 0;
    int boundPort = 0;
    std::string password;
    char* passwordList[2] = {nullptr, nullptr};

    std::thread thread;
    std::thread::id threadId;
    std::atomic<bool> running{false};
    std::atomic<int> clients{0};

    mutable std::mutex lock;
    std::condition_variable changed;
    std::deque<std::function<void()>> commands;
    uint64_t queued = 0;
    uint64_t finished = 0;

    std::vector<TNPointerEvent> pointers;
    std::vector<TNKeyEvent> keys;
    std::vector<std::string> cutTexts;
    int updates = 0;
    int fullUpdates = 0;
    std::set<rfbClientPtr> stalled;   // server thread only

    static Impl* of(rfbClientPtr cl) { return static_cast<Impl*>(cl->screen->screenData); }

    void fillPattern(char* buffer, int w, int h)
    {
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                uint8_t rgb[3];
                patternPixel(x, y, rgb);
                char* pixel = buffer + (static_cast<size_t>(y) * w + x) * 4;
                pixel[0] = static_cast<char>(rgb[0]);
                pixel[1] = static_cast<char>(rgb[1]);
                pixel[2] = static_cast<char>(rgb[2]);
                pixel[3] = 0;
            }
        }
    }

    // Runs `command` on the server thread and waits (bounded) until it has run. The wait
    // may give up while the command is still queued or running, so a command never refers
    // to its caller's locals: it takes copies, and hands results back through shared state.
    void run(std::function<void()> command)
    {
        if (std::this_thread::get_id() == threadId) {
            command();
            return;
        }
        if (!running) {
            std::lock_guard<std::mutex> library(tnLibraryLock());
            if (screen)
                command();
            return;
        }
        std::unique_lock<std::mutex> hold(lock);
        commands.push_back(std::move(command));
        const uint64_t ticket = ++queued;
        changed.wait_for(hold, std::chrono::seconds(10), [&] { return finished >= ticket || !running; });
    }

    void loop()
    {
        while (running) {
            fd_set sockets;
            int highest = 0;
            {
                std::lock_guard<std::mutex> library(tnLibraryLock());
                for (;;) {
                    std::function<void()> command;
                    {
                        std::lock_guard<std::mutex> hold(lock);
                        if (commands.empty())
                            break;
                        command = std::move(commands.front());
                        commands.pop_front();
                    }
                    command();
                    {
                        std::lock_guard<std::mutex> hold(lock);
                        finished++;
                    }
                    changed.notify_all();
                }
                rfbProcessEvents(screen, 0);
                sockets = screen->allFds;
                highest = screen->maxFd;
            }
            // Queued work is picked up within this wait, too.
            timeval wait{0, 5000};
            select(highest + 1, &sockets, nullptr, nullptr, &wait);
        }
        std::lock_guard<std::mutex> hold(lock);
        finished = queued;
        changed.notify_all();
    }

    // Leaves the client in the middle of a ServerCutText message: the header announces
    // 100 bytes of text, 10 follow, then nothing more is ever sent to it.
    void stall(rfbClientPtr cl)
    {
        if (stalled.count(cl))
            return;
        uint8_t header[8] = {rfbServerCutText, 0, 0, 0, 0, 0, 0, 100};
        tnWriteAll(cl, header, sizeof(header));
        tnWriteAll(cl, "0123456789", 10);
        stalled.insert(cl);
        cl->onHold = TRUE;
    }

    // VeNCrypt with the Plain subtype, run as soon as the connection is accepted (after
    // the server's protocol version). The security handlers of libvncserver are one list
    // for the whole process, so servers with different authentication in one process
    // cannot share it; this does the security phase for this server alone.
    bool plainHandshake(rfbClientPtr cl)
    {
        char version[sz_rfbProtocolVersionMsg];
        if (!tnReadAll(cl, version, sizeof(version)))
            return false;
        const uint8_t types[2] = {1, tnSecTypeVeNCrypt};
        uint8_t chosen = 0;
        if (!tnWriteAll(cl, types, 2) || !tnReadAll(cl, &chosen, 1) || chosen != tnSecTypeVeNCrypt)
            return false;
        const uint8_t serverVersion[2] = {0, 2};
        uint8_t clientVersion[2] = {0, 0};
        const uint8_t okay = 0;
        const uint8_t count = 1;
        uint32_t subtype = 0;
        if (!tnWriteAll(cl, serverVersion, 2) || !tnReadAll(cl, clientVersion, 2) || !tnWriteAll(cl, &okay, 1) ||
            !tnWriteAll(cl, &count, 1) || !tnWriteU32(cl, tnVeNCryptPlain) || !tnReadU32(cl, &subtype) ||
            subtype != tnVeNCryptPlain)
            return false;
        uint32_t userLength = 0;
        uint32_t passwordLength = 0;
        if (!tnReadU32(cl, &userLength) || !tnReadU32(cl, &passwordLength) || userLength > 65536 ||
            passwordLength > 65536)
            return false;
        std::string user(userLength, '\0');
        std::string pass(passwordLength, '\0');
        if ((userLength && !tnReadAll(cl, &user[0], userLength)) ||
            (passwordLength && !tnReadAll(cl, &pass[0], passwordLength)))
            return false;
        if (user != options.plainUser || pass != options.plainPassword) {
            const std::string reason = "Authentication failed";
            tnWriteU32(cl, 1);
            tnWriteU32(cl, static_cast<uint32_t>(reason.size()));
            tnWriteAll(cl, reason.data(), static_cast<int>(reason.size()));
            return false;
        }
        if (!tnWriteU32(cl, 0))
            return false;
        cl->protocolMajorVersion = 3;
        cl->protocolMinorVersion = 8;
        cl->state = _rfbClientRec::RFB_INITIALISATION;
        return true;
    }

    static void clientGone(rfbClientPtr cl)
    {
        Impl* impl = of(cl);
        impl->stalled.erase(cl);
        impl->clients--;
    }

    static void updateRequested(rfbClientPtr cl, rfbFramebufferUpdateRequestMsg* request)
    {
        Impl* impl = of(cl);
        {
            std::lock_guard<std::mutex> hold(impl->lock);
            impl->updates++;
            if (!request->incremental)
                impl->fullUpdates++;
        }
        if (impl->options.stallAfterHandshake)
            impl->stall(cl);
    }

    static rfbNewClientAction newClient(rfbClientPtr cl)
    {
        Impl* impl = of(cl);
        if (!impl->options.plainUser.empty() && !impl->plainHandshake(cl))
            return RFB_CLIENT_REFUSE;
        cl->clientFramebufferUpdateRequestHook = updateRequested;
        cl->clientGoneHook = clientGone;
        impl->clients++;
        return RFB_CLIENT_ACCEPT;
    }

    static void pointer(int mask, int x, int y, rfbClientPtr cl)
    {
        Impl* impl = of(cl);
        std::lock_guard<std::mutex> hold(impl->lock);
        impl->pointers.push_back({x, y, mask});
    }

    static void key(rfbBool down, rfbKeySym keysym, rfbClientPtr cl)
    {
        Impl* impl = of(cl);
        std::lock_guard<std::mutex> hold(impl->lock);
        impl->keys.push_back({static_cast<uint32_t>(keysym), down != 0});
    }

    static void cutText(char* text, int length, rfbClientPtr cl)
    {
        Impl* impl = of(cl);
        std::lock_guard<std::mutex> hold(impl->lock);
        impl->cutTexts.emplace_back(text, text + (length > 0 ? length : 0));
    }

    static void cutTextUtf8(char* text, int length, rfbClientPtr cl)
    {
        if (length > 0 && text[length - 1] == '\0')
            length--;
        cutText(text, length, cl);
    }

    void markAll() { rfbMarkRectAsModified(screen, 0, 0, width, height); }
};

TNTestServer::TNTestServer(const TNTestServerOptions& options) : impl(new Impl())
{
    impl->options = options;
}

TNTestServer::~TNTestServer()
{
    stop();
    delete impl;
}

bool TNTestServer::start()
{
    if (impl->running)
        return true;
    std::lock_guard<std::mutex> library(tnLibraryLock());
    rfbLogEnable(0);
    impl->width = impl->options.width;
    impl->height = impl->options.height;
    for (int attempt = 0; attempt < 10; attempt++) {
        const int port = impl->options.port ? impl->options.port : tnPickFreePort();
        if (port <= 0)
            return false;
        int argc = 1;
        char name[] = "tn-test-server";
        char* argv[] = {name, nullptr};
        rfbScreenInfoPtr screen = rfbGetScreen(&argc, argv, impl->width, impl->height, 8, 3, 4);
        if (!screen)
            return false;
        impl->frameBuffer = static_cast<char*>(malloc(static_cast<size_t>(impl->width) * impl->height * 4));
        impl->fillPattern(impl->frameBuffer, impl->width, impl->height);
        screen->frameBuffer = impl->frameBuffer;
        screen->desktopName = impl->options.desktopName.c_str();
        screen->port = port;
        screen->ipv6port = 0;
        screen->listenInterface = htonl(INADDR_LOOPBACK);
        screen->alwaysShared = TRUE;
        screen->deferUpdateTime = 0;
        screen->screenData = impl;
        screen->newClientHook = Impl::newClient;
        screen->ptrAddEvent = Impl::pointer;
        screen->kbdAddEvent = Impl::key;
        screen->setXCutText = Impl::cutText;
        screen->setXCutTextUTF8 = Impl::cutTextUtf8;
        if (!impl->options.password.empty()) {
            impl->password = impl->options.password;
            impl->passwordList[0] = &impl->password[0];
            impl->passwordList[1] = nullptr;
            screen->authPasswdData = impl->passwordList;
            screen->passwordCheck = rfbCheckPasswordByList;
        }
        rfbInitServer(screen);
        if (screen->listenSock != RFB_INVALID_SOCKET) {
            impl->screen = screen;
            impl->boundPort = port;
            break;
        }
        rfbScreenCleanup(screen);
        free(impl->frameBuffer);
        impl->frameBuffer = nullptr;
        if (impl->options.port)
            return false;
    }
    if (!impl->screen)
        return false;
    impl->running = true;
    impl->thread = std::thread([this] { impl->loop(); });
    impl->threadId = impl->thread.get_id();
    return true;
}

void TNTestServer::stop()
{
    if (!impl->screen)
        return;
    if (impl->running) {
        impl->running = false;
        impl->thread.join();
    }
    std::lock_guard<std::mutex> library(tnLibraryLock());
    rfbShutdownServer(impl->screen, TRUE);
    rfbScreenCleanup(impl->screen);
    impl->screen = nullptr;
    free(impl->frameBuffer);
    impl->frameBuffer = nullptr;
}

int TNTestServer::port() const
{
    return impl->boundPort;
}

std::string TNTestServer::address() const
{
    return "127.0.0.1:" + std::to_string(impl->boundPort);
}

void TNTestServer::patternPixel(int x, int y, uint8_t rgb[3])
{
    rgb[0] = static_cast<uint8_t>((x * 4) & 255);
    rgb[1] = static_cast<uint8_t>((y * 4) & 255);
    rgb[2] = 0x80;
}

void TNTestServer::fill(uint8_t r, uint8_t g, uint8_t b)
{
    impl->run([=] {
        const size_t pixels = static_cast<size_t>(impl->width) * impl->height;
        for (size_t i = 0; i < pixels; i++) {
            char* pixel = impl->frameBuffer + i * 4;
            pixel[0] = static_cast<char>(r);
            pixel[1] = static_cast<char>(g);
            pixel[2] = static_cast<char>(b);
            pixel[3] = 0;
        }
        impl->markAll();
    });
}

void TNTestServer::fillRect(int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    fillRects({{x, y, w, h, r, g, b}});
}

void TNTestServer::fillRects(const std::vector<TNTestFill>& fills)
{
    impl->run([=] {
        for (const TNTestFill& fill : fills) {
            const int x0 = std::clamp(fill.x, 0, impl->width), x1 = std::clamp(fill.x + fill.w, x0, impl->width);
            const int y0 = std::clamp(fill.y, 0, impl->height), y1 = std::clamp(fill.y + fill.h, y0, impl->height);
            for (int row = y0; row < y1; row++) {
                for (int col = x0; col < x1; col++) {
                    char* pixel = impl->frameBuffer + (static_cast<size_t>(row) * impl->width + col) * 4;
                    pixel[0] = static_cast<char>(fill.r);
                    pixel[1] = static_cast<char>(fill.g);
                    pixel[2] = static_cast<char>(fill.b);
                    pixel[3] = 0;
                }
            }
            if (x1 > x0 && y1 > y0)
                rfbMarkRectAsModified(impl->screen, x0, y0, x1, y1);
        }
    });
}

void TNTestServer::markAllModified()
{
    impl->run([this] { impl->markAll(); });
}

void TNTestServer::resize(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    impl->run([=] {
        char* buffer = static_cast<char*>(malloc(static_cast<size_t>(width) * height * 4));
        impl->fillPattern(buffer, width, height);
        rfbNewFramebuffer(impl->screen, buffer, width, height, 8, 3, 4);
        free(impl->frameBuffer);
        impl->frameBuffer = buffer;
        impl->width = width;
        impl->height = height;
    });
}

void TNTestServer::setCursor(int w, int h, int hotX, int hotY)
{
    if (w <= 0 || h <= 0)
        return;
    impl->run([=] {
        std::string shape(static_cast<size_t>(w) * h, 'x');
        rfbCursorPtr cursor = rfbMakeXCursor(w, h, &shape[0], &shape[0]);
        if (!cursor)
            return;
        cursor->xhot = static_cast<unsigned short>(hotX);
        cursor->yhot = static_cast<unsigned short>(hotY);
        rfbSetCursor(impl->screen, cursor);
    });
}

void TNTestServer::sendCutText(const std::string& text)
{
    impl->run([=] {
        std::string copy = text;
        rfbSendServerCutText(impl->screen, copy.empty() ? nullptr : &copy[0], static_cast<int>(copy.size()));
    });
}

void TNTestServer::sendCutTextUtf8(const std::string& utf8, const std::string& latin1)
{
    impl->run([=] {
        std::string text = utf8;
        std::string fallback = latin1;
        rfbSendServerCutTextUTF8(impl->screen, &text[0], static_cast<int>(text.size()), &fallback[0],
                                 static_cast<int>(fallback.size()));
    });
}

void TNTestServer::sendCutTextWithUpdate(const std::string& text)
{
    impl->run([=] {
        std::string copy = text;
        rfbSendServerCutText(impl->screen, &copy[0], static_cast<int>(copy.size()));
        // A small rectangle keeps the update well inside one read of the client.
        rfbMarkRectAsModified(impl->screen, 0, 0, 4, 4);
        rfbProcessEvents(impl->screen, 0);
    });
}

void TNTestServer::dropClients()
{
    impl->run([this] {
        rfbClientIteratorPtr clients = rfbGetClientIterator(impl->screen);
        while (rfbClientPtr cl = rfbClientIteratorNext(clients))
            rfbCloseClient(cl);
        rfbReleaseClientIterator(clients);
    });
}

void TNTestServer::stallMidMessage()
{
    impl->run([this] {
        rfbClientIteratorPtr clients = rfbGetClientIterator(impl->screen);
        while (rfbClientPtr cl = rfbClientIteratorNext(clients))
            impl->stall(cl);
        rfbReleaseClientIterator(clients);
    });
}

bool TNTestServer::reverseConnect(const std::string& host, int port)
{
    // The connection may stall past the wait in run(); the result outlives this call.
    auto connected = std::make_shared<std::atomic<bool>>(false);
    impl->run([this, connected, host, port] {
        std::string name = host;
        *connected = rfbReverseConnection(impl->screen, &name[0], port) != nullptr;
    });
    return *connected;
}

int TNTestServer::clientCount() const
{
    return impl->clients;
}

std::vector<TNPointerEvent> TNTestServer::pointerEvents() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->pointers;
}

std::vector<TNKeyEvent> TNTestServer::keyEvents() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->keys;
}

std::vector<std::string> TNTestServer::cutTexts() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->cutTexts;
}

int TNTestServer::updateRequests() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->updates;
}

int TNTestServer::fullUpdateRequests() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->fullUpdates;
}

void TNTestServer::clearRecords()
{
    std::lock_guard<std::mutex> hold(impl->lock);
    impl->pointers.clear();
    impl->keys.clear();
    impl->cutTexts.clear();
    impl->updates = 0;
    impl->fullUpdates = 0;
}
