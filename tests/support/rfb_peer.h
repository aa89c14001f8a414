// TNScriptedPeer: an RFB peer on loopback whose every byte is scripted by the test, for
// servers that a real server library cannot imitate (malformed or hostile messages, huge
// screens, refusals, silence).
//
// The peer serves one connection at a time on a thread of its own, either accepting on a
// free loopback port or connecting out to a listening viewer. Each connection runs the
// peer's script: a list of steps (send bytes, wait for the client's bytes, pause, close,
// hold the line silent). `TNPeerScript::handshake()` builds the server side of an RFB 3.8
// handshake; the test appends what follows. Steps can also be added to the live
// connection while it runs (`push`). Every wait is bounded; everything the client sends
// is recorded.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Big-endian byte builder for RFB messages.
class TNBytes {
public:
    TNBytes& u8(uint32_t value);
    TNBytes& u16(uint32_t value);
    TNBytes& u32(uint32_t value);
    TNBytes& s32(int32_t value) { return u32(static_cast<uint32_t>(value)); }
    TNBytes& raw(const std::string& bytes);
    TNBytes& raw(const void* data, size_t length);
    TNBytes& zeros(size_t count);
    TNBytes& append(const TNBytes& other) { return raw(other.data); }
    size_t size() const { return data.size(); }

    std::string data;
};

struct TNPixelFormat {
    int bitsPerPixel = 32;
    int depth = 24;
    bool bigEndian = false;
    bool trueColour = true;
    int redMax = 255, greenMax = 255, blueMax = 255;
    int redShift = 0, greenShift = 8, blueShift = 16;

    TNBytes bytes() const;   // the 16-byte PIXEL_FORMAT
};

// Messages and parts of messages a server sends.
namespace tnrfb {
constexpr int32_t encRaw = 0;
constexpr int32_t encCopyRect = 1;
constexpr int32_t encRRE = 2;
constexpr int32_t encCoRRE = 4;
constexpr int32_t encHextile = 5;
constexpr int32_t encZlib = 6;
constexpr int32_t encTight = 7;
constexpr int32_t encUltra = 9;
constexpr int32_t encZRLE = 16;
constexpr int32_t encRichCursor = -239;
constexpr int32_t encXCursor = -240;
constexpr int32_t encPointerPos = -232;
constexpr int32_t encDesktopSize = -223;
constexpr int32_t encExtDesktopSize = -308;
constexpr int32_t encLastRect = -224;

TNBytes serverInit(int width, int height, const TNPixelFormat& format, const std::string& name);
// FramebufferUpdate header announcing `rects` rectangles (0xFFFF with LastRect).
TNBytes updateHeader(int rects);
// Rectangle header: x, y, w, h, encoding. The body follows as raw bytes of the test's choice.
TNBytes rectHeader(int x, int y, int w, int h, int32_t encoding);
// A whole FramebufferUpdate with one DesktopSize pseudo-rectangle.
TNBytes desktopSize(int width, int height);
// A whole FramebufferUpdate with one raw rectangle of `pixel` (bytes of one pixel) repeated.
TNBytes rawRect(int x, int y, int w, int h, const std::string& pixel);
// SetColourMapEntries: first colour and 16-bit r, g, b triples.
TNBytes colourMap(int firstColour, const std::vector<uint16_t>& rgb);
TNBytes cutText(const std::string& text);
TNBytes bell();
} // namespace tnrfb

struct TNPeerStep {
    enum Kind {
        Send,       // write `bytes`
        Expect,     // wait until `count` more bytes of the client arrived (or timeout: the connection closes)
        ExpectMessage, // wait for the client's next message of type `count` after the handshake
        Pause,      // wait `duration` (the client's bytes are still read)
        Close,      // close the connection
        Hold,       // keep the connection open and silent until the client closes or the peer stops
        EndHandshake, // the client's bytes from here on are messages (see clientMessages)
        AuthResult, // VncAuth: check the client's answer to the challenge, send the SecurityResult
    };
    Kind kind;
    std::string bytes;
    size_t count = 0;
    std::chrono::milliseconds duration{0};
};

class TNPeerScript {
public:
    // The server side of an RFB 3.8 handshake. Security: `refusal` non-empty: no security
    // types, this reason, then close. Otherwise type None when `password` is empty, VncAuth
    // with a fixed challenge when not (the client's answer is checked against `password`;
    // a wrong one gets a failed SecurityResult with "Authentication failed" and the close).
    // Then the client's ClientInit and the ServerInit.
    static TNPeerScript handshake(int width, int height, const std::string& name = "tn-peer",
                                  const std::string& password = "", const TNPixelFormat& format = {});
    static TNPeerScript refusal(const std::string& reason);

    TNPeerScript& send(const std::string& bytes);
    TNPeerScript& send(const TNBytes& bytes) { return send(bytes.data); }
    // `bytes` one at a time, `gap` apart.
    TNPeerScript& drip(const std::string& bytes, std::chrono::milliseconds gap);
    TNPeerScript& expect(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits for the client's next message of this type (3 = FramebufferUpdateRequest, ...).
    TNPeerScript& expectMessage(int type, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    TNPeerScript& pause(std::chrono::milliseconds duration);
    TNPeerScript& close();
    TNPeerScript& hold();
    TNPeerScript& endHandshake();
    TNPeerScript& append(const TNPeerScript& other);

    std::vector<TNPeerStep> steps;
    // Set by the VncAuth handshake: the password the client's answer must match.
    bool checkPassword = false;
    std::string password;
};

struct TNClientMessage {
    int type;
    std::string bytes;   // the whole message, type byte included
};

class TNScriptedPeer {
public:
    explicit TNScriptedPeer(TNPeerScript script);
    ~TNScriptedPeer();

    // Listens on a free loopback port (>= 5900) and serves connections one after another.
    bool listen();
    // Connects out to a listening viewer and serves that one connection.
    bool connectTo(const std::string& host, int port);
    void stop();

    int port() const;
    std::string address() const;   // "127.0.0.1:<port>"

    // Steps for the live connection (or the next one), run after its script.
    void push(const TNPeerScript& more);

    int connections() const;   // connections accepted or made so far
    bool waitForConnections(int count, std::chrono::milliseconds timeout);
    // True once the current connection is closed (by either side) and its script is over.
    bool waitForClose(std::chrono::milliseconds timeout);
    bool clientClosed() const;  // the client closed the last connection
    // Bytes the client sent on the last connection, and its messages after the handshake.
    std::string received() const;
    std::vector<TNClientMessage> clientMessages() const;
    bool waitForMessage(int type, int count, std::chrono::milliseconds timeout);
    // What went wrong on the peer's side (an expectation not met in time, a wrong password...).
    std::vector<std::string> problems() const;

private:
    struct Impl;
    Impl* impl;
};

// An address on loopback that does not answer: a listener with backlog 0 whose accept
// queue is already full, so further connection attempts are left without a reply.
class TNUnansweringAddress {
public:
    TNUnansweringAddress();
    ~TNUnansweringAddress();
    bool ok() const { return listener >= 0; }
    int port() const { return boundPort; }
    std::string address() const;

private:
    int listener = -1;
    int boundPort = 0;
    std::vector<int> queued;
};
