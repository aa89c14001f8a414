// The ssh command line as the shell hands it to ssh, and the search for a local port.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "connection/ssh_tunnel.h"
#include "core/process.h"

namespace {

// Runs `line` through /bin/sh and returns the words it printed, NUL-separated.
std::vector<std::string> tnWordsOf(const std::string& line)
{
    std::vector<std::string> words;
    FILE* out = popen(line.c_str(), "r");
    if (!out)
        return words;
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), out)) > 0)
        text.append(buffer, got);
    pclose(out);
    size_t start = 0;
    for (size_t end = text.find('\0'); end != std::string::npos; end = text.find('\0', start)) {
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

std::string tnTempDir()
{
    char pattern[] = "/tmp/tandrel-ssh-unit-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "";
}

// Binds and listens on 127.0.0.1:`port`; -1 when that is not possible.
int tnListenOn(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && listen(fd, 1) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

// A start port whose next `count` ports this test could take itself (none in use now).
int tnFreeRun(int first, int count)
{
    for (int base = first; base + count < 65000; base += count) {
        std::vector<int> held;
        for (int port = base; port < base + count; port++) {
            const int fd = tnListenOn(port);
            if (fd < 0)
                break;
            held.push_back(fd);
        }
        const bool all = static_cast<int>(held.size()) == count;
        for (int fd : held)
            close(fd);
        if (all)
            return base;
    }
    return 0;
}

// The ssh command replaced by printf, which prints each word it gets followed by a NUL.
const char* const tnPrintWords = "printf '%s\\000'";

TNSSHCommandParts tnExampleParts()
{
    TNSSHCommandParts parts;
    parts.sshCommand = tnPrintWords;
    parts.user = "alice";
    parts.address = "gateway.example.org";
    parts.sshPort = "22";
    parts.vncPort = "5900";
    parts.keyPath = "/home/alice/.ssh/id_ed25519";
    parts.localPort = 15000;
    parts.waitSeconds = 5;
    return parts;
}

} // namespace

TEST(SSHCommandLine, ReachesSSHAsTheseWordsAndRunsNothingElse)
{
    const std::string dir = tnTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string marker = dir + "/ran";
    const std::string touch = "touch " + marker;
    struct Case {
        const char* what;
        TNSSHCommandParts parts;
        std::vector<std::string> words;   // after the printf format
    };
    std::vector<Case> cases;
    {
        Case c{"the usual host", tnExampleParts(), {}};
        c.words = {"alice@gateway.example.org", "-t", "-t", "-p", "22", "-o", "ConnectTimeout=5", "-o",
                   "ExitOnForwardFailure=yes", "-L", "15000:127.0.0.1:5900", "-i", "/home/alice/.ssh/id_ed25519"};
        cases.push_back(c);
    }
    {
        Case c{"an empty ssh port stays an empty word", tnExampleParts(), {}};
        c.parts.sshPort = "";
        c.words = {"alice@gateway.example.org", "-t", "-t", "-p", "", "-o", "ConnectTimeout=5", "-o",
                   "ExitOnForwardFailure=yes", "-L", "15000:127.0.0.1:5900", "-i", "/home/alice/.ssh/id_ed25519"};
        cases.push_back(c);
    }
    {
        Case c{"no key: no -i", tnExampleParts(), {}};
        c.parts.keyPath = "";
        c.parts.localPort = 4711;
        c.parts.waitSeconds = 9;
        c.words = {"alice@gateway.example.org", "-t", "-t", "-p", "22", "-o", "ConnectTimeout=9", "-o",
                   "ExitOnForwardFailure=yes", "-L", "4711:127.0.0.1:5900"};
        cases.push_back(c);
    }
    {
        Case c{"no user: no user@", tnExampleParts(), {}};
        c.parts.user = "";
        c.words = {"gateway.example.org", "-t", "-t", "-p", "22", "-o", "ConnectTimeout=5", "-o",
                   "ExitOnForwardFailure=yes", "-L", "15000:127.0.0.1:5900", "-i", "/home/alice/.ssh/id_ed25519"};
        cases.push_back(c);
    }
    {
        Case c{"blanks, ;, $(...), backquotes and quotes", tnExampleParts(), {}};
        c.parts.user = "al ice;" + touch;
        c.parts.address = "$(" + touch + ")`" + touch + "`";
        c.parts.sshPort = "22 ; " + touch;
        c.parts.vncPort = "5900'\"$(" + touch + ")";
        c.parts.keyPath = "/tmp/my key's; " + touch + " & " + touch + " | " + touch + " > " + marker;
        c.words = {c.parts.user + "@" + c.parts.address, "-t", "-t", "-p", c.parts.sshPort, "-o", "ConnectTimeout=5",
                   "-o", "ExitOnForwardFailure=yes", "-L", "15000:127.0.0.1:" + c.parts.vncPort, "-i",
                   c.parts.keyPath};
        cases.push_back(c);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string refusal;
        const std::string line = tnBuildSSHCommandLine(c.parts, &refusal);
        ASSERT_FALSE(line.empty()) << refusal;
        EXPECT_EQ(tnWordsOf(line), c.words);
        EXPECT_NE(access(marker.c_str(), F_OK), 0) << "a piece of the record ran as shell code";
    }
    rmdir(dir.c_str());
}

TEST(SSHCommandLine, RefusesAUserOrAddressThatSSHWouldReadAsAnOption)
{
    struct Case {
        const char* user;
        const char* address;
        const char* refusal;
    };
    const Case cases[] = {
        {"-oProxyCommand=touch /tmp/x", "host", "The SSH user name must not begin with '-'"},
        {"alice", "-oProxyCommand=touch /tmp/x", "The SSH host address must not begin with '-'"},
        {"alice\nbob", "host", "The SSH user name must not hold control characters"},
        {"alice", "host\r", "The SSH host address must not hold control characters"},
        {"alice", "ho\x7fst", "The SSH host address must not hold control characters"},
        {"alice", "", "The SSH host address is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        TNSSHCommandParts parts = tnExampleParts();
        parts.user = c.user;
        parts.address = c.address;
        std::string refusal;
        EXPECT_EQ(tnBuildSSHCommandLine(parts, &refusal), "");
        EXPECT_EQ(refusal, c.refusal);
    }
    // A "-" further inside is an ordinary character.
    TNSSHCommandParts parts = tnExampleParts();
    parts.user = "a-lice";
    parts.address = "gate-way";
    EXPECT_EQ(tnWordsOf(tnBuildSSHCommandLine(parts, nullptr)).at(0), "a-lice@gate-way");
}

TEST(SSHCommandLine, CheckLineQuotesTheFirstWordOfTheCommand)
{
    EXPECT_EQ(tnBuildSSHCheckLine("ssh"), "which 'ssh' > /dev/null");
    EXPECT_EQ(tnBuildSSHCheckLine("  /usr/bin/ssh -F /etc/tunnel.conf"), "which '/usr/bin/ssh' > /dev/null");
    EXPECT_EQ(tnRunShellCommand(tnBuildSSHCheckLine("sh -c true")), 0);
    const std::string dir = tnTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string marker = dir + "/ran";
    EXPECT_NE(tnRunShellCommand(tnBuildSSHCheckLine("$(touch " + marker + ")")), 0);
    EXPECT_NE(tnRunShellCommand(tnBuildSSHCheckLine("no-such-ssh-client-here")), 0);
    EXPECT_NE(access(marker.c_str(), F_OK), 0);
    rmdir(dir.c_str());
}

TEST(SSHLocalPort, SkipsTakenPortsAndReservesWhatItHandsOut)
{
    const int base = tnFreeRun(21000, 4);
    ASSERT_NE(base, 0);
    const int taken1 = tnListenOn(base);
    const int taken2 = tnListenOn(base + 1);
    ASSERT_GE(taken1, 0);
    ASSERT_GE(taken2, 0);
    const int first = tnFindFreeTcpPort(base);
    EXPECT_EQ(first, base + 2);
    // Reserved until released, although nothing listens on it yet.
    EXPECT_TRUE(tnTcpPortIsReserved(first));
    EXPECT_EQ(tnFindFreeTcpPort(base), base + 3);
    tnReleaseTcpPort(first);
    EXPECT_EQ(tnFindFreeTcpPort(base), base + 2);
    tnReleaseTcpPort(base + 2);
    tnReleaseTcpPort(base + 3);
    close(taken1);
    close(taken2);
}

TEST(SSHLocalPort, NeverHandsOutTheListeningPort)
{
    // 5499 taken (by this test or by anyone): the next candidate 5500 is skipped.
    const int held = tnListenOn(5499);
    std::vector<int> found;
    for (int i = 0; i < 3; i++)
        found.push_back(tnFindFreeTcpPort(5499));
    for (int port : found) {
        EXPECT_NE(port, 5500);
        if (port != 0) {
            EXPECT_GT(port, 5499);
            tnReleaseTcpPort(port);
        }
    }
    if (held >= 0)
        close(held);
}

TEST(SSHLocalPort, StopsAtTheTopOfThePortRangeAndSaysWhenNoneIsFree)
{
    // From 65530 at most the six ports up to 65535 are tried, not 99.
    std::set<int> found;
    for (int i = 0; i < 10; i++) {
        const int port = tnFindFreeTcpPort(65530);
        if (port == 0)
            break;
        EXPECT_GE(port, 65530);
        EXPECT_LE(port, 65535);
        EXPECT_TRUE(found.insert(port).second) << "port " << port << " handed out twice";
    }
    EXPECT_LE(found.size(), 6u);
    EXPECT_EQ(tnFindFreeTcpPort(65530), 0);
    for (int port : found)
        tnReleaseTcpPort(port);

    // Every one of the 99 ports of a range taken or reserved: none is found.
    const int base = tnFreeRun(23000, 99);
    ASSERT_NE(base, 0);
    std::vector<int> held;
    for (int port = base; port < base + 50; port++)
        held.push_back(tnListenOn(port));
    std::set<int> reserved;
    for (int i = 0; i < 99; i++) {
        const int port = tnFindFreeTcpPort(base);
        if (port == 0)
            break;
        EXPECT_GE(port, base + 50);
        EXPECT_LT(port, base + 99);
        reserved.insert(port);
    }
    EXPECT_EQ(reserved.size(), 49u);
    EXPECT_EQ(tnFindFreeTcpPort(base), 0);
    for (int port : reserved)
        tnReleaseTcpPort(port);
    for (int fd : held)
        if (fd >= 0)
            close(fd);
    // A start of 0 or below tries from port 1 on, never port 0 (that binds any free port).
    const int low = tnFindFreeTcpPort(-5);
    EXPECT_TRUE(low == 0 || (low >= 1 && low < 94));
    if (low)
        tnReleaseTcpPort(low);
}

namespace {

// The descriptors process `pid` holds, by number.
std::set<int> tnDescriptorsOf(pid_t pid)
{
    std::set<int> fds;
    const std::string path = "/proc/" + std::to_string(pid) + "/fd";
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                fds.insert(atoi(entry->d_name));
        }
        closedir(dir);
    }
    return fds;
}

bool tnProcessExists(pid_t pid)
{
    return kill(pid, 0) == 0 || errno != ESRCH;
}

std::string tnReadAll(const std::string& path)
{
    std::string text;
    if (FILE* file = fopen(path.c_str(), "rb")) {
        char buffer[256];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0)
            text.append(buffer, got);
        fclose(file);
    }
    return text;
}

} // namespace

TEST(SSHTunnelChild, HoldsOnlyItsPipeAndOutputsInASessionOfItsOwn)
{
    // A descriptor of the program that a child would inherit unless it closes it.
    int inherited[2];
    ASSERT_EQ(pipe(inherited), 0);
    auto tunnel = std::make_shared<TNSSHTunnel>("exec sleep 30", "true", tnFindFreeTcpPort(26000), 5);
    std::string error;
    ASSERT_TRUE(tunnel->start(&error)) << error;
    const pid_t pid = tunnel->pid();
    ASSERT_GT(pid, 0);
    // Once the shell has become sleep.
    for (int i = 0; i < 300 && tnReadAll("/proc/" + std::to_string(pid) + "/cmdline").find("sleep") != 0; i++)
        usleep(10000);
    EXPECT_EQ(getsid(pid), pid);
    // Right after its exec, sleep's loader briefly holds the libraries it opens.
    for (int i = 0; i < 300 && tnDescriptorsOf(pid) != std::set<int>{0, 1, 2}; i++)
        usleep(10000);
    EXPECT_EQ(tnDescriptorsOf(pid), (std::set<int>{0, 1, 2}));
    tunnel->closeAndWait(1.0);
    EXPECT_FALSE(tnProcessExists(pid));
    close(inherited[0]);
    close(inherited[1]);
}

TEST(SSHTunnelChild, AnUpTunnelGetsTheEscapeOnceHoweverOftenItIsClosed)
{
    const std::string dir = tnTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string got = dir + "/stdin";
    const int port = tnFindFreeTcpPort(26050);
    ASSERT_NE(port, 0);
    // Listens on the port like ssh's forward, and keeps what reaches its standard input.
    const std::string child = "exec python3 -c 'import socket,sys; s=socket.socket(); s.bind((\"127.0.0.1\"," +
                              std::to_string(port) + ")); s.listen(); open(sys.argv[1],\"wb\").write(" +
                              "sys.stdin.buffer.read())' " + tnQuoteForShell(got);
    auto tunnel = std::make_shared<TNSSHTunnel>(child, "true", port, 5);
    ASSERT_TRUE(tunnel->start(nullptr));
    const pid_t pid = tunnel->pid();
    ASSERT_EQ(tunnel->waitUntilListening(20, nullptr), TNSSHTunnel::Wait::Listening);
    EXPECT_TRUE(tnTcpPortIsReserved(port));

    // Closed from two threads and once more: one escape, one close of the pipe.
    std::thread other([&] { tunnel->close(); });
    tunnel->close();
    other.join();
    tunnel->closeAndWait(1.0);
    EXPECT_FALSE(tunnel->start(nullptr));
    for (int i = 0; i < 300 && (tnProcessExists(pid) || tnTcpPortIsReserved(port)); i++)
        usleep(10000);
    EXPECT_FALSE(tnProcessExists(pid)) << "the child was not reaped";
    EXPECT_FALSE(tnTcpPortIsReserved(port));
    EXPECT_EQ(tnReadAll(got), "\r\n~.\r\n");
    unlink(got.c_str());
    rmdir(dir.c_str());
}

TEST(SSHTunnelChild, WaitEndsWithTheChildsExitOrItsOwnListeningSocketOnly)
{
    // A child that ends: its exit status, at once.
    {
        auto tunnel = std::make_shared<TNSSHTunnel>("exit 7", "true", tnFindFreeTcpPort(26100), 5);
        ASSERT_TRUE(tunnel->start(nullptr));
        int status = 0;
        EXPECT_EQ(tunnel->waitUntilListening(30, &status), TNSSHTunnel::Wait::Exited);
        EXPECT_EQ(status, 7);
        tunnel->closeAndWait(1.0);
    }
    // Another process listening on the tunnel's port is not the tunnel.
    const int port = tnFindFreeTcpPort(26200);
    ASSERT_NE(port, 0);
    const int stranger = tnListenOn(port);
    ASSERT_GE(stranger, 0);
    {
        auto tunnel = std::make_shared<TNSSHTunnel>("sleep 30", "true", port, 5);
        ASSERT_TRUE(tunnel->start(nullptr));
        EXPECT_EQ(tunnel->waitUntilListening(0.3, nullptr), TNSSHTunnel::Wait::TimedOut);
        const pid_t pid = tunnel->pid();
        // Not up: closing ends it with a signal at once, on the calling thread.
        tunnel->closeAndWait(5.0);
        EXPECT_FALSE(tnProcessExists(pid));
        EXPECT_EQ(tunnel->waitUntilListening(5, nullptr), TNSSHTunnel::Wait::Closed);
    }
    close(stranger);
    // A grandchild of the shell that listens on it is.
    const int own = tnFindFreeTcpPort(26300);
    ASSERT_NE(own, 0);
    {
        const std::string listen = "python3 -c 'import socket,time; s=socket.socket(); s.bind((\"127.0.0.1\"," +
                                   std::to_string(own) + ")); s.listen(); time.sleep(30)'; true";
        auto tunnel = std::make_shared<TNSSHTunnel>(listen, "true", own, 5);
        ASSERT_TRUE(tunnel->start(nullptr));
        EXPECT_EQ(tunnel->waitUntilListening(20, nullptr), TNSSHTunnel::Wait::Listening);
        tunnel->closeAndWait(0.2);
        EXPECT_FALSE(tnSessionListensOnPort(tunnel->pid(), own));
    }
}
