// TNScriptedPeer: one thread per peer, non-blocking sockets, a poll of at most 10 ms per
// pass, so the client's bytes are read while the script writes or waits.
#include "rfb_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <rfb/rfb.h>   // rfbEncryptBytes, with C linkage
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

using namespace std::chrono;
using namespace std::chrono_literals;

// ---- bytes ----

TNBytes& TNBytes::u8(uint32_t value)
{
    data.push_back(static_cast<char>(value & 0xFF));
    return *this;
}

TNBytes& TNBytes::u16(uint32_t value)
{
    return u8(value >> 8).u8(value);
}

TNBytes& TNBytes::u32(uint32_t value)
{
    return u8(value >> 24).u8(value >> 16).u8(value >> 8).u8(value);
}

TNBytes& TNBytes::raw(const std::string& bytes)
{
    data += bytes;
    return *this;
}

TNBytes& TNBytes::raw(const void* bytes, size_t length)
{
    data.append(static_cast<const char*>(bytes), length);
    return *this;
}

TNBytes& TNBytes::zeros(size_t count)
{
    data.append(count, '\0');
    return *this;
}

TNBytes TNPixelFormat::bytes() const
{
    TNBytes b;
    b.u8(bitsPerPixel).u8(depth).u8(bigEndian ? 1 : 0).u8(trueColour ? 1 : 0);
    b.u16(redMax).u16(greenMax).u16(blueMax);
    b.u8(redShift).u8(greenShift).u8(blueShift).zeros(3);
    return b;
}

namespace tnrfb {

TNBytes serverInit(int width, int height, const TNPixelFormat& format, const std::string& name)
{
    TNBytes b;
    b.u16(width).u16(height).append(format.bytes());
    b.u32(static_cast<uint32_t>(name.size())).raw(name);
    return b;
}

TNBytes updateHeader(int rects)
{
    return TNBytes().u8(0).u8(0).u16(rects);
}

TNBytes rectHeader(int x, int y, int w, int h, int32_t encoding)
{
    return TNBytes().u16(x).u16(y).u16(w).u16(h).s32(encoding);
}

TNBytes desktopSize(int width, int height)
{
    return updateHeader(1).append(rectHeader(0, 0, width, height, encDesktopSize));
}

TNBytes rawRect(int x, int y, int w, int h, const std::string& pixel)
{
    TNBytes b = updateHeader(1).append(rectHeader(x, y, w, h, encRaw));
    for (int i = 0; i < w * h; i++)
        b.raw(pixel);
    return b;
}

TNBytes colourMap(int firstColour, const std::vector<uint16_t>& rgb)
{
    TNBytes b;
    b.u8(1).u8(0).u16(firstColour).u16(static_cast<uint32_t>(rgb.size() / 3));
    for (uint16_t value : rgb)
        b.u16(value);
    return b;
}

TNBytes cutText(const std::string& text)
{
    return TNBytes().u8(3).zeros(3).u32(static_cast<uint32_t>(text.size())).raw(text);
}

TNBytes bell()
{
    return TNBytes().u8(2);
}

} // namespace tnrfb

// ---- script ----

namespace {

constexpr char tnChallenge[16] = {'t', 'n', '-', 'p', 'e', 'e', 'r', '-',
                                  'c', 'h', 'a', 'l', 'l', 'e', 'n', 'g'};

// Length of the client message at the start of `bytes`; 0 while incomplete, -1 when unknown.
long tnClientMessageLength(const std::string& bytes, size_t at)
{
    const size_t left = bytes.size() - at;
    if (left < 1)
        return 0;
    auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[at + i]); };
    auto need = [&](size_t length) -> long { return left >= length ? static_cast<long>(length) : 0; };
    switch (byte(0)) {
    case 0: return need(20);                                            // SetPixelFormat
    case 2: if (left < 4) return 0; return need(4 + 4 * (byte(2) << 8 | byte(3)));  // SetEncodings
    case 3: return need(10);                                            // FramebufferUpdateRequest
    case 4: return need(8);                                             // KeyEvent
    case 5: return need(6);                                             // PointerEvent
    case 6: {                                                           // ClientCutText
        if (left < 8) return 0;
        const uint32_t length = static_cast<uint32_t>(byte(4)) << 24 | byte(5) << 16 | byte(6) << 8 | byte(7);
        if (length & 0x80000000u)
            return need(8 + (0 - length));   // extended clipboard: negative length
        return need(8 + static_cast<size_t>(length));
    }
    case 150: return need(10);                                          // EnableContinuousUpdates
    case 250: return need(4);                                           // xvp
    case 251: if (left < 8) return 0; return need(8 + 16 * byte(6));   // SetDesktopSize
    default: return -1;
    }
}

std::vector<TNClientMessage> tnParseMessages(const std::string& bytes, size_t start)
{
    std::vector<TNClientMessage> messages;
    size_t at = start;
    while (at < bytes.size()) {
        const long length = tnClientMessageLength(bytes, at);
        if (length <= 0)
            break;
        messages.push_back({static_cast<uint8_t>(bytes[at]), bytes.substr(at, static_cast<size_t>(length))});
        at += static_cast<size_t>(length);
    }
    return messages;
}

TNPeerStep tnStep(TNPeerStep::Kind kind)
{
    TNPeerStep step;
    step.kind = kind;
    return step;
}

int tnLoopbackListener(int backlog, int* port)
{
    for (int attempt = 0; attempt < 20; attempt++) {
        int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (sock < 0)
            return -1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            ntohs(address.sin_port) >= 5900 && ::listen(sock, backlog) == 0) {
            *port = ntohs(address.sin_port);
            return sock;
        }
        close(sock);
    }
    return -1;
}

void tnNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

TNPeerScript TNPeerScript::handshake(int width, int height, const std::string& name,
                                     const std::string& password, const TNPixelFormat& format)
{
    TNPeerScript script;
    script.send("RFB 003.008\n").expect(12);
    if (password.empty()) {
        script.send(TNBytes().u8(1).u8(rfbNoAuth)).expect(1).send(TNBytes().u32(0));
    } else {
        script.checkPassword = true;
        script.password = password;
        script.send(TNBytes().u8(1).u8(rfbVncAuth)).expect(1);
        script.send(std::string(tnChallenge, sizeof(tnChallenge))).expect(16);
        script.steps.push_back(tnStep(TNPeerStep::AuthResult));
    }
    script.expect(1).send(tnrfb::serverInit(width, height, format, name)).endHandshake();
    return script;
}

TNPeerScript TNPeerScript::refusal(const std::string& reason)
{
    TNPeerScript script;
    script.send("RFB 003.008\n").expect(12);
    script.send(TNBytes().u8(0).u32(static_cast<uint32_t>(reason.size())).raw(reason)).close();
    return script;
}

TNPeerScript& TNPeerScript::send(const std::string& bytes)
{
    TNPeerStep step = tnStep(TNPeerStep::Send);
    step.bytes = bytes;
    steps.push_back(step);
    return *this;
}

TNPeerScript& TNPeerScript::drip(const std::string& bytes, milliseconds gap)
{
    for (char c : bytes)
        send(std::string(1, c)).pause(gap);
    return *this;
}

TNPeerScript& TNPeerScript::expect(size_t count, milliseconds timeout)
{
    TNPeerStep step = tnStep(TNPeerStep::Expect);
    step.count = count;
    step.duration = timeout;
    steps.push_back(step);
    return *this;
}

TNPeerScript& TNPeerScript::expectMessage(int type, milliseconds timeout)
{
    TNPeerStep step = tnStep(TNPeerStep::ExpectMessage);
    step.count = static_cast<size_t>(type);
    step.duration = timeout;
    steps.push_back(step);
    return *this;
}

TNPeerScript& TNPeerScript::pause(milliseconds duration)
{
    TNPeerStep step = tnStep(TNPeerStep::Pause);
    step.duration = duration;
    steps.push_back(step);
    return *this;
}

TNPeerScript& TNPeerScript::close()
{
    steps.push_back(tnStep(TNPeerStep::Close));
    return *this;
}

TNPeerScript& TNPeerScript::hold()
{
    steps.push_back(tnStep(TNPeerStep::Hold));
    return *this;
}

TNPeerScript& TNPeerScript::endHandshake()
{
    steps.push_back(tnStep(TNPeerStep::EndHandshake));
    return *this;
}

TNPeerScript& TNPeerScript::append(const TNPeerScript& other)
{
    steps.insert(steps.end(), other.steps.begin(), other.steps.end());
    if (other.checkPassword) {
        checkPassword = true;
        password = other.password;
    }
    return *this;
}

// ---- peer ----

struct TNScriptedPeer::Impl {
    TNPeerScript script;
    int listener = -1;
    int outgoing = -1;        // a connection made by connectTo, served once
    int boundPort = 0;
    std::thread thread;
    std::atomic<bool> running{false};

    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<TNPeerStep> pending;   // pushed steps not yet taken by a connection
    int connectionCount = 0;
    bool live = false;
    bool closedByClient = false;
    std::string bytesIn;
    size_t messagesStart = std::string::npos;
    std::vector<std::string> problemList;

    void problem(const std::string& text)
    {
        std::lock_guard<std::mutex> hold(lock);
        problemList.push_back(text);
    }

    void loop()
    {
        if (outgoing >= 0) {
            serve(outgoing);
            outgoing = -1;
            return;
        }
        while (running) {
            pollfd wait{listener, POLLIN, 0};
            if (poll(&wait, 1, 20) <= 0)
                continue;
            const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                serve(fd);
        }
    }

    // Runs one connection: the script, then pushed steps, until closed or stopped.
    void serve(int fd)
    {
        tnNonBlocking(fd);
        std::vector<TNPeerStep> steps = script.steps;
        {
            std::lock_guard<std::mutex> hold(lock);
            connectionCount++;
            live = true;
            closedByClient = false;
            bytesIn.clear();
            messagesStart = std::string::npos;
        }
        changed.notify_all();

        std::string out;
        size_t sent = 0;
        size_t consumed = 0;          // client bytes taken by Expect steps
        size_t messagesSeen = 0;      // client messages taken by ExpectMessage steps
        size_t index = 0;
        bool stepStarted = false;
        steady_clock::time_point stepStart;
        bool open = true;

        while (running && open) {
            {
                std::lock_guard<std::mutex> hold(lock);
                steps.insert(steps.end(), pending.begin(), pending.end());
                pending.clear();
            }
            // Run the steps that can run now.
            for (;;) {
                if (index >= steps.size())
                    break;
                const TNPeerStep& step = steps[index];
                if (step.kind == TNPeerStep::Send) {
                    out += step.bytes;
                    // Released once queued, so a long flood of pushed steps does not pile up.
                    std::string().swap(steps[index].bytes);
                    index++;
                    continue;
                }
                if (step.kind == TNPeerStep::EndHandshake) {
                    std::lock_guard<std::mutex> hold(lock);
                    messagesStart = consumed;
                    index++;
                    continue;
                }
                if (sent < out.size())
                    break;   // every other step waits until what was sent is written
                if (!stepStarted) {
                    stepStarted = true;
                    stepStart = steady_clock::now();
                }
                const auto elapsed = steady_clock::now() - stepStart;
                bool done = false;
                if (step.kind == TNPeerStep::Expect) {
                    std::lock_guard<std::mutex> hold(lock);
                    if (bytesIn.size() >= consumed + step.count) {
                        consumed += step.count;
                        done = true;
                    }
                } else if (step.kind == TNPeerStep::ExpectMessage) {
                    std::lock_guard<std::mutex> hold(lock);
                    const auto messages = tnParseMessages(bytesIn, messagesStart == std::string::npos ? consumed : messagesStart);
                    for (size_t i = messagesSeen; i < messages.size() && !done; i++) {
                        if (messages[i].type == static_cast<int>(step.count)) {
                            messagesSeen = i + 1;
                            done = true;
                        }
                    }
                } else if (step.kind == TNPeerStep::Pause) {
                    done = elapsed >= step.duration;
                } else if (step.kind == TNPeerStep::Close) {
                    open = false;
                    break;
                } else if (step.kind == TNPeerStep::Hold) {
                    break;   // stays on this step until the client closes or the peer stops
                } else if (step.kind == TNPeerStep::AuthResult) {
                    std::string answer;
                    {
                        std::lock_guard<std::mutex> hold(lock);
                        answer = bytesIn.substr(consumed - 16, 16);
                    }
                    unsigned char expected[16];
                    memcpy(expected, tnChallenge, sizeof(expected));
                    std::string password = script.password;
                    rfbEncryptBytes(expected, password.data());
                    if (memcmp(expected, answer.data(), 16) == 0) {
                        out += TNBytes().u32(0).data;
                    } else {
                        problem("wrong password");
                        out += TNBytes().u32(1).u32(21).raw("Authentication failed").data;
                        steps.insert(steps.begin() + static_cast<long>(index) + 1, tnStep(TNPeerStep::Close));
                    }
                    done = true;
                }
                if (!done && step.kind != TNPeerStep::Pause && elapsed >= step.duration &&
                    (step.kind == TNPeerStep::Expect || step.kind == TNPeerStep::ExpectMessage)) {
                    problem("timed out waiting for the client at step " + std::to_string(index));
                    open = false;
                    break;
                }
                if (!done)
                    break;
                index++;
                stepStarted = false;
            }
            if (!open)
                break;

            pollfd wait{fd, POLLIN, 0};
            if (sent < out.size())
                wait.events |= POLLOUT;
            poll(&wait, 1, 10);
            if (wait.revents & (POLLIN | POLLHUP | POLLERR)) {
                char buffer[65536];
                const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
                if (n > 0) {
                    std::lock_guard<std::mutex> hold(lock);
                    bytesIn.append(buffer, static_cast<size_t>(n));
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    std::lock_guard<std::mutex> hold(lock);
                    closedByClient = true;
                    open = false;
                }
            }
            if (open && sent < out.size()) {
                const ssize_t n = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
                if (n > 0) {
                    sent += static_cast<size_t>(n);
                    if (sent == out.size()) {
                        out.clear();
                        sent = 0;
                    }
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    std::lock_guard<std::mutex> hold(lock);
                    closedByClient = true;
                    open = false;
                }
            }
            changed.notify_all();
        }
        ::close(fd);
        {
            std::lock_guard<std::mutex> hold(lock);
            live = false;
        }
        changed.notify_all();
    }
};

TNScriptedPeer::TNScriptedPeer(TNPeerScript script) : impl(new Impl)
{
    impl->script = std::move(script);
}

TNScriptedPeer::~TNScriptedPeer()
{
    stop();
    delete impl;
}

bool TNScriptedPeer::listen()
{
    if (impl->running)
        return false;
    impl->listener = tnLoopbackListener(4, &impl->boundPort);
    if (impl->listener < 0)
        return false;
    impl->running = true;
    impl->thread = std::thread([this] { impl->loop(); });
    return true;
}

bool TNScriptedPeer::connectTo(const std::string& host, int port)
{
    if (impl->running)
        return false;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return false;
    }
    impl->outgoing = fd;
    impl->running = true;
    impl->thread = std::thread([this] { impl->loop(); });
    return true;
}

void TNScriptedPeer::stop()
{
    impl->running = false;
    if (impl->thread.joinable())
        impl->thread.join();
    if (impl->listener >= 0)
        close(impl->listener);
    impl->listener = -1;
    if (impl->outgoing >= 0)
        close(impl->outgoing);
    impl->outgoing = -1;
}

int TNScriptedPeer::port() const
{
    return impl->boundPort;
}

std::string TNScriptedPeer::address() const
{
    return "127.0.0.1:" + std::to_string(impl->boundPort);
}

void TNScriptedPeer::push(const TNPeerScript& more)
{
    std::lock_guard<std::mutex> hold(impl->lock);
    impl->pending.insert(impl->pending.end(), more.steps.begin(), more.steps.end());
}

int TNScriptedPeer::connections() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->connectionCount;
}

bool TNScriptedPeer::waitForConnections(int count, milliseconds timeout)
{
    std::unique_lock<std::mutex> hold(impl->lock);
    return impl->changed.wait_for(hold, timeout, [&] { return impl->connectionCount >= count; });
}

bool TNScriptedPeer::waitForClose(milliseconds timeout)
{
    std::unique_lock<std::mutex> hold(impl->lock);
    return impl->changed.wait_for(hold, timeout, [&] { return impl->connectionCount > 0 && !impl->live; });
}

bool TNScriptedPeer::clientClosed() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->closedByClient;
}

std::string TNScriptedPeer::received() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->bytesIn;
}

std::vector<TNClientMessage> TNScriptedPeer::clientMessages() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    if (impl->messagesStart == std::string::npos)
        return {};
    return tnParseMessages(impl->bytesIn, impl->messagesStart);
}

bool TNScriptedPeer::waitForMessage(int type, int count, milliseconds timeout)
{
    std::unique_lock<std::mutex> hold(impl->lock);
    return impl->changed.wait_for(hold, timeout, [&] {
        if (impl->messagesStart == std::string::npos)
            return false;
        int seen = 0;
        for (const auto& message : tnParseMessages(impl->bytesIn, impl->messagesStart))
            seen += message.type == type ? 1 : 0;
        return seen >= count;
    });
}

std::vector<std::string> TNScriptedPeer::problems() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->problemList;
}

// ---- an address that does not answer ----

TNUnansweringAddress::TNUnansweringAddress()
{
    listener = tnLoopbackListener(0, &boundPort);
    if (listener < 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(boundPort));
    // Fill the accept queue: connect until an attempt gets no answer.
    for (int attempt = 0; attempt < 8; attempt++) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            break;
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            queued.push_back(fd);
            continue;
        }
        pollfd wait{fd, POLLOUT, 0};
        if (errno == EINPROGRESS && poll(&wait, 1, 300) == 1) {
            queued.push_back(fd);
            continue;
        }
        close(fd);   // no answer: the queue is full
        return;
    }
    close(listener);   // never filled: no use as a silent address
    listener = -1;
}

TNUnansweringAddress::~TNUnansweringAddress()
{
    for (int fd : queued)
        close(fd);
    if (listener >= 0)
        close(listener);
}

std::string TNUnansweringAddress::address() const
{
    return "127.0.0.1:" + std::to_string(boundPort);
}
