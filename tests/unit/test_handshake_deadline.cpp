// The handshake's deadline: it ends a handshake that runs past it, and the time the user
// spends answering a question about the server does not count.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "connection/handshake_deadline.h"

namespace {

using std::chrono::milliseconds;

TEST(HandshakeDeadline, PausedTimeDoesNotCount)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    TNHandshakeDeadline deadline;
    deadline.start(1.0);
    deadline.noteSocket(pair[0]);
    deadline.pause();
    std::this_thread::sleep_for(milliseconds(1500));
    EXPECT_FALSE(deadline.expireIfDue()) << "ended while the user was asked";
    deadline.resume();
    EXPECT_FALSE(deadline.expireIfDue()) << "the paused time was counted";
    std::this_thread::sleep_for(milliseconds(1500));
    EXPECT_TRUE(deadline.expireIfDue());
    EXPECT_TRUE(deadline.finish());
    // The socket was shut down: the other end reads the end of the stream.
    char byte;
    EXPECT_EQ(read(pair[1], &byte, 1), 0);
    close(pair[0]);
    close(pair[1]);
}

} // namespace
