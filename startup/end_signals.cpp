#include "startup/end_signals.h"

#include <FL/Fl.H>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

#include "gui/main_window.h"

namespace {

// Written by the handlers, read on the main thread.
int signalPipe[2] = {-1, -1};

// Async-signal-safe: write() and errno only.
extern "C" void tnOnEndSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    if (write(signalPipe[1], &number, 1) < 0) {
        // The pipe is full: a shut-down is asked for already.
    }
    errno = saved;
}

// Main thread, woken by the pipe.
void tnEndSignalArrived(FL_SOCKET fd, void*)
{
    unsigned char number = 0;
    if (read(fd, &number, 1) != 1)
        return;
    Fl::remove_fd(fd);
    tnShutDownAndExit(tnExitStatusForSignal(number));
}

} // namespace

int tnExitStatusForSignal(int signal)
{
    return signal == SIGINT ? 128 + SIGINT : 0;
}

void tnHandleEndSignals()
{
    if (signalPipe[0] >= 0 || pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    Fl::add_fd(signalPipe[0], FL_READ, tnEndSignalArrived);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = tnOnEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}
