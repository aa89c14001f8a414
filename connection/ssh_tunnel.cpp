// The SSH tunnel: command line, local port, the ssh child and its end.
#include "connection/ssh_tunnel.h"

#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/process.h"
#include "core/tcp_table.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting tunnel looks at its child and the socket tables.
constexpr auto tnTunnelPollInterval = std::chrono::milliseconds(15);
// A tunnel that was up gets this long to end after its disconnect escape before it is
// ended with a signal.
constexpr double tnTunnelCloseSeconds = 3.0;

// Never destroyed: a closer thread may still release its port while the program exits.
std::mutex& tnReservedPortsLock()
{
    static std::mutex& lock = *new std::mutex();
    return lock;
}

std::set<int>& tnReservedPorts()
{
    static std::set<int>& ports = *new std::set<int>();
    return ports;
}

bool tnHasControlCharacter(const std::string& text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f)
            return true;
    }
    return false;
}

// Why `value` cannot be handed to ssh as the `what` of the destination, or "".
std::string tnDestinationRefusal(const std::string& what, const std::string& value)
{
    if (!value.empty() && value[0] == '-')
        return "The SSH " + what + " must not begin with '-'";
    if (tnHasControlCharacter(value))
        return "The SSH " + what + " must not hold control characters";
    return "";
}

// The processes of session `session` (the ssh child and whatever it started); ended ones
// that wait to be reaped only when `withEnded`.
std::vector<pid_t> tnSessionProcesses(pid_t session, bool withEnded = true)
{
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (!proc)
        return found;
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        char path[64];
        snprintf(path, sizeof(path), "/proc/%ld/stat", pid);
        FILE* file = fopen(path, "re");
        if (!file)
            continue;
        char stat[1024] = {0};
        const size_t got = fread(stat, 1, sizeof(stat) - 1, file);
        fclose(file);
        stat[got] = '\0';
        // The command name in parentheses may hold anything; the fields follow the last ')'.
        const char* after = strrchr(stat, ')');
        char state = 0;
        long parent = 0, group = 0, sessionId = 0;
        if (after && sscanf(after + 1, " %c %ld %ld %ld", &state, &parent, &group, &sessionId) == 4 &&
            sessionId == session && (withEnded || (state != 'Z' && state != 'X')))
            found.push_back(static_cast<pid_t>(pid));
    }
    closedir(proc);
    return found;
}

bool tnProcessHoldsSocket(pid_t pid, const std::set<unsigned long>& inodes)
{
    char path[64];
    snprintf(path, sizeof(path), "/proc/%d/fd", static_cast<int>(pid));
    DIR* fds = opendir(path);
    if (!fds)
        return false;
    bool found = false;
    while (!found) {
        dirent* entry = readdir(fds);
        if (!entry)
            break;
        if (entry->d_name[0] == '.')
            continue;
        char link[320];
        char target[128] = {0};
        snprintf(link, sizeof(link), "%s/%s", path, entry->d_name);
        const ssize_t length = readlink(link, target, sizeof(target) - 1);
        if (length <= 0)
            continue;
        target[length] = '\0';
        unsigned long inode = 0;
        found = sscanf(target, "socket:[%lu]", &inode) == 1 && inodes.count(inode) > 0;
    }
    closedir(fds);
    return found;
}

// Writes to a pipe whose reader may have gone without SIGPIPE ending the program, whether or
// not the program ignores the signal: it is blocked on this thread around the write, and one
// that the write raised is taken off again.
void tnWriteWithoutSigpipe(int fd, const char* data, size_t length)
{
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const ssize_t written = write(fd, data, length);
    if (written < 0 && errno == EPIPE) {
        const timespec now{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

} // namespace

std::string tnQuoteForShell(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string tnBuildSSHCommandLine(const TNSSHCommandParts& parts, std::string* refusal)
{
    std::string why = tnDestinationRefusal("user name", parts.user);
    if (why.empty())
        why = tnDestinationRefusal("host address", parts.address);
    if (why.empty() && parts.address.empty())
        why = "The SSH host address is missing";
    if (!why.empty()) {
        if (refusal)
            *refusal = why;
        return "";
    }
    // exec: the shell becomes ssh, so the signal that the kernel sends the child when the
    // program ends (core/process.h) reaches ssh itself.
    std::string line = "exec " + parts.sshCommand + " ";
    if (!parts.user.empty())
        line += tnQuoteForShell(parts.user) + "@";
    line += tnQuoteForShell(parts.address);
    line += " -t";
    line += " -t";
    line += " -p " + tnQuoteForShell(parts.sshPort);
    line += " -o ConnectTimeout=" + std::to_string(parts.waitSeconds);
    // A port taken between the search and ssh's bind fails the tunnel instead of leaving
    // ssh running without its forward.
    line += " -o ExitOnForwardFailure=yes";
    line += " -L " + std::to_string(parts.localPort) + ":127.0.0.1:" + tnQuoteForShell(parts.vncPort);
    if (!parts.keyPath.empty())
        line += " -i " + tnQuoteForShell(parts.keyPath);
    return line;
}

std::string tnBuildSSHCheckLine(const std::string& sshCommand)
{
    const char* blanks = " \t\n";
    const size_t start = sshCommand.find_first_not_of(blanks);
    std::string first;
    if (start != std::string::npos)
        first = sshCommand.substr(start, sshCommand.find_first_of(blanks, start) - start);
    return "which " + tnQuoteForShell(first) + " > /dev/null";
}

int tnFindFreeTcpPort(int startingPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        tnLogToFile("ERROR - Cannot create socket for tnFindFreeTCPPort");
        return 0;
    }
    int found = 0;
    {
        std::lock_guard<std::mutex> hold(tnReservedPortsLock());
        for (long port = startingPort; port < static_cast<long>(startingPort) + 99 && port <= 65535; port++) {
            if (port < 1 || port == tnSSHSkippedPort || tnReservedPorts().count(static_cast<int>(port)) > 0)
                continue;
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_ANY);
            address.sin_port = htons(static_cast<uint16_t>(port));
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
                found = static_cast<int>(port);
                tnReservedPorts().insert(found);
                break;
            }
        }
    }
    close(fd);
    return found;
}

void tnReleaseTcpPort(int port)
{
    std::lock_guard<std::mutex> hold(tnReservedPortsLock());
    tnReservedPorts().erase(port);
}

bool tnTcpPortIsReserved(int port)
{
    std::lock_guard<std::mutex> hold(tnReservedPortsLock());
    return tnReservedPorts().count(port) > 0;
}

bool tnSessionListensOnPort(pid_t pid, int port)
{
    if (pid <= 0)
        return false;
    const std::set<unsigned long> inodes = tnListeningSocketInodes(port);
    if (inodes.empty())
        return false;
    // Between fork and exec a child still holds copies of this program's descriptors (until
    // it closes them): a process still running this program's executable is not counted.
    struct stat self {};
    const bool knowSelf = stat("/proc/self/exe", &self) == 0;
    for (pid_t member : tnSessionProcesses(pid)) {
        struct stat exe {};
        const std::string path = "/proc/" + std::to_string(member) + "/exe";
        if (knowSelf && stat(path.c_str(), &exe) == 0 && exe.st_dev == self.st_dev && exe.st_ino == self.st_ino)
            continue;
        if (tnProcessHoldsSocket(member, inodes))
            return true;
    }
    return false;
}

// ---- TNSSHTunnel ----------------------------------------------------------------------

namespace {

// Every tunnel that exists, so that shut-down can end those that no connection ends.
std::mutex& tnTunnelsLock()
{
    static std::mutex& lock = *new std::mutex();
    return lock;
}

std::set<TNSSHTunnel*>& tnTunnels()
{
    static std::set<TNSSHTunnel*>& tunnels = *new std::set<TNSSHTunnel*>();
    return tunnels;
}

} // namespace

TNSSHTunnel::TNSSHTunnel(std::string line, std::string checkLine, int localPort, int waitSeconds)
    : commandLine(std::move(line)), check(std::move(checkLine)), port(localPort), wait(waitSeconds)
{
    std::lock_guard<std::mutex> hold(tnTunnelsLock());
    tnTunnels().insert(this);
}

TNSSHTunnel::~TNSSHTunnel()
{
    {
        std::lock_guard<std::mutex> hold(tnTunnelsLock());
        tnTunnels().erase(this);
    }
    // Only the closer (or a tunnel never started) gets here with the child reaped; a tunnel
    // dropped without being closed is ended now rather than left running.
    bool running = false;
    {
        std::lock_guard<std::mutex> hold(lock);
        running = child > 0 && !reaped;
    }
    if (running)
        finish(0.0);
    tnReleaseTcpPort(port);
    if (errorFile >= 0)
        ::close(errorFile);
}

pid_t TNSSHTunnel::pid() const
{
    std::lock_guard<std::mutex> hold(lock);
    return child;
}

std::string TNSSHTunnel::errorText() const
{
    std::lock_guard<std::mutex> hold(lock);
    return tnReadCapturedText(errorFile);
}

bool TNSSHTunnel::start(std::string* error)
{
    std::lock_guard<std::mutex> hold(lock);
    // A child that has ended may be followed by another (a retry); a running one may not.
    if (closing || (child > 0 && !reaped)) {
        if (error)
            *error = "the tunnel has been closed";
        return false;
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        if (error)
            *error = strerror(errno);
        return false;
    }
    TNProcessOptions options;
    options.standardInput = ends[0];
    options.captureStandardError = true;
    options.ownSession = true;
    options.endWithProgram = true;
    TNProcess started;
    const bool ok = tnStartShell(commandLine, options, &started);
    const int spawnError = errno;
    ::close(ends[0]);
    if (!ok) {
        ::close(ends[1]);
        if (error)
            *error = strerror(spawnError);
        return false;
    }
    if (input >= 0)
        ::close(input);
    if (errorFile >= 0)
        ::close(errorFile);
    child = started.pid;
    errorFile = started.errorFile;
    input = ends[1];
    reaped = false;
    listened = false;
    exitStatus = 0;
    return true;
}

bool TNSSHTunnel::reapLocked(bool block)
{
    if (child <= 0 || reaped)
        return reaped;
    int status = 0;
    if (block) {
        status = tnWaitForProcess(child);
        reaped = true;
    } else {
        reaped = tnReapIfEnded(child, &status);
    }
    if (reaped)
        exitStatus = status < 0 ? -1 : tnExitCode(status);
    return reaped;
}

void TNSSHTunnel::signalSessionLocked(int signal)
{
    if (child <= 0)
        return;
    // The child leads a session and process group of its own; the group outlives it as long
    // as a member does, so the id cannot have been handed to another process.
    kill(-child, signal);
}

TNSSHTunnel::Wait TNSSHTunnel::waitUntilListening(double seconds, int* status)
{
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (;;) {
        pid_t pid = -1;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (closing)
                return Wait::Closed;
            if (reapLocked(false)) {
                if (status)
                    *status = exitStatus;
                return Wait::Exited;
            }
            pid = child;
        }
        if (tnSessionListensOnPort(pid, port)) {
            std::lock_guard<std::mutex> hold(lock);
            listened = true;
            return closing ? Wait::Closed : Wait::Listening;
        }
        if (Clock::now() >= deadline)
            return Wait::TimedOut;
        std::this_thread::sleep_for(tnTunnelPollInterval);
    }
}

void TNSSHTunnel::finish(double seconds)
{
    int pipe = -1;
    bool wasUp = false;
    {
        std::lock_guard<std::mutex> hold(lock);
        pipe = input;
        input = -1;
        wasUp = listened;
    }
    if (pipe >= 0) {
        // ssh's disconnect escape at the start of a line. A child that has ended already
        // makes the write fail; that is not an error.
        static const char escape[] = "\r\n~.\r\n";
        tnWriteWithoutSigpipe(pipe, escape, sizeof(escape) - 1);
        ::close(pipe);
    }
    // A child whose forward never came up has no session that the escape could end.
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(wasUp ? seconds : 0.0));
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (child <= 0 || reapLocked(false))
                break;
        }
        if (Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard<std::mutex> hold(lock);
    if (child > 0 && !reaped) {
        signalSessionLocked(SIGTERM);
        const auto killAt = Clock::now() + std::chrono::milliseconds(500);
        while (!reapLocked(false) && Clock::now() < killAt)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!reaped) {
            signalSessionLocked(SIGKILL);
            reapLocked(true);
        }
    }
    // What the child started (the ssh under a shell or a wrapper) gets the same signals; it
    // is gone once no process of the session lives any more.
    if (child > 0) {
        auto goneBy = Clock::now() + std::chrono::milliseconds(500);
        bool killed = false;
        while (!tnSessionProcesses(child, false).empty()) {
            if (Clock::now() >= goneBy) {
                if (killed)
                    break;
                signalSessionLocked(SIGKILL);
                killed = true;
                goneBy = Clock::now() + std::chrono::milliseconds(500);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    tnReleaseTcpPort(port);
    finished = true;
}

void* TNSSHTunnel::closerThread(void* data)
{
    pthread_detach(pthread_self());
    auto* held = static_cast<std::shared_ptr<TNSSHTunnel>*>(data);
    (*held)->finish(tnTunnelCloseSeconds);
    delete held;
    return nullptr;
}

bool TNSSHTunnel::close()
{
    if (closing.exchange(true))
        return true;
    auto* held = new std::shared_ptr<TNSSHTunnel>(shared_from_this());
    pthread_t thread;
    if (pthread_create(&thread, nullptr, closerThread, held) == 0)
        return true;
    delete held;
    finish(tnTunnelCloseSeconds);
    return false;
}

void TNSSHTunnel::closeAndWait(double seconds)
{
    if (closing.exchange(true))
        return;
    finish(seconds);
}

void tnCloseAllSSHTunnels(double seconds)
{
    std::vector<std::shared_ptr<TNSSHTunnel>> open;
    {
        std::lock_guard<std::mutex> hold(tnTunnelsLock());
        for (TNSSHTunnel* tunnel : tnTunnels()) {
            if (std::shared_ptr<TNSSHTunnel> held = tunnel->weak_from_this().lock())
                open.push_back(std::move(held));
        }
    }
    // Each on a closer thread of its own, so that they end together.
    for (const auto& tunnel : open)
        tunnel->close();
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    for (const auto& tunnel : open) {
        while (!tunnel->isFinished() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
