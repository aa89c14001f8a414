// Update throughput of the shown connection, an idle program, and memory with many
// connections.
//
// Runs under a display (tests/with-xvfb.sh). A small RFB server in this process (raw
// encoding, no authentication, 1280x720) answers every FramebufferUpdateRequest at once,
// so a client takes updates as fast as it can handle them; the server counts the
// requests. Two kinds of update: a whole new screen ("full screen"), or one 64x64 box of
// new pixels on an otherwise still screen ("small change"; a full request still gets the
// whole screen). The clients are separate processes, so that their CPU time can be read
// from /proc/<pid>/stat, and so can the X server's (the Xvfb of tests/with-xvfb.sh):
//   - this program itself started again with --client: the real start-up, the real
//     connection engine, viewer and main loop, showing one host 1:1 in a 1280x720 full-
//     window view, or scaled (bilinear) into 1000x562;
//   - TigerVNC's vncviewer (if installed), 1:1 against the same server in the same run;
//   - this program with 20 hosts connected, one shown 1:1 and 19 hidden, for the shown
//     one's rate beside the hidden ones;
//   - this program with 20 hosts connected and none shown: its CPU and wake-ups (the
//     voluntary context switches of all its threads) while nothing happens;
//   - this program with 20 hosts connected, for its resident size against 20 frame buffers.
// The throughput runs take turns for kRounds rounds (the machine's load falls on all of
// them alike) and each figure is the median of its rounds. Every wait is bounded.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Pixmap.H>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "gui/main_loop.h"
#include "gui/front_end.h"
#include "gui/host_list.h"
#include "gui/main_window.h"
#include "startup/startup.h"
#include "viewer/vnc_viewer.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 4;            // distinct screens the server cycles through
constexpr int kBox = 64;              // the side of the small change
constexpr double kMeasureSeconds = 4.0;
constexpr int kRounds = 3;
constexpr int kMemoryHosts = 20;
constexpr int kIdleHosts = 20;
constexpr int kIdleWindows = 3;       // consecutive measuring windows of the idle program
constexpr double kIdleWindowSeconds = 4.0;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---------------------------------------------------------------- the server

std::atomic<bool> serverStop{false};
std::atomic<long> updateRequests{0};
std::atomic<int> openConnections{0};
// Incremental requests get one 64x64 box of new pixels instead of a whole new screen.
std::atomic<bool> smallChanges{false};

struct PixelFormat {
    int bpp = 32;
    bool bigEndian = false;
    int redShift = 16, greenShift = 8, blueShift = 0;
    int redMax = 255, greenMax = 255, blueMax = 255;
    std::string key() const
    {
        std::ostringstream k;
        k << bpp << bigEndian << redShift << ',' << greenShift << ',' << blueShift << ',' << redMax << ','
          << greenMax << ',' << blueMax;
        return k.str();
    }
};

// Whole screens in one client pixel format, made once per format and shared.
const std::vector<std::vector<uint8_t>>& framesFor(const PixelFormat& format)
{
    static std::mutex lock;
    static std::map<std::string, std::vector<std::vector<uint8_t>>> cache;
    std::lock_guard<std::mutex> hold(lock);
    auto& frames = cache[format.key()];
    if (!frames.empty())
        return frames;
    frames.resize(kFrames);
    for (int f = 0; f < kFrames; ++f) {
        std::vector<uint8_t>& data = frames[f];
        data.resize(static_cast<size_t>(kWidth) * kHeight * 4);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                // Every pixel differs from the previous frame's.
                const uint32_t r = (x + f * 37) & 255, g = (y + f * 53) & 255, b = ((x ^ y) + f * 11) & 255;
                const uint32_t v = (r * format.redMax / 255) << format.redShift |
                                   (g * format.greenMax / 255) << format.greenShift |
                                   (b * format.blueMax / 255) << format.blueShift;
                uint8_t* p = &data[(static_cast<size_t>(y) * kWidth + x) * 4];
                if (format.bigEndian) {
                    p[0] = v >> 24, p[1] = v >> 16, p[2] = v >> 8, p[3] = v;
                } else {
                    p[0] = v, p[1] = v >> 8, p[2] = v >> 16, p[3] = v >> 24;
                }
            }
        }
    }
    return frames;
}

bool readAll(int fd, void* buffer, size_t length)
{
    auto* p = static_cast<uint8_t*>(buffer);
    while (length > 0 && !serverStop) {
        const ssize_t got = read(fd, p, length);
        if (got == 0)
            return false;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue; // the receive time-out lets the stop flag be seen
            return false;
        }
        p += got;
        length -= static_cast<size_t>(got);
    }
    return length == 0;
}

bool writeAll(int fd, const void* buffer, size_t length)
{
    auto* p = static_cast<const uint8_t*>(buffer);
    while (length > 0 && !serverStop) {
        const ssize_t sent = send(fd, p, length, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return false;
        }
        p += sent;
        length -= static_cast<size_t>(sent);
    }
    return length == 0;
}

uint16_t be16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// The `number`th small change: a 64x64 box that walks the screen in rows; each pass paints
// the next frame's pixels, so every box differs from what was there.
bool sendBox(int fd, const PixelFormat& format, long number)
{
    uint8_t message[16 + kBox * kBox * 4];
    const int columns = kWidth / kBox, rows = kHeight / kBox;
    const int bx = static_cast<int>(number % columns) * kBox;
    const int by = static_cast<int>((number / columns) % rows) * kBox;
    const std::vector<uint8_t>& pixels = framesFor(format)[(number / (columns * rows) + 1) % kFrames];
    const uint8_t header[16] = {0, 0, 0, 1, static_cast<uint8_t>(bx >> 8), static_cast<uint8_t>(bx & 255),
                                static_cast<uint8_t>(by >> 8), static_cast<uint8_t>(by & 255), 0, kBox, 0, kBox,
                                0, 0, 0, 0};
    memcpy(message, header, sizeof(header));
    for (int row = 0; row < kBox; ++row)
        memcpy(message + 16 + row * kBox * 4, pixels.data() + (static_cast<size_t>(by + row) * kWidth + bx) * 4,
               kBox * 4);
    return writeAll(fd, message, sizeof(message));
}

// One client: RFB 3.8, security None, then messages until the client goes.
void serveClient(int fd)
{
    openConnections++;
    timeval timeout{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    PixelFormat format;
    int frame = 0;
    long boxes = 0;
    uint8_t buffer[64];
    bool ok = writeAll(fd, "RFB 003.008\n", 12) && readAll(fd, buffer, 12);
    const uint8_t types[] = {1, 1}; // one type: None
    ok = ok && writeAll(fd, types, 2) && readAll(fd, buffer, 1);
    const uint8_t result[] = {0, 0, 0, 0};
    ok = ok && writeAll(fd, result, 4) && readAll(fd, buffer, 1); // ClientInit
    if (ok) {
        const char name[] = "tn-bench";
        uint8_t init[24 + sizeof(name) - 1] = {kWidth >> 8, kWidth & 255, kHeight >> 8, kHeight & 255,
                                               32, 24, 0, 1, 0, 255, 0, 255, 0, 255, 16, 8, 0, 0, 0, 0,
                                               0, 0, 0, sizeof(name) - 1};
        memcpy(init + 24, name, sizeof(name) - 1);
        ok = writeAll(fd, init, sizeof(init));
    }
    while (ok && !serverStop) {
        uint8_t type = 0;
        if (!readAll(fd, &type, 1))
            break;
        switch (type) {
        case 0: // SetPixelFormat
            ok = readAll(fd, buffer, 19);
            format.bpp = buffer[3];
            format.bigEndian = buffer[5] != 0;
            format.redMax = be16(buffer + 7);
            format.greenMax = be16(buffer + 9);
            format.blueMax = be16(buffer + 11);
            format.redShift = buffer[13];
            format.greenShift = buffer[14];
            format.blueShift = buffer[15];
            if (format.bpp != 32) {
                fprintf(stderr, "bench server: %d bits per pixel not supported\n", format.bpp);
                ok = false;
            }
            break;
        case 2: { // SetEncodings (raw is always allowed)
            ok = readAll(fd, buffer, 3);
            std::vector<uint8_t> list(static_cast<size_t>(be16(buffer + 1)) * 4);
            ok = ok && (list.empty() || readAll(fd, list.data(), list.size()));
            break;
        }
        case 3: { // FramebufferUpdateRequest: a whole new screen, or a box
            ok = readAll(fd, buffer, 9);
            updateRequests++;
            const bool incremental = buffer[0] != 0;
            if (ok && incremental && smallChanges) {
                ok = sendBox(fd, format, boxes++);
                break;
            }
            const std::vector<uint8_t>& pixels = framesFor(format)[frame++ % kFrames];
            const uint8_t header[16] = {0, 0, 0, 1, 0, 0, 0, 0, kWidth >> 8, kWidth & 255, kHeight >> 8,
                                        kHeight & 255, 0, 0, 0, 0};
            ok = ok && writeAll(fd, header, sizeof(header)) && writeAll(fd, pixels.data(), pixels.size());
            break;
        }
        case 4: // KeyEvent
            ok = readAll(fd, buffer, 7);
            break;
        case 5: // PointerEvent
            ok = readAll(fd, buffer, 5);
            break;
        case 6: { // ClientCutText
            ok = readAll(fd, buffer, 7);
            const uint32_t length = static_cast<uint32_t>(buffer[3]) << 24 | buffer[4] << 16 | buffer[5] << 8 |
                                    buffer[6];
            std::vector<uint8_t> text(length);
            ok = ok && (text.empty() || readAll(fd, text.data(), text.size()));
            break;
        }
        default:
            fprintf(stderr, "bench server: unknown client message %d\n", type);
            ok = false;
        }
    }
    close(fd);
    openConnections--;
}

int startServer(std::thread* acceptor)
{
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    // Ports below 5900 would be read as display numbers by the client library; the
    // kernel's ephemeral ports are all higher.
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener, 32) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    const int port = ntohs(address.sin_port);
    *acceptor = std::thread([listener] {
        while (!serverStop) {
            pollfd in{listener, POLLIN, 0};
            if (poll(&in, 1, 200) <= 0)
                continue;
            const int fd = accept(listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
            std::thread(serveClient, fd).detach();
        }
        close(listener);
    });
    return port;
}

// ---------------------------------------------------------------- client processes

double cpuSecondsOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(close + 2));
    std::vector<std::string> tokens;
    for (std::string t; fields >> t;)
        tokens.push_back(t);
    if (tokens.size() < 13)
        return 0;
    // Fields 14 and 15 of the file (utime, stime); tokens start at field 3.
    return (std::stod(tokens[11]) + std::stod(tokens[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Voluntary context switches of all of a process's threads: each is a sleep a thread woke from.
long wakeUpsOf(pid_t pid)
{
    long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream in(tasks + "/" + entry->d_name + "/status");
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total += std::atol(line.c_str() + 24);
        }
    }
    closedir(dir);
    return total;
}

// CPU time of all of a process's threads in seconds, to the nanosecond (the scheduler's
// own account; /proc/<pid>/stat counts in ticks of 10 ms, too coarse for an idle process).
double preciseCpuSecondsOf(pid_t pid)
{
    double total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
        double ns = 0;
        if (in >> ns)
            total += ns / 1e9;
    }
    closedir(dir);
    return total;
}

std::string commandNameOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// The X server this run draws on: the Xvfb that tests/with-xvfb.sh started (it names it in
// TN_XVFB_PID; otherwise the Xvfb child of our parent); 0 when there is none (then its
// share of the drawing is not reported).
pid_t findXvfb()
{
    if (const char* named = getenv("TN_XVFB_PID")) {
        const pid_t pid = atoi(named);
        if (pid > 0 && commandNameOf(pid) == "Xvfb")
            return pid;
    }
    const pid_t parent = getppid();
    DIR* proc = opendir("/proc");
    if (!proc)
        return 0;
    pid_t found = 0;
    while (dirent* entry = readdir(proc)) {
        const int pid = atoi(entry->d_name);
        if (pid <= 0)
            continue;
        std::ifstream in(std::string("/proc/") + entry->d_name + "/stat");
        if (!in)
            continue;
        std::string line;
        std::getline(in, line);
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || line.substr(open + 1, close - open - 1) != "Xvfb")
            continue;
        std::istringstream fields(line.substr(close + 2));
        std::string state;
        long ppid = 0;
        fields >> state >> ppid;
        if (ppid == parent) {
            found = pid;
            break;
        }
    }
    closedir(proc);
    return found;
}

pid_t xvfbPid = 0;

long residentKilobytes()
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr; // the child's standard output
};

// `quiet`: the child's standard error goes to /dev/null (TigerVNC's viewer talks a lot).
Child spawn(const std::vector<std::string>& args, const std::string& home, bool quiet = false)
{
    // Everything the child needs is made before fork: between fork and exec only
    // async-signal-safe calls, as other threads may hold the allocator's lock.
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        if (strncmp(*e, "HOME=", 5) != 0)
            environment.emplace_back(*e);
    }
    environment.push_back("HOME=" + home);
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);

    int pipeFds[2];
    Child child;
    if (pipe(pipeFds) != 0)
        return child;
    const int nullFd = quiet ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    child.pid = fork();
    if (child.pid == 0) {
        if (nullFd >= 0)
            dup2(nullFd, STDERR_FILENO);
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (nullFd >= 0)
        close(nullFd);
    child.out = fdopen(pipeFds[0], "r");
    return child;
}

void stop(Child& child)
{
    if (child.pid > 0) {
        kill(child.pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(child.pid, &status, WNOHANG) == 0; ++i)
            usleep(100000);
        if (waitpid(child.pid, &status, WNOHANG) == 0) {
            kill(child.pid, SIGKILL);
            waitpid(child.pid, &status, 0);
        }
    }
    if (child.out)
        fclose(child.out);
    child = Child();
}

// The child's "READY ..." (or "FAILED ...") line, skipping anything else it prints;
// "" when none comes within `seconds`.
std::string readReadyLine(Child& child, double seconds)
{
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) {
        pollfd in{fileno(child.out), POLLIN, 0};
        const int wait = static_cast<int>((seconds - secondsSince(start)) * 1000);
        if (poll(&in, 1, wait > 0 ? wait : 0) <= 0)
            return "";
        char line[256] = {0};
        if (!fgets(line, sizeof(line), child.out))
            return "";
        const std::string text = line;
        if (text.rfind("READY", 0) == 0 || text.rfind("FAILED", 0) == 0)
            return text;
    }
    return "";
}

struct Throughput {
    double updatesPerSecond = 0;
    double cpuMsPerUpdate = 0;
    double cpuPercent = 0;
    double xMsPerUpdate = -1; // the X server's CPU per update (its share of the drawing)
    bool ok = false;
};

// Counts the requests the server gets from the running client over the measuring time.
Throughput measure(pid_t pid)
{
    Throughput result;
    // Let it settle into its steady state first.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const long requests0 = updateRequests;
    const double cpu0 = cpuSecondsOf(pid);
    const double x0 = xvfbPid ? cpuSecondsOf(xvfbPid) : 0;
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(kMeasureSeconds));
    const double seconds = secondsSince(start);
    const long updates = updateRequests - requests0;
    const double cpu = cpuSecondsOf(pid) - cpu0;
    if (updates <= 0)
        return result;
    result.updatesPerSecond = updates / seconds;
    result.cpuMsPerUpdate = cpu * 1000.0 / updates;
    result.cpuPercent = cpu * 100.0 / seconds;
    if (xvfbPid)
        result.xMsPerUpdate = (cpuSecondsOf(xvfbPid) - x0) * 1000.0 / updates;
    result.ok = true;
    return result;
}

void report(const std::string& name, const Throughput& t)
{
    if (!t.ok) {
        printf("%-52s no updates taken\n", name.c_str());
        return;
    }
    printf("%-52s %7.1f updates/s  %6.3f ms CPU/update  %5.1f%% CPU", name.c_str(), t.updatesPerSecond,
           t.cpuMsPerUpdate, t.cpuPercent);
    if (t.xMsPerUpdate >= 0)
        printf("  (+ Xvfb %6.3f ms/update)", t.xMsPerUpdate);
    printf("\n");
    fflush(stdout);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The median of each figure over the rounds that took updates.
Throughput medianOf(const std::vector<Throughput>& runs)
{
    std::vector<double> rate, cpu, percent, x;
    for (const Throughput& t : runs) {
        if (!t.ok)
            continue;
        rate.push_back(t.updatesPerSecond);
        cpu.push_back(t.cpuMsPerUpdate);
        percent.push_back(t.cpuPercent);
        if (t.xMsPerUpdate >= 0)
            x.push_back(t.xMsPerUpdate);
    }
    Throughput result;
    if (rate.empty())
        return result;
    result.updatesPerSecond = median(rate);
    result.cpuMsPerUpdate = median(cpu);
    result.cpuPercent = median(percent);
    result.xMsPerUpdate = median(x);
    result.ok = true;
    return result;
}

std::string selfPath()
{
    char path[4096] = {0};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// ---------------------------------------------------------------- --client mode

bool pumpUntil(bool (*done)(), double seconds)
{
    const auto start = Clock::now();
    while (!done()) {
        if (secondsSince(start) > seconds)
            return false;
        Fl::wait(0.05);
    }
    return true;
}

std::vector<HostItem*> benchHosts;

bool allConnected()
{
    for (HostItem* itm : benchHosts) {
        if (!tnIsConnected(itm) || tnHostStatusImage(itm) != app->iconConnected)
            return false;
    }
    return true;
}

void endLoop(void*)
{
    engine.isShuttingDown = true;
}

// The program with `hosts` hosts on `port`. layout: "full" (the first one shown 1:1 in a
// 1280x720 full-window view), "scaled" (the first one bilinear into 1000x562), "cycle"
// (each one shown once, then none), "hidden" (none shown).
int runClient(int port, int hosts, const std::string& layout, double maxSeconds)
{
    static char name[] = "tandrel";
    static char* argv[] = {name, nullptr};
    tnSetUpState();
    tnStartUp(1, argv);
    Fl::remove_timeout(tnRestoreWindowSizePosition);
    const long startRss = residentKilobytes();
    for (int n = 0; n < hosts; ++n) {
        auto shared = std::make_shared<HostItem>();
        HostItem* itm = shared.get();
        itm->name = "bench " + std::to_string(n + 1);
        itm->hostAddress = "127.0.0.1";
        itm->vncPort = std::to_string(port);
        itm->scaling = layout == "scaled" ? 'z' : 's';
        tnAddHostLine(shared);
        benchHosts.push_back(itm);
        VncObject::createVNCObject(itm);
    }
    if (!pumpUntil(allConnected, 30)) {
        printf("FAILED not all hosts connected\n");
        fflush(stdout);
        return 1;
    }
    if (layout == "full") {
        app->resize(0, 0, kWidth, kHeight);
        tnShowConnection(*app->vncViewer, tnVncOf(benchHosts[0]));
        app->setFullScreen(true);
    } else if (layout == "scaled") {
        // A viewer area of 1000 x 562 beside the host list.
        app->resize(0, 0, app->hostList->x() + app->hostList->w() + 3 + 1000, 562);
        app->layOut();
        tnShowConnection(*app->vncViewer, tnVncOf(benchHosts[0]));
    }
    if (layout == "hidden")
        tnHideShownConnection(*app->vncViewer);
    Fl::check();
    const long connectedRss = residentKilobytes();
    long shownRss = connectedRss;
    if (layout == "cycle") {
        // Each host shown once, until its frame buffer holds the server's screen (a fresh
        // frame buffer is zero, the server's pixel (1,1) is not).
        static HostItem* current = nullptr;
        for (HostItem* itm : benchHosts) {
            tnHideShownConnection(*app->vncViewer);
            tnShowConnection(*app->vncViewer, tnVncOf(itm));
            current = itm;
            pumpUntil([] {
                VncObject* vnc = tnVncOf(current);
                std::lock_guard<std::mutex> hold(vnc->pictureLock);
                if (vnc->picture.pixels.size() < size_t(kWidth + 2) * 4)
                    return false;
                const uint8_t* p = vnc->picture.pixels.data() + (kWidth + 1) * 4;
                return p[0] != 0 || p[1] != 0 || p[2] != 0;
            }, 5);
        }
        tnHideShownConnection(*app->vncViewer);
        shownRss = residentKilobytes();
    }
    printf("READY %ld %ld %ld\n", startRss, connectedRss, shownRss);
    fflush(stdout);
    Fl::add_timeout(maxSeconds, endLoop);
    tnRunMainLoop();
    _exit(0);
}

std::string makeTempHome()
{
    char pattern[] = "/tmp/tandrel-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::string(argv[1]) == "--client")
        return runClient(atoi(argv[2]), atoi(argv[3]), argv[4], atof(argv[5]));

    if (!getenv("DISPLAY")) {
        fprintf(stderr, "bench_throughput: needs a display (run under tests/with-xvfb.sh)\n");
        return 1;
    }
    if (!getenv("USER"))
        setenv("USER", "bench", 1);
    signal(SIGPIPE, SIG_IGN);
    std::thread acceptor;
    const int port = startServer(&acceptor);
    if (port <= 0) {
        fprintf(stderr, "bench_throughput: could not listen\n");
        return 1;
    }
    const std::string home = makeTempHome();
    const std::string self = selfPath();
    const double childSeconds = kMeasureSeconds + 20;
    printf("Server: %dx%d, raw encoding, a whole new screen or a new %dx%d box for every update request\n", kWidth,
           kHeight, kBox, kBox);
    framesFor(PixelFormat{}); // warm the frame cache outside the measurements
    xvfbPid = findXvfb();

    // The throughput runs: the program in each layout and TigerVNC's viewer, on whole new
    // screens and on small changes, taking turns round by round.
    struct Run {
        std::string name;
        bool small;       // small changes rather than whole screens
        std::string layout; // "vncviewer" for TigerVNC's viewer
        int hosts;
    };
    const std::vector<Run> runs = {
        {"full screen, 1:1: tandrel", false, "full", 1},
        {"full screen, 1:1: vncviewer", false, "vncviewer", 1},
        {"full screen, scaled: tandrel", false, "scaled", 1},
        {"full screen, 1:1, 19 more hosts hidden: tandrel", false, "full", 20},
        {"small change, 1:1: tandrel", true, "full", 1},
        {"small change, 1:1: vncviewer", true, "vncviewer", 1},
        {"small change, scaled: tandrel", true, "scaled", 1},
    };
    const bool haveViewer = system("command -v vncviewer >/dev/null 2>&1") == 0;
    if (!haveViewer)
        printf("TigerVNC vncviewer not installed: its runs are skipped\n");
    std::map<std::string, std::vector<Throughput>> results;
    for (int round = 1; round <= kRounds; ++round) {
        printf("-- round %d of %d\n", round, kRounds);
        for (const Run& run : runs) {
            smallChanges = run.small;
            if (run.layout == "vncviewer") {
                if (!haveViewer)
                    continue;
                const long before = updateRequests;
                Child viewer = spawn({"vncviewer", "-SecurityTypes=None", "-AutoSelect=0", "-FullColor=1",
                                      "-PreferredEncoding=raw", "127.0.0.1::" + std::to_string(port)},
                                     home, true);
                const auto start = Clock::now();
                while (updateRequests == before && secondsSince(start) < 15)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (updateRequests == before) {
                    printf("%-52s did not connect\n", run.name.c_str());
                } else {
                    const Throughput t = measure(viewer.pid);
                    results[run.name].push_back(t);
                    report(run.name, t);
                }
                stop(viewer);
                continue;
            }
            Child child = spawn({self, "--client", std::to_string(port), std::to_string(run.hosts), run.layout,
                                 std::to_string(childSeconds)},
                                home);
            const std::string ready = readReadyLine(child, 30);
            if (ready.rfind("READY", 0) != 0) {
                printf("%-52s did not start: %s\n", run.name.c_str(), ready.c_str());
                stop(child);
                continue;
            }
            const Throughput t = measure(child.pid);
            results[run.name].push_back(t);
            report(run.name, t);
            stop(child);
        }
    }
    smallChanges = false;

    // The idle program: 20 connections open, none shown; the server changes nothing.
    double idleCpuPercent = -1, idleWakeUps = -1;
    {
        Child child = spawn({self, "--client", std::to_string(port), std::to_string(kIdleHosts), "hidden",
                             std::to_string(kIdleWindows * kIdleWindowSeconds + 20)},
                            home);
        const std::string ready = readReadyLine(child, 60);
        if (ready.rfind("READY", 0) == 0) {
            // What the connections started with settles first.
            std::this_thread::sleep_for(std::chrono::seconds(2));
            std::vector<double> percents, wakeUps;
            for (int window = 0; window < kIdleWindows; ++window) {
                const double cpu0 = preciseCpuSecondsOf(child.pid);
                const long wakes0 = wakeUpsOf(child.pid);
                const auto start = Clock::now();
                std::this_thread::sleep_for(std::chrono::duration<double>(kIdleWindowSeconds));
                const double seconds = secondsSince(start);
                percents.push_back((preciseCpuSecondsOf(child.pid) - cpu0) * 100.0 / seconds);
                wakeUps.push_back((wakeUpsOf(child.pid) - wakes0) / seconds);
            }
            idleCpuPercent = median(percents);
            idleWakeUps = median(wakeUps);
            printf("%-52s %6.2f%% CPU  %5.1f wake-ups/s (medians of %d windows of %.0f s)\n",
                   "20 connections open and hidden: tandrel", idleCpuPercent, idleWakeUps, kIdleWindows,
                   kIdleWindowSeconds);
        } else {
            printf("Idle run did not start: %s\n", ready.c_str());
        }
        stop(child);
    }

    // The summary: medians of the rounds, and the ratios to TigerVNC's viewer.
    const Throughput full = medianOf(results["full screen, 1:1: tandrel"]);
    const Throughput fullViewer = medianOf(results["full screen, 1:1: vncviewer"]);
    const Throughput fullScaled = medianOf(results["full screen, scaled: tandrel"]);
    const Throughput small = medianOf(results["small change, 1:1: tandrel"]);
    const Throughput smallViewer = medianOf(results["small change, 1:1: vncviewer"]);
    const Throughput smallScaled = medianOf(results["small change, scaled: tandrel"]);
    printf("\nMedians of %d rounds (vncviewer runs 1:1 only; ratio = tandrel / vncviewer):\n", kRounds);
    printf("%-44s %12s %12s %8s   %s\n", "scenario", "tandrel", "vncviewer", "ratio", "target");
    auto row = [](const char* name, bool ok, double ours, bool theirsOk, double theirs, const char* target) {
        if (!ok || ours < 0) {
            printf("%-44s %12s\n", name, "-");
            return;
        }
        if (!theirsOk || theirs <= 0) {
            printf("%-44s %12.3f %12s %8s   %s\n", name, ours, "-", "-", target);
            return;
        }
        printf("%-44s %12.3f %12.3f %7.2fx   %s\n", name, ours, theirs, ours / theirs, target);
    };
    row("full screen, 1:1: updates/s", full.ok, full.updatesPerSecond, fullViewer.ok, fullViewer.updatesPerSecond,
        ">= 0.95x");
    row("full screen, 1:1: CPU ms/update", full.ok, full.cpuMsPerUpdate, fullViewer.ok, fullViewer.cpuMsPerUpdate,
        "<= 1.0x");
    row("full screen, 1:1: X server ms/update", full.ok, full.xMsPerUpdate, fullViewer.ok, fullViewer.xMsPerUpdate,
        "");
    row("full screen, scaled: updates/s", fullScaled.ok, fullScaled.updatesPerSecond, fullViewer.ok,
        fullViewer.updatesPerSecond, "");
    row("full screen, scaled: CPU ms/update", fullScaled.ok, fullScaled.cpuMsPerUpdate, fullViewer.ok,
        fullViewer.cpuMsPerUpdate, "");
    row("full screen, scaled: CPU ms/update vs own 1:1", fullScaled.ok, fullScaled.cpuMsPerUpdate, full.ok,
        full.cpuMsPerUpdate, "<= 1.5x (tandrel 1:1)");
    row("small change, 1:1: updates/s", small.ok, small.updatesPerSecond, smallViewer.ok,
        smallViewer.updatesPerSecond, "");
    row("small change, 1:1: CPU ms/update", small.ok, small.cpuMsPerUpdate, smallViewer.ok,
        smallViewer.cpuMsPerUpdate, "<= 1.0x");
    row("small change, 1:1: X server ms/update", small.ok, small.xMsPerUpdate, smallViewer.ok,
        smallViewer.xMsPerUpdate, "<= 1.5x");
    row("small change, scaled: updates/s", smallScaled.ok, smallScaled.updatesPerSecond, smallViewer.ok,
        smallViewer.updatesPerSecond, "");
    row("small change, scaled: CPU ms/update", smallScaled.ok, smallScaled.cpuMsPerUpdate, smallViewer.ok,
        smallViewer.cpuMsPerUpdate, "<= 2.0x");
    row("small change, scaled: X server ms/update", smallScaled.ok, smallScaled.xMsPerUpdate, smallViewer.ok,
        smallViewer.xMsPerUpdate, "");
    row("20 connections open and hidden: CPU %", idleCpuPercent >= 0, idleCpuPercent, false, 0, "< 0.5 %");
    row("20 connections open and hidden: wake-ups/s", idleWakeUps >= 0, idleWakeUps, false, 0, "<= about 2");
    if (!xvfbPid)
        printf("(no Xvfb found: X server figures are missing)\n");
    printf("\n");
    fflush(stdout);

    {
        Child child = spawn({self, "--client", std::to_string(port), std::to_string(kMemoryHosts), "cycle", "5"},
                            home);
        const std::string ready = readReadyLine(child, 90);
        long startRss = 0, connectedRss = 0, shownRss = 0;
        if (sscanf(ready.c_str(), "READY %ld %ld %ld", &startRss, &connectedRss, &shownRss) == 3) {
            const double frameMb = kWidth * kHeight * 4 / 1e6;
            printf("Resident size with %d hosts on %dx%d screens (%d frame buffers = %.1f MB, %.2f MB each):\n",
                   kMemoryHosts, kWidth, kHeight, kMemoryHosts, kMemoryHosts * frameMb, frameMb);
            printf("  after start-up            %7.1f MB\n", startRss / 1e3);
            printf("  all connected, none shown %7.1f MB (+%.2f MB per host)\n", connectedRss / 1e3,
                   (connectedRss - startRss) / 1e3 / kMemoryHosts);
            printf("  each shown once           %7.1f MB (+%.2f MB per host)\n", shownRss / 1e3,
                   (shownRss - startRss) / 1e3 / kMemoryHosts);
        } else {
            printf("Memory run did not complete: %s\n", ready.c_str());
        }
        stop(child);
    }

    serverStop = true;
    acceptor.join();
    // Connection threads see the stop flag within their 0.2-second time-outs.
    for (int i = 0; i < 20 && openConnections > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!home.empty() && home.rfind("/tmp/tandrel-bench-", 0) == 0) {
        const std::string command = "rm -rf '" + home + "'";
        if (system(command.c_str()) != 0)
            fprintf(stderr, "bench_throughput: could not remove %s\n", home.c_str());
    }
    return 0;
}
