// The scripted peer against plain libvncclient: the handshake it scripts is one the
// library accepts, what it sends arrives as sent, and what the client sends is recorded.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <rfb/rfbclient.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/rfb_peer.h"

using namespace std::chrono_literals;

namespace {

const char* tnPeerPassword = nullptr;

char* tnPeerAnswer(rfbClient*)
{
    return strdup(tnPeerPassword ? tnPeerPassword : "");
}

// rfbInitClient against the peer; the client is returned (or null when the init failed).
rfbClient* tnConnect(const TNScriptedPeer& peer, const char* password = nullptr)
{
    tnPeerPassword = password;
    rfbClient* client = rfbGetClient(8, 3, 4);
    client->GetPassword = tnPeerAnswer;
    std::string address = peer.address();
    char program[] = "peer-test";
    char* argv[] = {program, address.data()};
    int argc = 2;
    if (!rfbInitClient(client, &argc, argv))
        return nullptr;   // the library freed the client
    return client;
}

TEST(ScriptedPeer, HandshakeUpdateAndRecording)
{
    TNScriptedPeer peer(TNPeerScript::handshake(32, 16, "peer desk", "secret").expectMessage(3)
                            .send(tnrfb::rawRect(1, 2, 2, 1, std::string("\x11\x22\x33\x00", 4))));
    ASSERT_TRUE(peer.listen());
    rfbClient* client = tnConnect(peer, "secret");
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->width, 32);
    EXPECT_EQ(client->height, 16);
    EXPECT_STREQ(client->desktopName, "peer desk");

    for (int i = 0; i < 100 && static_cast<uint8_t>(client->frameBuffer[(2 * 32 + 2) * 4]) != 0x11; i++) {
        if (WaitForMessage(client, 50000) > 0) {
            ASSERT_TRUE(HandleRFBServerMessage(client));
        }
    }
    const uint8_t* pixel = client->frameBuffer + (2 * 32 + 2) * 4;
    EXPECT_EQ(pixel[0], 0x11);
    EXPECT_EQ(pixel[1], 0x22);
    EXPECT_EQ(pixel[2], 0x33);

    SendKeyEvent(client, 0x61, TRUE);
    EXPECT_TRUE(peer.waitForMessage(4, 1, 5s));
    bool sawKey = false;
    for (const TNClientMessage& message : peer.clientMessages())
        sawKey |= message.type == 4 && message.bytes.size() == 8 && message.bytes[7] == 0x61;
    EXPECT_TRUE(sawKey);
    EXPECT_TRUE(peer.problems().empty());
    free(client->frameBuffer);   // the library's cleanup leaves the frame buffer to its owner
    rfbClientCleanup(client);
    EXPECT_TRUE(peer.waitForClose(5s));
    EXPECT_TRUE(peer.clientClosed());
}

TEST(ScriptedPeer, WrongPasswordAndRefusalEndTheHandshake)
{
    TNScriptedPeer locked(TNPeerScript::handshake(32, 16, "x", "secret"));
    ASSERT_TRUE(locked.listen());
    EXPECT_EQ(tnConnect(locked, "wrong"), nullptr);
    EXPECT_TRUE(locked.waitForClose(5s));
    ASSERT_EQ(locked.problems().size(), 1u);
    EXPECT_EQ(locked.problems()[0], "wrong password");

    TNScriptedPeer refusing(TNPeerScript::refusal("go away"));
    ASSERT_TRUE(refusing.listen());
    EXPECT_EQ(tnConnect(refusing), nullptr);
    EXPECT_TRUE(refusing.waitForClose(5s));
    EXPECT_EQ(refusing.received().substr(0, 4), "RFB ");
}

TEST(ScriptedPeer, UnansweringAddressLeavesTheConnectWaiting)
{
    TNUnansweringAddress silent;
    ASSERT_TRUE(silent.ok());
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(silent.port()));
    ASSERT_NE(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(errno, EINPROGRESS);
    pollfd wait{fd, POLLOUT, 0};
    EXPECT_EQ(poll(&wait, 1, 500), 0) << "no answer within half a second";
    close(fd);
}

} // namespace
