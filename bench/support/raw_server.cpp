#include "support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Reads and writes give up when `stopping` is set: the sockets' 0.2-second time-outs let
// a thread see it.
bool tnReadAll(int fd, void* buffer, size_t length, const std::atomic<bool>& stopping)
{
    auto* p = static_cast<uint8_t*>(buffer);
    while (length > 0 && !stopping) {
        const ssize_t got = read(fd, p, length);
        if (got == 0)
            return false;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return false;
        }
        p += got;
        length -= static_cast<size_t>(got);
    }
    return length == 0;
}

bool tnWriteAll(int fd, const void* buffer, size_t length, const std::atomic<bool>& stopping)
{
    auto* p = static_cast<const uint8_t*>(buffer);
    while (length > 0 && !stopping) {
        const ssize_t sent = send(fd, p, length, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return false;
        }
        p += sent;
        length -= static_cast<size_t>(sent);
    }
    return length == 0;
}

uint16_t tnBe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// A FramebufferUpdate of one raw rectangle: its header.
void tnRectHeader(uint8_t* out, int x, int y, int w, int h)
{
    const uint8_t header[16] = {0, 0, 0, 1,
                                static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x & 255),
                                static_cast<uint8_t>(y >> 8), static_cast<uint8_t>(y & 255),
                                static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w & 255),
                                static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h & 255),
                                0, 0, 0, 0};
    memcpy(out, header, sizeof(header));
}

} // namespace

TNRawServer::~TNRawServer()
{
    stop();
}

bool TNRawServer::start()
{
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return false;
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    // The kernel's ephemeral ports are all above 5900.
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, 128) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(listener);
        return false;
    }
    listenPort = ntohs(address.sin_port);
    stopping = false;
    acceptor = std::thread([this, listener] { accept(listener); });
    return true;
}

void TNRawServer::stop()
{
    stopping = true;
    if (acceptor.joinable())
        acceptor.join();
    std::vector<std::thread> ending;
    {
        std::lock_guard<std::mutex> hold(clientsLock);
        ending.swap(clients);
    }
    // Each sees the flag within its sockets' time-outs.
    for (std::thread& client : ending)
        client.join();
}

void TNRawServer::accept(int listener)
{
    while (!stopping) {
        pollfd in{listener, POLLIN, 0};
        if (poll(&in, 1, 200) <= 0)
            continue;
        const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        std::lock_guard<std::mutex> hold(clientsLock);
        clients.emplace_back([this, fd] { serve(fd); });
    }
    close(listener);
}

void TNRawServer::serve(int fd)
{
    timeval timeout{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    auto readAll = [&](void* buffer, size_t length) { return tnReadAll(fd, buffer, length, stopping); };
    auto writeAll = [&](const void* buffer, size_t length) { return tnWriteAll(fd, buffer, length, stopping); };
    // Reads and drops `length` bytes (what the server has no use for).
    auto skip = [&](size_t length) {
        uint8_t dropped[4096];
        for (size_t part = 0; length > 0; length -= part) {
            part = std::min(length, sizeof(dropped));
            if (!readAll(dropped, part))
                return false;
        }
        return true;
    };
    TNPixelFormat format;
    int frame = 0;
    long boxes = 0;
    uint8_t buffer[64];
    bool ok = writeAll("RFB 003.008\n", 12) && readAll(buffer, 12);
    const uint8_t types[] = {1, 1}; // one type: None
    ok = ok && writeAll(types, 2) && readAll(buffer, 1);
    const uint8_t result[] = {0, 0, 0, 0};
    ok = ok && writeAll(result, 4) && readAll(buffer, 1); // ClientInit
    if (ok) {
        const char name[] = "tn-bench";
        uint8_t init[24 + sizeof(name) - 1] = {tnBenchWidth >> 8, tnBenchWidth & 255, tnBenchHeight >> 8,
                                               tnBenchHeight & 255, 32, 24, 0, 1, 0, 255, 0, 255, 0, 255, 16, 8,
                                               0, 0, 0, 0, 0, 0, 0, sizeof(name) - 1};
        memcpy(init + 24, name, sizeof(name) - 1);
        ok = writeAll(init, sizeof(init));
    }
    std::vector<uint8_t> box(16 + tnBenchBox * tnBenchBox * 4);
    while (ok && !stopping) {
        uint8_t type = 0;
        if (!readAll(&type, 1))
            break;
        switch (type) {
        case 0: // SetPixelFormat
            ok = readAll(buffer, 19);
            format.bigEndian = buffer[5] != 0;
            format.redMax = tnBe16(buffer + 7);
            format.greenMax = tnBe16(buffer + 9);
            format.blueMax = tnBe16(buffer + 11);
            format.redShift = buffer[13];
            format.greenShift = buffer[14];
            format.blueShift = buffer[15];
            if (buffer[3] != 32) {
                fprintf(stderr, "bench server: %d bits per pixel not supported\n", buffer[3]);
                ok = false;
            }
            break;
        case 2: // SetEncodings (raw is always allowed)
            ok = readAll(buffer, 3) && skip(static_cast<size_t>(tnBe16(buffer + 1)) * 4);
            break;
        case 3: { // FramebufferUpdateRequest: a whole new screen, or a box
            ok = readAll(buffer, 9);
            requests++;
            const bool incremental = buffer[0] != 0;
            if (ok && incremental && change == TNScreenChange::Box) {
                const TNBoxChange next = tnBenchBoxChange(boxes++);
                const std::vector<uint8_t>& pixels = tnBenchScreens(format)[next.screen];
                tnRectHeader(box.data(), next.x, next.y, tnBenchBox, tnBenchBox);
                for (int row = 0; row < tnBenchBox; ++row)
                    memcpy(box.data() + 16 + row * tnBenchBox * 4,
                           pixels.data() + (static_cast<size_t>(next.y + row) * tnBenchWidth + next.x) * 4,
                           tnBenchBox * 4);
                ok = writeAll(box.data(), box.size());
                break;
            }
            const bool flat = change == TNScreenChange::Flat;
            const std::vector<uint8_t>& pixels = tnBenchScreens(format, flat)[frame++ % tnBenchFrames];
            uint8_t header[16];
            tnRectHeader(header, 0, 0, tnBenchWidth, tnBenchHeight);
            ok = ok && writeAll(header, sizeof(header));
            const size_t piece = overLink ? size_t(64) << 10 : pixels.size();
            for (size_t at = 0; ok && at < pixels.size(); at += piece) {
                if (at > 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                ok = writeAll(pixels.data() + at, std::min(piece, pixels.size() - at));
            }
            break;
        }
        case 4: // KeyEvent
            ok = readAll(buffer, 7);
            break;
        case 5: // PointerEvent
            ok = readAll(buffer, 5);
            break;
        case 6: // ClientCutText
            ok = readAll(buffer, 7) && skip(static_cast<uint32_t>(buffer[3]) << 24 | buffer[4] << 16 |
                                            buffer[5] << 8 | buffer[6]);
            break;
        default:
            fprintf(stderr, "bench server: unknown client message %d\n", type);
            ok = false;
        }
    }
    close(fd);
}
