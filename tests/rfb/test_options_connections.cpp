// The options window and the custom commands next to live connections: deleting or editing
// a connected or connecting host, and what a running command inherits.
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Radio_Round_Button.H>
#include <FL/Fl_Scroll.H>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <set>
#include <sstream>

#include "commands/custom_command.h"
#include "core/descriptors.h"
#include "dialogs/connection_options.h"
#include "gui/inputs.h"
#include "rfb_fixture.h"

namespace {

class OptionsWithConnections : public TNConnectionTest {
protected:
    void openOptions(HostItem* itm)
    {
        tnShowItemOptions(itm);
        ASSERT_EQ(app->itmBeingEdited, itm);
        tnTestFocusWindow(app->childWindow);
    }
    void save() { tnTestPressKey(app->childWindow, FL_Enter, "\r"); }
};

TEST_F(OptionsWithConnections, DeletingAConnectedHostEndsItsConnectionFirst)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("office", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    tnClickHostLine(lineOf(itm), 1);
    ASSERT_EQ(app->vncViewer->vnc, tnVncOf(itm));

    openOptions(itm);
    tnTestClick(app->childWindow, ItmOpts.deleteButton);
    EXPECT_EQ(app->childWindow, nullptr);
    EXPECT_EQ(lineOf(itm), 0);
    EXPECT_FALSE(tnIsConnected(itm));
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
    EXPECT_EQ(engine.activeConnectionCount, 0);
    EXPECT_EQ(countOf(logText(), "Manually disconnected from 'office' - 127.0.0.1\n"), 1);
    EXPECT_TRUE(waitFor([server] { return server->clientCount() == 0; })) << "the server still has the client";
}

TEST_F(OptionsWithConnections, DeletingAConnectingHostEndsItsHandshake)
{
    TNSilentServer silent;  // accepts and never speaks: the handshake stays under way
    HostItem* itm = addHost("silent", silent.port);
    VncObject::createVNCObject(itm);
    ASSERT_EQ(tnStateOf(itm), TNConnectionState::Connecting);
    openOptions(itm);
    tnTestClick(app->childWindow, ItmOpts.deleteButton);
    EXPECT_EQ(lineOf(itm), 0);
    EXPECT_NE(tnStateOf(itm), TNConnectionState::Connecting);
    EXPECT_EQ(countOf(logText(), "Manually disconnected from 'silent' - 127.0.0.1\n"), 1);
    silent.close();
}

// Scaling applies to the shown picture at once; the address applies at the next attempt.
TEST_F(OptionsWithConnections, SavingAConnectedHostAppliesViewValuesAtOnce)
{
    TNTestServer* server = startServerOfSize(1600, 1200);
    HostItem* itm = addHost("big", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    tnClickHostLine(lineOf(itm), 1);
    ASSERT_EQ(app->vncViewer->w(), 1600) << "scrolled 1:1";

    openOptions(itm);
    ItmOpts.scaleUpDownRadio->setonly();
    ItmOpts.addressInput->value("127.0.0.2");
    save();
    EXPECT_EQ(itm->scaling, 'z');
    EXPECT_LT(app->vncViewer->w(), app->scroller->w() + 1) << "scaled to fit at once";
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(itm));
    EXPECT_TRUE(tnIsConnected(itm)) << "the connection goes on";
    EXPECT_EQ(tnVncOf(itm)->handshakeHost.connectAddress, "127.0.0.1:" + std::to_string(server->port()));
}

// A plain VNC host saved as "VNC through SSH" while connected keeps its connection: the
// watcher (which looks while any attempt is pending) does not take it for a lost tunnel.
TEST_F(OptionsWithConnections, TypeSavedAsSshLeavesAPlainConnectionUp)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("plain", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    openOptions(itm);
    ItmOpts.vncSshRadio->setonly();
    save();
    ASSERT_EQ(itm->hostType, 's');

    TNSilentServer silent;
    HostItem* waiting = addHost("waiting", silent.port);
    VncObject::createVNCObject(waiting);
    ASSERT_GT(engine.pendingConnectionCount, 0);
    tnTestPump(2.5);  // two passes of the one-second watcher
    EXPECT_TRUE(tnIsConnected(itm));
    EXPECT_EQ(countOf(logText(), "disconnected from 'plain'"), 0);
    silent.close();
}

// A host edited while its handshake runs: the attempt goes on with the values it started
// with, the next one takes the new ones.
TEST_F(OptionsWithConnections, SavingAConnectingHostChangesOnlyTheNextAttempt)
{
    TNTestServerOptions options;
    options.password = "secret12";
    TNTestServer* server = startServer(options);
    HostItem* itm = addHost("locked", server->port(), "secret12");
    VncObject::createVNCObject(itm);
    ASSERT_EQ(tnStateOf(itm), TNConnectionState::Connecting);
    openOptions(itm);
    ItmOpts.vncPasswordInput->value("wrong-pw");
    save();
    EXPECT_EQ(itm->vncPassword, "wrong-pw");
    ASSERT_TRUE(waitFor([itm] { return tnIsConnected(itm) && tnHostStatusImage(itm) == app->iconConnected; }));

    tnDisconnect(itm);
    VncObject::createVNCObject(itm);
    EXPECT_TRUE(waitFor([itm] { return tnStateOf(itm) == TNConnectionState::Failed; }, 15.0))
        << "the next attempt uses the saved password";
}

// The socket behind a link in /proc (e.g. "socket:[1234]") of one of this process's descriptors.
std::string descriptorTarget(int fd)
{
    char target[256] = {0};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(link.c_str(), target, sizeof(target) - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
}

// "socket:[inode]" of a socket listening on TCP `port`, or "".
std::string listeningSocketOnPort(int port)
{
    const std::set<unsigned long> inodes = tnListeningSocketInodes(port);
    return inodes.empty() ? "" : "socket:[" + std::to_string(*inodes.begin()) + "]";
}

// This process's descriptor whose target is `target`, or -1.
int descriptorOf(const std::string& target)
{
    for (int fd = 0; fd < 1024; fd++) {
        if (descriptorTarget(fd) == target)
            return fd;
    }
    return -1;
}

class CommandsBesidePort5500 : public OptionsWithConnections {
protected:
    void SetUp() override
    {
        OptionsWithConnections::SetUp();
        const int probe = tnTestBindPort(tnListenPort);
        if (probe < 0)
            GTEST_SKIP() << "port " << tnListenPort << " is in use on this machine";
        close(probe);
    }
};

// A command started while a host is connected and a listening line waits on port 5500
// holds neither socket: the library's sockets are close-on-exec and the shell gets no
// descriptor beyond the standard streams.
TEST_F(CommandsBesidePort5500, RunningCommandHoldsNoConnectionNorTheListeningPort)
{
    TNTestServer* server = startServer();
    HostItem* itm = addHost("office", server->port());
    ASSERT_TRUE(connectAndWait(itm));
    tnHandleHostListButtons(app->btnListen, nullptr);
    HostItem* listener = tnItemFromLine(app->hostList->size());
    ASSERT_TRUE(listener && listener->isListener);
    // The listening worker owns its client: the socket is found from the outside.
    std::string listeningTarget;
    ASSERT_TRUE(waitFor([&] { return !(listeningTarget = listeningSocketOnPort(tnListenPort)).empty(); }));
    const int listening = descriptorOf(listeningTarget);
    ASSERT_GE(listening, 0);

    const int connection = tnVncOf(itm)->vncClient->sock;
    EXPECT_TRUE(tnIsCloseOnExec(connection));
    EXPECT_TRUE(tnIsCloseOnExec(listening));
    const std::set<std::string> ours = {descriptorTarget(connection), listeningTarget};
    ASSERT_EQ(ours.size(), 2u);

    const std::string out = dir + "/fds.txt";
    tnRunCommand("List", "for f in /proc/$$/fd/*; do readlink \"$f\"; done > '" + out + "'; touch '" + out + ".done'");
    ASSERT_TRUE(waitFor([&] { return access((out + ".done").c_str(), F_OK) == 0; }, 10.0));
    std::istringstream lines(tnTestReadFile(out));
    std::string target;
    int count = 0;
    while (std::getline(lines, target)) {
        count++;
        EXPECT_EQ(ours.count(target), 0u) << target;
    }
    EXPECT_GE(count, 1);
    EXPECT_TRUE(messages.empty());
}

} // namespace
