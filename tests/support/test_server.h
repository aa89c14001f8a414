// A real RFB server on loopback, built on libvncserver, for the connection tests,
// the end-to-end tests and the benchmarks.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct TNTestServerOptions {
    int width = 64;
    int height = 48;
    int port = 0;                      // 0: pick a free loopback port
    std::string password;              // non-empty: VNC password authentication
    std::string plainUser;             // non-empty: VeNCrypt Plain user-name/password authentication
    std::string plainPassword;
    std::string desktopName = "tn-test";
    bool stallAfterHandshake = false;  // stall (see stallMidMessage) at the client's first update request
};

// A rectangle of the screen filled with one colour.
struct TNTestFill {
    int x, y, w, h;
    uint8_t r, g, b;
};

struct TNPointerEvent {
    int x, y, mask;
};
struct TNKeyEvent {
    uint32_t keysym;
    bool down;
};

class TNTestServer {
public:
    explicit TNTestServer(const TNTestServerOptions& options);
    ~TNTestServer();

    bool start();                       // false when the server could not start
    void stop();
    int port() const;
    std::string address() const;        // "127.0.0.1:<port>" (ports >= 5900 only; see the platform notes)

    // The known screen: pixel (x, y) has R = x*4 & 255, G = y*4 & 255, B = 0x80.
    static void patternPixel(int x, int y, uint8_t rgb[3]);
    // Fill the whole screen with one colour and send the change.
    void fill(uint8_t r, uint8_t g, uint8_t b);
    void markAllModified();
    // Fill the rectangle x, y, w, h (clipped to the screen) with one colour and send only it.
    void fillRect(int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b);
    // The same for several rectangles at once: a client waiting for an update gets them all
    // in one.
    void fillRects(const std::vector<TNTestFill>& fills);
    // Change the desktop size (clients that allow it get a new frame buffer).
    void resize(int width, int height);
    // A cursor shape (w x h, hot spot; every pixel opaque) sent to clients that asked for it.
    void setCursor(int w, int h, int hotX, int hotY);
    void sendCutText(const std::string& text);
    // UTF-8 text through the extended clipboard to clients that announced it (the library
    // speaks it); `latin1` to the others.
    void sendCutTextUtf8(const std::string& utf8, const std::string& latin1);
    // A cut text and an update of the top-left 4x4 pixels written back to back, so that
    // they reach the client together (one read of the client takes both).
    void sendCutTextWithUpdate(const std::string& text);
    // Closes every client connection.
    void dropClients();
    // Sends the first bytes of a message and then nothing (the client is left mid-message):
    // a ServerCutText that announces 100 bytes and carries 10.
    void stallMidMessage();
    // Connects to a listening viewer (reverse connection), e.g. to 127.0.0.1:5500.
    bool reverseConnect(const std::string& host, int port);

    int clientCount() const;
    std::vector<TNPointerEvent> pointerEvents() const;
    std::vector<TNKeyEvent> keyEvents() const;
    // Cut text received: Latin-1, or UTF-8 as the extended clipboard carries it (CRLF line
    // ends, without its terminating NUL).
    std::vector<std::string> cutTexts() const;
    int updateRequests() const;         // framebuffer update requests received
    int fullUpdateRequests() const;     // non-incremental ones
    void clearRecords();

private:
    struct Impl;
    Impl* impl;
};
