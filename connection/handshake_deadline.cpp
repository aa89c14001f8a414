#include "connection/handshake_deadline.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

TNHandshakeDeadline::~TNHandshakeDeadline()
{
    if (socket >= 0)
        close(socket);
}

void TNHandshakeDeadline::start(double seconds)
{
    std::lock_guard<std::mutex> hold(lock);
    running = seconds > 0;
    expired = false;
    paused = false;
    end = std::chrono::steady_clock::now() +
          std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

void TNHandshakeDeadline::noteSocket(int fd)
{
    std::lock_guard<std::mutex> hold(lock);
    if (!running || socket >= 0 || fd < 0)
        return;
    socket = fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

bool TNHandshakeDeadline::finish()
{
    std::lock_guard<std::mutex> hold(lock);
    running = false;
    if (socket >= 0)
        close(socket);
    socket = -1;
    return expired;
}

bool TNHandshakeDeadline::expireIfDue()
{
    std::lock_guard<std::mutex> hold(lock);
    if (!running || expired || paused || socket < 0 || std::chrono::steady_clock::now() < end)
        return false;
    expired = true;
    // The duplicate shares the connection: the library's read of the original ends.
    shutdown(socket, SHUT_RDWR);
    return true;
}

void TNHandshakeDeadline::pause()
{
    std::lock_guard<std::mutex> hold(lock);
    if (paused)
        return;
    paused = true;
    pausedAt = std::chrono::steady_clock::now();
}

void TNHandshakeDeadline::resume()
{
    std::lock_guard<std::mutex> hold(lock);
    if (!paused)
        return;
    paused = false;
    end += std::chrono::steady_clock::now() - pausedAt;
}
