// The deadline of a handshake: however slowly a server answers, a handshake that has not
// finished within the connect time-out is ended. The worker runs the handshake and tells
// the deadline its socket; the window's thread looks at the deadline once a second and, when
// it has passed, shuts the socket down, which ends the library's read at once.
#pragma once

#include <chrono>
#include <mutex>

class TNHandshakeDeadline {
public:
    TNHandshakeDeadline() = default;
    ~TNHandshakeDeadline();
    TNHandshakeDeadline(const TNHandshakeDeadline&) = delete;
    TNHandshakeDeadline& operator=(const TNHandshakeDeadline&) = delete;

    // Worker: the handshake starts now and may take `seconds` (0 or less: no deadline).
    void start(double seconds);
    // Worker (the thread that reads `fd`): the handshake's socket, once it is connected;
    // the deadline keeps a duplicate of it until finish(), so it can never shut down a
    // descriptor that has been closed and reused. Ignored outside a handshake.
    void noteSocket(int fd);
    // Worker: the handshake is over. True when the deadline ended it.
    bool finish();
    // Any thread: when the handshake runs past its deadline and its socket is known, shuts
    // the socket down and returns true (once). Never while paused.
    bool expireIfDue();
    // Worker: the handshake waits for the user (a question about the server's certificate);
    // that time does not count, the deadline moves on by as much at resume().
    void pause();
    void resume();

private:
    std::mutex lock;
    std::chrono::steady_clock::time_point end;
    bool running = false;
    bool expired = false;
    bool paused = false;
    std::chrono::steady_clock::time_point pausedAt;
    int socket = -1;
};
