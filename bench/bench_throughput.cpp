// Update throughput of the shown connection and memory with many connections.
//
// Runs under a display (tests/with-xvfb.sh). A small RFB server in this process (raw
// encoding, no authentication, 1280x720) answers every FramebufferUpdateRequest with a
// whole new screen, so a client takes updates as fast as it can handle them; the server
// counts the requests. The clients are separate processes, so that their CPU time can be
// read from /proc/<pid>/stat:
//   - this program itself started again with --client: the real start-up, the real
//     connection engine, viewer and main loop, showing one host 1:1 in a 1280x720 full-
//     window view, then scaled (bilinear) into 1000x562;
//   - TigerVNC's vncviewer (if installed), against the same server in the same run;
//   - this program with 20 hosts connected, one shown 1:1 and 19 hidden, for the shown
//     one's rate beside the hidden ones;
//   - this program with 20 hosts connected, for its resident size against 20 frame buffers.
// Each throughput figure is measured over kMeasureSeconds; every wait is bounded.
#include <arpa/inet.h>
#include <dirent.h>
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
#include "core/app.h"
#include "gui/main_window.h"
#include "startup/startup.h"
#include "viewer/vnc_viewer.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 4;            // distinct screens the server cycles through
constexpr double kMeasureSeconds = 10.0;
constexpr int kMemoryHosts = 20;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---------------------------------------------------------------- the server

std::atomic<bool> serverStop{false};
std::atomic<long> updateRequests{0};
std::atomic<int> openConnections{0};

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

// One client: RFB 3.8, security None, then messages until the client goes.
void serveClient(int fd)
{
    openConnections++;
    timeval timeout{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    PixelFormat format;
    int frame = 0;
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
        case 3: { // FramebufferUpdateRequest: a whole new screen
            ok = readAll(fd, buffer, 9);
            updateRequests++;
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

// The X server this run draws on: the Xvfb that tests/with-xvfb.sh (our parent) started;
// 0 when there is none (then its share of the drawing is not reported).
pid_t findXvfb()
{
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

Child spawn(const std::vector<std::string>& args, const std::string& home)
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
    child.pid = fork();
    if (child.pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(pipeFds[1]);
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
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
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

void report(const char* name, const Throughput& t)
{
    if (!t.ok) {
        printf("%-44s no updates taken\n", name);
        return;
    }
    printf("%-44s %7.1f updates/s  %6.2f ms CPU/update  %5.1f%% CPU", name, t.updatesPerSecond, t.cpuMsPerUpdate,
           t.cpuPercent);
    if (t.xMsPerUpdate >= 0)
        printf("  (+ Xvfb %5.2f ms/update)", t.xMsPerUpdate);
    printf("\n");
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
        if (!itm->isConnected || itm->icon != app->iconConnected)
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
// (each one shown once, then none).
int runClient(int port, int hosts, const std::string& layout, double maxSeconds)
{
    static char name[] = "tandrel";
    static char* argv[] = {name, nullptr};
    tnSetUpState();
    tnStartUp(1, argv);
    Fl::remove_timeout(tnRestoreWindowSizePosition);
    const long startRss = residentKilobytes();
    for (int n = 0; n < hosts; ++n) {
        auto* itm = new HostItem();
        itm->name = "bench " + std::to_string(n + 1);
        itm->hostAddress = "127.0.0.1";
        itm->vncPort = std::to_string(port);
        itm->scaling = layout == "scaled" ? 'z' : 's';
        app->hostList->add(itm->name.c_str(), itm);
        app->hostList->icon(app->hostList->size(), app->iconDisconnected);
        benchHosts.push_back(itm);
        VncObject::createVNCObject(itm);
    }
    if (!pumpUntil(allConnected, 30)) {
        printf("FAILED not all hosts connected\n");
        fflush(stdout);
        return 1;
    }
    if (layout == "full") {
        app->mainWin->resize(0, 0, kWidth, kHeight);
        benchHosts[0]->vnc->setObjectVisible();
        VncViewer::setFullScreen();
    } else if (layout == "scaled") {
        // A viewer area of 1000 x 562 beside the host list.
        app->mainWin->resize(0, 0, app->hostList->x() + app->hostList->w() + 3 + 1000, 562);
        tnResizeScroller();
        benchHosts[0]->vnc->setObjectVisible();
    }
    Fl::check();
    const long connectedRss = residentKilobytes();
    long shownRss = connectedRss;
    if (layout == "cycle") {
        // Each host shown once, until its frame buffer holds the server's screen (a fresh
        // frame buffer is zero, the server's pixel (1,1) is not).
        static HostItem* current = nullptr;
        for (HostItem* itm : benchHosts) {
            VncObject::hideMainViewer();
            itm->vnc->setObjectVisible();
            current = itm;
            pumpUntil([] {
                VncObject* vnc = current->vnc;
                std::lock_guard<std::mutex> hold(vnc->pictureLock);
                if (vnc->picture.pixels.size() < size_t(kWidth + 2) * 4)
                    return false;
                const uint8_t* p = vnc->picture.pixels.data() + (kWidth + 1) * 4;
                return p[0] != 0 || p[1] != 0 || p[2] != 0;
            }, 5);
        }
        VncObject::hideMainViewer();
        shownRss = residentKilobytes();
    }
    printf("READY %ld %ld %ld\n", startRss, connectedRss, shownRss);
    fflush(stdout);
    Fl::add_timeout(maxSeconds, endLoop);
    VncObject::masterMessageLoop();
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
    printf("Server: %dx%d, raw encoding, a whole new screen for every update request\n", kWidth, kHeight);
    framesFor(PixelFormat{}); // warm the frame cache outside the measurements
    xvfbPid = findXvfb();

    struct Run {
        const char* name;
        std::string layout;
        int hosts;
    };
    // With 19 more connections open and hidden, each read by its own thread, the shown one
    // should go as fast as alone.
    for (const Run& run : {Run{"tandrel, 1:1 (1280x720 full-window view)", "full", 1},
                           Run{"tandrel, 1:1, 19 more hosts hidden", "full", 20},
                           Run{"tandrel, scaled bilinear into 1000x562", "scaled", 1}}) {
        Child child = spawn({self, "--client", std::to_string(port), std::to_string(run.hosts), run.layout,
                             std::to_string(childSeconds)},
                            home);
        const std::string ready = readReadyLine(child, 30);
        if (ready.rfind("READY", 0) != 0) {
            printf("%-44s did not start: %s\n", run.name, ready.c_str());
            stop(child);
            continue;
        }
        report(run.name, measure(child.pid));
        stop(child);
    }

    if (system("command -v vncviewer >/dev/null 2>&1") == 0) {
        const long before = updateRequests;
        Child viewer = spawn({"vncviewer", "-SecurityTypes=None", "-AutoSelect=0", "-FullColor=1",
                              "-PreferredEncoding=raw", "127.0.0.1::" + std::to_string(port)},
                             home);
        const auto start = Clock::now();
        while (updateRequests == before && secondsSince(start) < 15)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (updateRequests == before)
            printf("%-44s did not connect\n", "TigerVNC vncviewer");
        else
            report("TigerVNC vncviewer (1280x720 window)", measure(viewer.pid));
        stop(viewer);
    } else {
        printf("TigerVNC vncviewer not installed: skipped\n");
    }

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
