// Hosts of type 's': connections through a real OpenSSH server on loopback (started by each
// test with tests/tools/tn_test_sshd.sh), and the attempts refused before ssh runs.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Window.H>

#include "connection/ssh_host_keys.h"
#include "connection/ssh_tunnel.h"
#include "core/environment.h"
#include "core/process.h"
#include "rfb/rfb_fixture.h"
#include "support/rfb_peer.h"

namespace {

std::string tnScriptPath()
{
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/../tools/tn_test_sshd.sh";
}

// Processes whose command line mentions `text` (the test's own directory).
int tnProcessesMentioning(const std::string& text)
{
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc)
        return 0;
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        // A process may end while it is read: what was read is all there is.
        const int fd = open((std::string("/proc/") + entry->d_name + "/cmdline").c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        std::string line;
        char buffer[4096];
        ssize_t got;
        while ((got = read(fd, buffer, sizeof(buffer))) > 0)
            line.append(buffer, static_cast<size_t>(got));
        close(fd);
        for (char& c : line)
            if (c == '\0')
                c = ' ';
        // The sshd serving a test mentions the directory too, and so does the short check of
        // the ssh command before a tunnel starts: neither is an ssh client.
        if (line.find(text + "/ssh") != std::string::npos && line.find("sshd_config") == std::string::npos &&
            line.find("which ") == std::string::npos)
            count++;
    }
    closedir(proc);
    return count;
}

// The client's frame buffer holds the test server's pattern (Tight JPEG changes colours by
// a few units).
// The local port of the host's tunnel (0 without one).
int tunnelPort(const HostItem* itm)
{
    const VncObject* vnc = tnVncOf(itm);
    return vnc && vnc->sshTunnel ? vnc->sshTunnel->localPort() : 0;
}

bool tnShowsPattern(const HostItem* itm)
{
    const rfbClient* client = tnVncOf(itm) ? tnVncOf(itm)->vncClient : nullptr;
    if (!client || !client->frameBuffer || client->width < 32 || client->height < 32)
        return false;
    for (const int x : {5, 30}) {
        uint8_t rgb[3];
        TNTestServer::patternPixel(x, 20, rgb);
        uint8_t pixel[3];
        tnPixelRgb(tnPixelLayout(), client->frameBuffer + (20 * client->width + x) * 4, pixel);
        for (int i = 0; i < 3; i++)
            if (std::abs(pixel[i] - rgb[i]) > 16)
                return false;
    }
    return true;
}

// The OpenSSH server of one test, on a free port of 127.0.0.1.
class TNTestSshd {
public:
    explicit TNTestSshd(const std::string& directory) : dir(directory) {}
    ~TNTestSshd() { stop(); }

    // False with `why` set when sshd cannot run here (the test is then skipped).
    bool start(std::string* why)
    {
        mkdir(dir.c_str(), 0700);
        const std::string script = tnScriptPath();
        const std::string log = dir + "/script.log";
        pid = fork();
        if (pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            execl("/bin/bash", "bash", script.c_str(), dir.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int tenth = 0; tenth < 150; tenth++) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                *why = "tn_test_sshd.sh ended with status " + std::to_string(WEXITSTATUS(status)) + ": " +
                       tnTestReadFile(log) + tnTestReadFile(dir + "/sshd.log");
                return false;
            }
            port = atoi(tnTestReadFile(dir + "/port").c_str());
            if (port > 0 && tnTestPortIsListening(port)) {
                // As the script names it in ssh's command line (which the tests look for).
                if (char* real = realpath(dir.c_str(), nullptr)) {
                    dir = real;
                    free(real);
                }
                return true;
            }
            usleep(100000);
        }
        *why = "sshd did not listen within 15 s: " + tnTestReadFile(dir + "/sshd.log");
        return false;
    }

    void stop()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }

    // The wrapper's first sleep (seconds) before it starts ssh.
    void setDelay(const std::string& seconds) { tnTestWriteFile(dir + "/delay", seconds + "\n"); }

    std::string dir;
    int port = 0;
    pid_t pid = -1;
};

class SSHTunnel : public TNConnectionTest {
protected:
    std::unique_ptr<TNTestSshd> sshd;
    std::string login;

    void SetUp() override
    {
        TNConnectionTest::SetUp();
        login = tnLoginNameFromEnvironment();
        appOptions.debugMode = true;
    }

    void TearDown() override
    {
        TNConnectionTest::TearDown();
        if (sshd) {
            // Every ssh of the test ends (closer threads end them in the background).
            EXPECT_TRUE(waitFor([this] { return sshProcesses() == 0; }, 6)) << "ssh still runs";
            sshd->stop();
        }
    }

    // Starts the test's sshd; false when the test must be skipped.
    bool startSshd()
    {
        sshd = std::make_unique<TNTestSshd>(dir + "/tunnel");
        std::string why;
        if (!sshd->start(&why)) {
            unavailable = why;
            return false;
        }
        appOptions.sshCommand = sshd->dir + "/ssh";
        return true;
    }

    HostItem* addSSHHost(const std::string& name, int vncPort)
    {
        HostItem* itm = addHost(name, vncPort);
        itm->hostType = 's';
        itm->sshPort = std::to_string(sshd->port);
        itm->sshUser = login;
        itm->sshKeyPrivate = sshd->dir + "/client_key";
        return itm;
    }

    int sshProcesses() const { return tnProcessesMentioning(sshd->dir); }

    // Questions open their windows, whose buttons the test presses (not the choice hook).
    static void askInWindows() { tnModalHooks().choice = nullptr; }

    // The window that asks about an unknown host key, or null.
    static Fl_Window* hostKeyWindow() { return questionWindow(tnHostKeyWindowTitle); }

    static void press(Fl_Window* window, const std::string& label)
    {
        if (Fl_Widget* button = childLabelled(window, label))
            button->do_callback();
    }

    // The server's host key as a known-hosts line, or another key in its place.
    std::string knownHostsLine(bool serverKey) const
    {
        const std::string key = tnTestReadFile(sshd->dir + (serverKey ? "/host_key.pub" : "/client_key.pub"));
        return "[127.0.0.1]:" + std::to_string(sshd->port) + " " + key.substr(0, key.rfind(' ')) + "\n";
    }

    std::string knownHosts() const { return tnTestReadFile(sshd->dir + "/known_hosts"); }

    std::string unavailable;
};

#define TN_REQUIRE_SSHD()                                               \
    do {                                                                \
        if (!startSshd())                                               \
            GTEST_SKIP() << "sshd cannot run here: " << unavailable;    \
    } while (0)

} // namespace

TEST_F(SSHTunnel, ConnectsThroughTheTunnelAndEndsSSHWhenDisconnected)
{
    TN_REQUIRE_SSHD();
    TNTestServer* server = startServer();
    // Below 5900: the library would read "127.0.0.1:47xx" as display 47xx.
    appOptions.startingLocalPort = 4700;
    HostItem* itm = addSSHHost("tunnelled", server->port());
    sshd->setDelay("0.5");

    VncObject::createVNCObject(itm);
    // The wait runs off the main thread: events are handled while ssh starts.
    static bool ticked = false;
    ticked = false;
    Fl::add_timeout(0.05, [](void*) { ticked = true; });
    ASSERT_TRUE(waitFor([] { return ticked; }, 2));
    EXPECT_EQ(tnStateOf(itm), TNConnectionState::Connecting);
    EXPECT_FALSE(tnIsConnected(itm));
    EXPECT_EQ(server->clientCount(), 0);

    ASSERT_TRUE(waitFor([itm] { return tnIsConnected(itm) && tnHostStatusImage(itm) == app->iconConnected; }, 15))
        << logText() << tnTestReadFile(sshd->dir + "/sshd.log");
    const int port = tunnelPort(itm);
    EXPECT_GE(port, 4700);
    EXPECT_LT(port, 4799);
    EXPECT_EQ(tnVncOf(itm)->handshakeHost.connectAddress, "127.0.0.1:" + std::to_string(port));
    EXPECT_TRUE(tnVncOf(itm)->sshReady);
    EXPECT_TRUE(tnTestPortIsListening(port));
    EXPECT_EQ(server->clientCount(), 1);
    EXPECT_GE(sshProcesses(), 1);
    // The picture arrives through the tunnel.
    tnClickHostLine(lineOf(itm), 1);
    ASSERT_EQ(app->vncViewer->vnc, tnVncOf(itm));
    ASSERT_TRUE(runMainLoopUntil([itm] { return tnShowsPattern(itm); }, 5));

    const std::string log = logText();
    EXPECT_EQ(countOf(log, "Attempting to connect to 'tunnelled' - 127.0.0.1\n"), 1);
    EXPECT_EQ(countOf(log, "check command is: which '" + sshd->dir + "/ssh' > /dev/null\n"), 1);
    EXPECT_EQ(countOf(log, "Connected to 'tunnelled' - 127.0.0.1\n"), 1);
    // The command line is not logged.
    EXPECT_EQ(log.find("ExitOnForwardFailure"), std::string::npos);
    EXPECT_EQ(log.find(":127.0.0.1:"), std::string::npos);

    tnDisconnect(itm);
    ASSERT_NE(tnVncOf(itm), nullptr);
    EXPECT_FALSE(tnVncOf(itm)->sshReady);
    ASSERT_TRUE(waitFor([&] { return sshProcesses() == 0; }, 6)) << "ssh still runs after the disconnect";
    EXPECT_TRUE(waitFor([port] { return !tnTestPortIsListening(port) && !tnTcpPortIsReserved(port); }, 2));
    EXPECT_TRUE(waitFor([server] { return server->clientCount() == 0; }, 5));
    EXPECT_EQ(countOf(logText(), "Manually disconnected from 'tunnelled' - 127.0.0.1\n"), 1);
}

TEST_F(SSHTunnel, TwoHostsConnectedAtOnceEachHaveTheirOwnPort)
{
    TN_REQUIRE_SSHD();
    TNTestServer* first = startServer();
    TNTestServer* second = startServer();
    appOptions.startingLocalPort = 16400;
    HostItem* a = addSSHHost("first", first->port());
    HostItem* b = addSSHHost("second", second->port());
    // Both attempts are under way together: the second searches while the first's port is
    // not yet taken by its ssh, so only the reservation keeps them apart.
    VncObject::createVNCObject(a);
    VncObject::createVNCObject(b);
    const int portA = tunnelPort(a);
    const int portB = tunnelPort(b);
    EXPECT_NE(portA, portB);
    ASSERT_TRUE(waitFor(
                    [a, b] {
                        return tnIsConnected(a) && tnIsConnected(b) && tnHostStatusImage(a) == app->iconConnected &&
                               tnHostStatusImage(b) == app->iconConnected;
                    },
                        15))
        << logText();
    EXPECT_EQ(first->clientCount(), 1);
    EXPECT_EQ(second->clientCount(), 1);
    // Each reaches its own server: ending one leaves the other's tunnel and connection alone.
    tnDisconnect(a);
    ASSERT_TRUE(waitFor([first] { return first->clientCount() == 0; }, 6));
    EXPECT_TRUE(waitFor([&] { return !tnTestPortIsListening(portA); }, 3));
    EXPECT_EQ(second->clientCount(), 1);
    EXPECT_TRUE(tnTestPortIsListening(portB));
    EXPECT_TRUE(tnIsConnected(b));
}

TEST_F(SSHTunnel, RefusedLoginFailsAsSoonAsSSHEnds)
{
    TN_REQUIRE_SSHD();
    TNTestServer* server = startServer();
    HostItem* itm = addSSHHost("refused", server->port());
    // A valid key that the server does not accept.
    itm->sshKeyPrivate = sshd->dir + "/host_key";
    // Far longer than the test waits: the failure must come from ssh's end, not the wait.
    itm->sshWait = 60;
    VncObject::createVNCObject(itm);
    ASSERT_TRUE(waitFor([itm] { return tnHostStatusImage(itm) == app->iconDisconnectedBigError; }, 20)) << logText();
    EXPECT_FALSE(tnIsConnected(itm));
    // ssh's own reason, in the quick-info panel and the log.
    const std::string reason = tnLastErrorOf(itm);
    const std::string denied = "@127.0.0.1: Permission denied (publickey).";
    EXPECT_EQ(reason.substr(reason.find('@')), denied);
    const std::string log = logText();
    EXPECT_EQ(countOf(log, "ERROR - SSH command ended with exit status 255 before its tunnel was up for 'refused' - "
                           "127.0.0.1\n"),
              1)
        << log;
    EXPECT_EQ(countOf(log, "SSH: " + reason + " ('refused' - 127.0.0.1)\n"), 1) << log;
    EXPECT_EQ(log.find("Connected to 'refused'"), std::string::npos);
    EXPECT_EQ(server->clientCount(), 0);
    EXPECT_EQ(sshProcesses(), 0);
    const int port = tunnelPort(itm);
    EXPECT_NE(port, 0);
    EXPECT_TRUE(waitFor([port] { return !tnTcpPortIsReserved(port); }, 2));
}

TEST_F(SSHTunnel, EndingTheHostDuringTheWaitEndsSSHAndShowsNoResult)
{
    TN_REQUIRE_SSHD();
    TNTestServer* server = startServer();
    HostItem* itm = addSSHHost("ended", server->port());
    sshd->setDelay("3");
    VncObject::createVNCObject(itm);
    ASSERT_TRUE(waitFor([&] { return sshProcesses() > 0; }, 3));
    const int port = tunnelPort(itm);
    // The user's right-click on the connecting line.
    tnClickHostLine(lineOf(itm), 3);
    EXPECT_NE(tnStateOf(itm), TNConnectionState::Connecting);
    EXPECT_TRUE(waitFor([&] { return sshProcesses() == 0; }, 2)) << "ssh still runs";
    EXPECT_TRUE(waitFor([itm] { return !tnResultOwed(tnStateOf(itm)); }, 3));
    tnTestPump(0.3);
    EXPECT_FALSE(tnIsConnected(itm));
    EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnected);
    EXPECT_EQ(tnLastErrorOf(itm), "");
    EXPECT_FALSE(tnTcpPortIsReserved(port));
    EXPECT_EQ(server->clientCount(), 0);
    const std::string log = logText();
    EXPECT_EQ(countOf(log, "Manually disconnected from 'ended' - 127.0.0.1\n"), 1);
    EXPECT_EQ(log.find("ERROR - SSH"), std::string::npos);
}

TEST_F(SSHTunnel, ShutDownDuringTheWaitEndsSSHBeforeItReturns)
{
    TN_REQUIRE_SSHD();
    TNTestServer* server = startServer();
    HostItem* waiting = addSSHHost("waiting", server->port());
    HostItem* starting = addSSHHost("starting", server->port());
    sshd->setDelay("3");
    VncObject::createVNCObject(waiting);
    VncObject::createVNCObject(starting);
    const auto started = [](const HostItem* itm) {
        return tnVncOf(itm) && tnVncOf(itm)->sshTunnel && tnVncOf(itm)->sshTunnel->pid() > 0;
    };
    ASSERT_TRUE(waitFor([&] { return started(waiting) && started(starting); }, 3));
    // What the main window's close does before the program exits.
    engine.isShuttingDown = true;
    tnEndAllConnections();
    EXPECT_EQ(sshProcesses(), 0) << "an ssh of a tunnel wait outlives the program's exit";
    engine.isShuttingDown = false;
    EXPECT_EQ(countOf(logText(), "Automatically disconnecting.  Program is shutting down '"), 2);
}

// Attempts that fail before any ssh runs: the ssh command cannot be found, the key file
// cannot be read, a destination that ssh would read as an option.
TEST_F(SSHTunnel, RefusedBeforeSSHRuns)
{
    const std::string marker = dir + "/ssh-ran";
    const std::string noKey = "Error: Could not open the private SSH key file for 'guarded' - 127.0.0.1";
    struct Case {
        const char* what;
        std::string sshCommand;
        std::string key;
        std::string user;
        std::string title;
        std::string message;
        std::string error;
        std::vector<std::string> logLines;
    };
    std::vector<Case> cases = {
        {"no such ssh command", "tn-no-such-ssh-client; touch " + marker, "", "me", "Tandrel - FLTK",
         "Error: This connection requires SSH and \nthe SSH command isn't working.\n\nCheck that the SSH client "
         "program is installed",
         "SSH command not working",
         {"check command is: which 'tn-no-such-ssh-client;' > /dev/null\n",
          "SSH command not working for connection 'guarded' - 127.0.0.1\n"}},
        {"key file missing", "touch " + marker + ";", dir + "/no-such-key", "me", "Tandrel", noKey,
         "Could not open the private SSH key file", {"ERROR - Could not open the private SSH key file\n"}},
        {"key path is a directory", "touch " + marker + ";", dir, "me", "Tandrel", noKey,
         "Could not open the private SSH key file", {"ERROR - Could not open the private SSH key file\n"}},
        {"user that ssh reads as an option", "touch " + marker + ";", "", "-oProxyCommand=touch " + marker,
         "Tandrel", "Error: The SSH user name must not begin with '-' for 'guarded' - 127.0.0.1",
         "The SSH user name must not begin with '-'", {"ERROR - The SSH user name must not begin with '-': 'guarded'"}},
    };
    if (geteuid() != 0) {
        // Root reads a file whatever its mode.
        const std::string locked = dir + "/locked-key";
        tnTestWriteFile(locked, "key");
        chmod(locked.c_str(), 0);
        cases.push_back({"key file unreadable", "touch " + marker + ";", locked, "me", "Tandrel", noKey,
                         "Could not open the private SSH key file",
                         {"ERROR - Could not open the private SSH key file\n"}});
    }
    TNSilentServer silent;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.clear();
        beeps = 0;
        const std::string logBefore = logText();
        appOptions.sshCommand = c.sshCommand;
        HostItem* itm = addHost("guarded", silent.port);
        itm->hostType = 's';
        itm->sshPort = "22";
        itm->sshUser = c.user;
        itm->sshKeyPrivate = c.key;
        VncObject::createVNCObject(itm);
        ASSERT_TRUE(waitFor(
            [itm] { return tnHostStatusImage(itm) == app->iconDisconnectedBigError && !tnResultOwed(tnStateOf(itm)); },
            5));
        EXPECT_FALSE(tnIsConnected(itm));
        EXPECT_EQ(tnVncOf(itm)->outcome, TNAttemptOutcome::NotTried);
        EXPECT_EQ(tnLastErrorOf(itm), c.error);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].first, c.title);
        EXPECT_EQ(messages[0].second, c.message);
        const std::string log = logText().substr(logBefore.size());
        for (const std::string& line : c.logLines)
            EXPECT_EQ(countOf(log, line), 1) << log;
        EXPECT_EQ(log.find("Connected to"), std::string::npos);
        // No tunnel command ran, and no port is left reserved.
        tnTestPump(0.2);
        EXPECT_NE(access(marker.c_str(), F_OK), 0);
        for (int port = appOptions.startingLocalPort; port < appOptions.startingLocalPort + 100; port++)
            ASSERT_FALSE(tnTcpPortIsReserved(port)) << port;
        tnRemoveHostLine(lineOf(itm));
    }
}

// ssh refuses a server whose key it does not know: the window shows the key's fingerprint;
// "Cancel" fails the attempt with ssh's reason and adds nothing, "Trust and connect" adds the
// key to the known hosts that ssh reads and connects.
TEST_F(SSHTunnel, UnknownHostKeyIsOfferedAndTrustingItConnects)
{
    TN_REQUIRE_SSHD();
    askInWindows();
    TNTestServer* server = startServer();
    appOptions.startingLocalPort = 4800;
    HostItem* itm = addSSHHost("unknown", server->port());
    tnTestWriteFile(sshd->dir + "/known_hosts", "");
    std::string fingerprint;
    ASSERT_EQ(tnRunShellForOutput("ssh-keygen -lf " + tnQuoteForShell(sshd->dir + "/host_key.pub"), "", &fingerprint),
              0);
    fingerprint = fingerprint.substr(fingerprint.find("SHA256:"));
    fingerprint = fingerprint.substr(0, fingerprint.find(' '));

    VncObject::createVNCObject(itm);
    ASSERT_TRUE(runMainLoopUntil([] { return hostKeyWindow() != nullptr; }, 15)) << logText();
    Fl_Window* window = hostKeyWindow();
    const std::string text = static_cast<Fl_Multiline_Output*>(window->child(0))->value();
    EXPECT_NE(text.find("[127.0.0.1]:" + std::to_string(sshd->port)), std::string::npos) << text;
    EXPECT_NE(text.find("ED25519 key fingerprint:\n" + fingerprint), std::string::npos) << text;
    EXPECT_TRUE((tnStateOf(itm) == TNConnectionState::Connecting));
    press(window, "Cancel");
    ASSERT_TRUE(waitFor([itm] { return tnHostStatusImage(itm) == app->iconDisconnectedBigError && !tnResultOwed(tnStateOf(itm)); }, 10))
        << logText();
    EXPECT_EQ(tnLastErrorOf(itm), "Host key verification failed.");
    EXPECT_EQ(knownHosts(), "");
    EXPECT_EQ(countOf(logText(), "SSH host key of [127.0.0.1]:" + std::to_string(sshd->port) + " not trusted"), 1);
    EXPECT_TRUE(waitFor([&] { return sshProcesses() == 0; }, 3));

    VncObject::createVNCObject(itm);
    ASSERT_TRUE(runMainLoopUntil([] { return hostKeyWindow() != nullptr; }, 15)) << logText();
    press(hostKeyWindow(), "Trust and connect");
    ASSERT_TRUE(waitFor([itm] { return tnIsConnected(itm) && tnHostStatusImage(itm) == app->iconConnected; }, 15)) << logText();
    EXPECT_EQ(tnLastErrorOf(itm), "");
    EXPECT_EQ(server->clientCount(), 1);
    EXPECT_EQ(knownHosts(), knownHostsLine(true));
    EXPECT_EQ(countOf(logText(), "trusted and added to the known hosts"), 1);
    EXPECT_EQ(hostKeyWindow(), nullptr);
}

// A key that differs from the one known is refused with ssh's warning, and nothing is asked.
TEST_F(SSHTunnel, ChangedHostKeyIsRefusedWithSSHsWarning)
{
    TN_REQUIRE_SSHD();
    TNTestServer* server = startServer();
    HostItem* itm = addSSHHost("changed", server->port());
    const std::string other = knownHostsLine(false);
    tnTestWriteFile(sshd->dir + "/known_hosts", other);
    VncObject::createVNCObject(itm);
    ASSERT_TRUE(runMainLoopUntil([itm] { return tnHostStatusImage(itm) == app->iconDisconnectedBigError && !tnResultOwed(tnStateOf(itm)); },
                                 15))
        << logText();
    EXPECT_EQ(tnLastErrorOf(itm), "WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED! Host key verification failed.");
    EXPECT_EQ(hostKeyWindow(), nullptr);
    EXPECT_EQ(knownHosts(), other);
    const std::string log = logText();
    EXPECT_EQ(countOf(log, "SSH: IT IS POSSIBLE THAT SOMEONE IS DOING SOMETHING NASTY!"), 1) << log;
    EXPECT_EQ(log.find("Unknown SSH host key"), std::string::npos);
    EXPECT_EQ(server->clientCount(), 0);
}

// Ending the host while the window asks: the window goes without an answer, ssh is not
// started again, nothing is reported.
TEST_F(SSHTunnel, EndingTheHostWhileTheHostKeyIsAskedClosesTheWindow)
{
    TN_REQUIRE_SSHD();
    askInWindows();
    TNTestServer* server = startServer();
    HostItem* itm = addSSHHost("asked", server->port());
    tnTestWriteFile(sshd->dir + "/known_hosts", "");
    VncObject::createVNCObject(itm);
    ASSERT_TRUE(runMainLoopUntil([] { return hostKeyWindow() != nullptr; }, 15)) << logText();
    tnClickHostLine(lineOf(itm), 3);
    ASSERT_TRUE(runMainLoopUntil([itm] { return hostKeyWindow() == nullptr && !tnResultOwed(tnStateOf(itm)); }, 5));
    EXPECT_EQ(tnLastErrorOf(itm), "");
    EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnected);
    EXPECT_EQ(knownHosts(), "");
    EXPECT_TRUE(waitFor([&] { return sshProcesses() == 0; }, 3));
    EXPECT_EQ(server->clientCount(), 0);
}

// However an attempt through a tunnel ends, its ssh ends and its local port closes: a
// handshake that fails (wrong password, a server that refuses, one that is not VNC, one past
// the handshake's deadline) and a host deleted while connected.
TEST_F(SSHTunnel, EveryWayAnAttemptEndsClosesItsTunnel)
{
    using namespace std::chrono_literals;
    TN_REQUIRE_SSHD();
    const int savedTimeout = tnConnectTimeoutSeconds;
    tnConnectTimeoutSeconds = 3;
    TNPeerScript dripped;
    dripped.send("RFB 003.008\n").expect(12).send(TNBytes().u8(1).u8(1)).expect(1).send(TNBytes().u32(0)).expect(1);
    dripped.drip(tnrfb::serverInit(64, 48, TNPixelFormat(), std::string(1000, 'n')).data, 10ms).hold();
    const struct {
        const char* name;
        TNPeerScript script;
        std::string error;
    } cases[] = {
        {"wrong password", TNPeerScript::handshake(64, 48, "locked", "secret"),
         "Bad / missing password or Resource temporarily unavailable"},
        {"refused", TNPeerScript::refusal("Too many viewers"), "VNC connection failed: Too many viewers"},
        {"not VNC", TNPeerScript().send("SSH-2.0-OpenSSH_9.2\r\n").hold(), "Not a valid VNC server"},
        {"past the deadline", dripped, "Timed out connecting to VNC server"},
    };
    std::vector<std::unique_ptr<TNScriptedPeer>> peers;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        peers.push_back(std::make_unique<TNScriptedPeer>(c.script));
        ASSERT_TRUE(peers.back()->listen());
        HostItem* itm = addSSHHost(c.name, peers.back()->port());
        itm->vncPassword = "wrong";
        VncObject::createVNCObject(itm);
        ASSERT_TRUE(runMainLoopUntil([itm] { return tnHostStatusImage(itm) == app->iconDisconnectedBigError; }, 20)) << logText();
        EXPECT_NE(tnLastErrorOf(itm).find(c.error), std::string::npos) << tnLastErrorOf(itm);
        ASSERT_TRUE(tnVncOf(itm) && tnVncOf(itm)->sshTunnel);
        const int port = tnVncOf(itm)->sshTunnel->localPort();
        EXPECT_TRUE(waitFor([&] { return sshProcesses() == 0; }, 5)) << "ssh outlives the failed handshake";
        EXPECT_TRUE(waitFor([port] { return !tnTestPortIsListening(port) && !tnTcpPortIsReserved(port); }, 2));
    }
    tnConnectTimeoutSeconds = savedTimeout;

    TNTestServer* server = startServer();
    HostItem* deleted = addSSHHost("deleted", server->port());
    ASSERT_TRUE(connectAndWait(deleted)) << logText();
    const int port = tnVncOf(deleted)->sshTunnel->localPort();
    tnDeleteItem(lineOf(deleted));
    EXPECT_TRUE(waitFor([&] { return sshProcesses() == 0; }, 5)) << "ssh outlives the deleted host";
    EXPECT_TRUE(waitFor([port] { return !tnTestPortIsListening(port); }, 2));
}
