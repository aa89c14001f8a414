// Stand-alone test RFB server for the end-to-end scripts.
//
//   tn_test_server [--port N] [--width W] [--height H] [--password P]
//                  [--reverse HOST:PORT] [--animate] [--max-seconds S]
//                  [--key-log FILE] [--update-log FILE] [--stall]
//
// Prints "READY <port>" on standard output once it listens (on 127.0.0.1). It ends on
// SIGTERM or SIGINT, after --max-seconds (default 120), and when its standard input is a
// pipe, FIFO or socket that reaches end of file (so `coproc` or a pipe from the script
// ends it with the script). Other standard inputs (a terminal, /dev/null as background
// jobs get) are not read.
// --reverse connects to a listening viewer once it listens (tried for up to 10 seconds).
// --animate changes the whole screen about 20 times a second.
// --stall sends the client the start of an update at its first request, then nothing.
// --key-log writes each key event the server receives to FILE as it comes (within about
// 50 ms), one line each: "down" or "up" and the key symbol in hexadecimal ("down 0x41").
// --update-log writes a line "full" to FILE for each full (non-incremental) framebuffer
// update request the server receives, the same way.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/test_server.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void tnRequestStop(int)
{
    stopRequested = 1;
}

int tnUsage()
{
    fprintf(stderr,
            "usage: tn_test_server [--port N] [--width W] [--height H] [--password P]\n"
            "                      [--reverse HOST:PORT] [--animate] [--max-seconds S]\n"
            "                      [--key-log FILE] [--update-log FILE] [--stall]\n");
    return 2;
}

bool tnStdinEndsServer()
{
    struct stat info;
    return fstat(STDIN_FILENO, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

// True once standard input has reached end of file (waits at most `ms` milliseconds).
bool tnStdinClosed(int ms)
{
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (poll(&in, 1, ms) <= 0)
        return false;
    char buffer[256];
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof(buffer));
    return got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN);
}

// Appends the key events received since the last call (the first `*written` are in the
// file already).
void tnWriteKeyLog(FILE* log, const TNTestServer& server, size_t* written)
{
    const std::vector<TNKeyEvent> keys = server.keyEvents();
    for (; *written < keys.size(); ++*written) {
        const TNKeyEvent& key = keys[*written];
        fprintf(log, "%s 0x%x\n", key.down ? "down" : "up", key.keysym);
    }
    fflush(log);
}

// Appends a line for each full update request received since the last call.
void tnWriteUpdateLog(FILE* log, const TNTestServer& server, int* written)
{
    for (const int received = server.fullUpdateRequests(); *written < received; ++*written)
        fputs("full\n", log);
    fflush(log);
}

} // namespace

int main(int argc, char** argv)
{
    TNTestServerOptions options;
    std::string reverseHost;
    int reversePort = 0;
    bool animate = false;
    int maxSeconds = 120;
    const char* keyLogPath = nullptr;
    const char* updateLogPath = nullptr;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            options.port = atoi(argv[++i]);
        } else if (arg == "--width" && hasValue) {
            options.width = atoi(argv[++i]);
        } else if (arg == "--height" && hasValue) {
            options.height = atoi(argv[++i]);
        } else if (arg == "--password" && hasValue) {
            options.password = argv[++i];
        } else if (arg == "--reverse" && hasValue) {
            const std::string target = argv[++i];
            const size_t colon = target.rfind(':');
            if (colon == std::string::npos)
                return tnUsage();
            reverseHost = target.substr(0, colon);
            reversePort = atoi(target.c_str() + colon + 1);
        } else if (arg == "--stall") {
            options.stallAfterHandshake = true;
        } else if (arg == "--animate") {
            animate = true;
        } else if (arg == "--max-seconds" && hasValue) {
            maxSeconds = atoi(argv[++i]);
        } else if (arg == "--key-log" && hasValue) {
            keyLogPath = argv[++i];
        } else if (arg == "--update-log" && hasValue) {
            updateLogPath = argv[++i];
        } else {
            return tnUsage();
        }
    }
    if (options.width <= 0 || options.height <= 0 || maxSeconds <= 0)
        return tnUsage();

    signal(SIGPIPE, SIG_IGN);
    signal(SIGTERM, tnRequestStop);
    signal(SIGINT, tnRequestStop);

    FILE* keyLog = nullptr;
    if (keyLogPath && !(keyLog = fopen(keyLogPath, "w"))) {
        fprintf(stderr, "tn_test_server: cannot write %s: %s\n", keyLogPath, strerror(errno));
        return 1;
    }
    size_t keysWritten = 0;
    FILE* updateLog = nullptr;
    if (updateLogPath && !(updateLog = fopen(updateLogPath, "w"))) {
        fprintf(stderr, "tn_test_server: cannot write %s: %s\n", updateLogPath, strerror(errno));
        return 1;
    }
    int updatesWritten = 0;

    TNTestServer server(options);
    if (!server.start()) {
        fprintf(stderr, "tn_test_server: could not listen\n");
        return 1;
    }
    printf("READY %d\n", server.port());
    fflush(stdout);

    const bool watchStdin = tnStdinEndsServer();
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(maxSeconds);
    auto reverseUntil = start + std::chrono::seconds(10);
    bool reversePending = !reverseHost.empty();
    int frame = 0;
    while (!stopRequested && std::chrono::steady_clock::now() < deadline) {
        if (reversePending) {
            if (server.reverseConnect(reverseHost, reversePort)) {
                reversePending = false;
            } else if (std::chrono::steady_clock::now() >= reverseUntil) {
                fprintf(stderr, "tn_test_server: reverse connection to %s:%d failed\n", reverseHost.c_str(),
                        reversePort);
                reversePending = false;
            }
        }
        if (keyLog)
            tnWriteKeyLog(keyLog, server, &keysWritten);
        if (updateLog)
            tnWriteUpdateLog(updateLog, server, &updatesWritten);
        if (animate) {
            frame++;
            server.fill(static_cast<uint8_t>(frame * 7), static_cast<uint8_t>(frame * 13),
                        static_cast<uint8_t>(255 - frame * 5));
        }
        if (watchStdin) {
            if (tnStdinClosed(50))
                break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    server.stop();
    if (keyLog) {
        tnWriteKeyLog(keyLog, server, &keysWritten);
        fclose(keyLog);
    }
    if (updateLog) {
        tnWriteUpdateLog(updateLog, server, &updatesWritten);
        fclose(updateLog);
    }
    return 0;
}
