// Update throughput of the shown connection against TigerVNC's vncviewer, an idle program,
// and memory with many connections.
//
// Runs under a display (tests/with-xvfb.sh). Two servers in this process show 1280x720
// screens and answer every update request at once (bench/support): the scripted one sends
// Raw, a libvncserver one sends the encoding the client prefers, which is Tight for both
// clients here, at the same quality and compression. A request gets a whole new screen in
// which every pixel differs ("full screen": Tight sends JPEG), a whole screen of a new colour
// ("one-colour screen": Tight sends fills, so the client's cost is its own handling of the
// pixels), or one 64x64 box of new pixels ("small change"); the Raw server also sends whole
// screens as over a 1 Gbit/s link (64 KiB pieces half a millisecond apart), where the
// client's wake-ups per update show how it reads an update that arrives piecemeal. The
// clients are separate processes, so that their CPU time can be read from /proc, and so
// can the X server's (the Xvfb of tests/with-xvfb.sh):
//   - this benchmark in its client mode (bench/support/client_mode.h): the real start-up,
//     connection engine, viewer and main loop, showing one host 1:1 in a 1280x720
//     full-window view, or scaled (bilinear) into 1000x562, or one of 20 hosts, or 20 hosts
//     as tiles of the overview in 1000x562, each refreshed once a second (an update there
//     is one tile's refresh);
//   - TigerVNC's vncviewer (if installed), 1:1 against the same server in the same run;
//   - the client mode with 60 hosts, each shown once and then hidden: how long showing each
//     took until its picture was drawn, its resident size against 60 frame buffers, then its
//     CPU and wake-ups while nothing happens.
// The throughput cases take turns for tnRounds rounds (the machine's load falls on all of
// them alike) and each figure is the median of its rounds. Every wait is bounded; the run
// takes about four minutes.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/host_item.h"
#include "support/child_process.h"
#include "support/client_mode.h"
#include "support/cpu_meter.h"
#include "support/library_server.h"
#include "support/raw_server.h"

namespace {

constexpr double tnSettleSeconds = 1.0;
constexpr double tnMeasureSeconds = 3.0;
constexpr int tnRounds = 3;
constexpr int tnHiddenHosts = 60;
constexpr int tnIdleWindows = 3; // consecutive measuring windows of the idle program
constexpr double tnIdleWindowSeconds = 3.0;

enum class TNEncoding { Raw, Tight };
enum class TNClient { Tandrel, VncViewer };

struct TNCase {
    const char* name;
    TNEncoding encoding;
    TNScreenChange change;
    TNClientLayout layout; // vncviewer: always 1:1
    TNClient client;
    int hosts; // the first is shown, the others connected and hidden
    bool overLink = false; // Raw: each screen sent as over a 1 Gbit/s link
};

constexpr TNScreenChange tnWhole = TNScreenChange::Whole;
constexpr TNScreenChange tnFlat = TNScreenChange::Flat;
constexpr TNScreenChange tnBox = TNScreenChange::Box;
constexpr TNClientLayout tnFull = TNClientLayout::Full;
constexpr TNClientLayout tnScaled = TNClientLayout::Scaled;
constexpr TNClientLayout tnOverview = TNClientLayout::Overview;
constexpr TNClient tnOurs = TNClient::Tandrel;
constexpr TNClient tnTheirs = TNClient::VncViewer;

const TNCase tnCases[] = {
    {"Raw, full screen, 1:1: tandrel", TNEncoding::Raw, tnWhole, tnFull, tnOurs, 1},
    {"Raw, full screen, 1:1: vncviewer", TNEncoding::Raw, tnWhole, tnFull, tnTheirs, 1},
    {"Raw, full screen, scaled: tandrel", TNEncoding::Raw, tnWhole, tnScaled, tnOurs, 1},
    {"Raw, full screen, 1:1, 19 more hosts hidden: tandrel", TNEncoding::Raw, tnWhole, tnFull, tnOurs, 20},
    {"Raw, full screen, overview of 20 at 1/s: tandrel", TNEncoding::Raw, tnWhole, tnOverview, tnOurs, 20},
    {"Raw, full screen over a 1 Gbit/s link, 1:1: tandrel", TNEncoding::Raw, tnWhole, tnFull, tnOurs, 1, true},
    {"Raw, small change, 1:1: tandrel", TNEncoding::Raw, tnBox, tnFull, tnOurs, 1},
    {"Raw, small change, 1:1: vncviewer", TNEncoding::Raw, tnBox, tnFull, tnTheirs, 1},
    {"Raw, small change, scaled: tandrel", TNEncoding::Raw, tnBox, tnScaled, tnOurs, 1},
    {"Tight, full screen, 1:1: tandrel", TNEncoding::Tight, tnWhole, tnFull, tnOurs, 1},
    {"Tight, full screen, 1:1: vncviewer", TNEncoding::Tight, tnWhole, tnFull, tnTheirs, 1},
    {"Tight, full screen, scaled: tandrel", TNEncoding::Tight, tnWhole, tnScaled, tnOurs, 1},
    {"Tight, full screen, overview of 20 at 1/s: tandrel", TNEncoding::Tight, tnWhole, tnOverview, tnOurs, 20},
    {"Tight, one-colour screen, 1:1: tandrel", TNEncoding::Tight, tnFlat, tnFull, tnOurs, 1},
    {"Tight, one-colour screen, 1:1: vncviewer", TNEncoding::Tight, tnFlat, tnFull, tnTheirs, 1},
    {"Tight, small change, 1:1: tandrel", TNEncoding::Tight, tnBox, tnFull, tnOurs, 1},
    {"Tight, small change, 1:1: vncviewer", TNEncoding::Tight, tnBox, tnFull, tnTheirs, 1},
};

// TigerVNC's viewer as like ours as it goes: no automatic choice, full colour, and for
// Tight the levels our hosts have by default.
std::vector<std::string> tnVncViewerCommand(TNEncoding encoding, int port)
{
    std::vector<std::string> args = {"vncviewer", "-SecurityTypes=None", "-AutoSelect=0", "-FullColor=1"};
    if (encoding == TNEncoding::Raw) {
        args.push_back("-PreferredEncoding=raw");
    } else {
        const HostItem defaults;
        args.push_back("-PreferredEncoding=Tight");
        args.push_back("-CompressLevel=" + std::to_string(defaults.compressLevel));
        args.push_back("-QualityLevel=" + std::to_string(defaults.qualityLevel));
    }
    args.push_back("127.0.0.1::" + std::to_string(port));
    return args;
}

struct TNRun {
    std::string self; // this program, for the client mode
    std::string home; // HOME of the clients
    pid_t xServer = 0;
};

void tnPrintThroughput(const std::string& name, const TNThroughput& t)
{
    if (!t.ok) {
        printf("%-54s no updates taken\n", name.c_str());
        return;
    }
    printf("%-54s %7.1f updates/s  %6.3f ms CPU/update  %5.1f%% CPU", name.c_str(), t.updatesPerSecond,
           t.cpuMsPerUpdate, t.cpuPercent);
    if (t.xMsPerUpdate >= 0)
        printf("  (+ Xvfb %6.3f ms/update)", t.xMsPerUpdate);
    printf("\n");
    fflush(stdout);
}

// One round of one case: the client started, measured and stopped. `ok` false when it did not connect.
TNThroughput tnRunCase(const TNCase& c, TNUpdateServer& server, const TNRun& run)
{
    server.setChange(c.change);
    TNBenchChild child;
    const long before = server.updateRequests();
    const bool ours = c.client == TNClient::Tandrel;
    const auto args = ours ? tnBenchClientCommand(run.self, server.port(), c.hosts, c.layout,
                                                  tnSettleSeconds + tnMeasureSeconds + 20)
                           : tnVncViewerCommand(c.encoding, server.port());
    if (!tnStartBenchChild(args, run.home, &child)) {
        printf("%-54s could not start %s\n", c.name, args[0].c_str());
        return TNThroughput();
    }
    bool started = false;
    if (ours) {
        const std::string ready = tnWaitForReadyLine(child, 30 + c.hosts);
        started = ready.rfind("READY", 0) == 0;
        if (!started)
            printf("%-54s did not start: %s %s\n", c.name, ready.c_str(), tnLastErrorLine(child).c_str());
        long startKb = 0, openKb = 0;
        if (started && c.layout == tnOverview && sscanf(ready.c_str(), "READY %ld %ld", &startKb, &openKb) == 2) {
            const double frameBuffersKb = c.hosts * (tnBenchWidth * tnBenchHeight * 4 / 1e3);
            printf("%-54s resident %.1f MB = %.2f x %d frame buffers + %.1f MB   (target <= 1.15x + 40 MB)\n",
                   c.name, openKb / 1e3, (openKb - startKb) / frameBuffersKb, c.hosts, startKb / 1e3);
        }
    } else {
        for (int i = 0; i < 300 && server.updateRequests() == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        started = server.updateRequests() != before;
        if (!started)
            printf("%-54s did not connect: %s\n", c.name, tnLastErrorLine(child).c_str());
    }
    TNThroughput result;
    if (started) {
        result = tnMeasureThroughput(child.pid, run.xServer, [&server] { return server.updateRequests(); },
                                     tnSettleSeconds, tnMeasureSeconds);
        tnPrintThroughput(c.name, result);
    }
    tnStopBenchChild(child);
    return result;
}

// What the run of 60 hidden connections measured; -1: not measured.
struct TNHiddenRun {
    long startKb = -1, connectedKb = -1, shownKb = -1;
    long switchMedianUs = -1, switchLongestUs = -1; // showing a hidden host until it is drawn
    TNIdle idle;
};

TNHiddenRun tnRunHidden(TNUpdateServer& server, const TNRun& run)
{
    TNHiddenRun result;
    server.setChange(TNScreenChange::Whole);
    TNBenchChild child;
    const double settle = 2; // what the connections started with settles first
    if (!tnStartBenchChild(tnBenchClientCommand(run.self, server.port(), tnHiddenHosts, TNClientLayout::Cycle,
                                                settle + tnIdleWindows * tnIdleWindowSeconds + 20),
                           run.home, &child)) {
        printf("The run of %d hidden hosts could not start\n", tnHiddenHosts);
        return result;
    }
    const std::string ready = tnWaitForReadyLine(child, 120);
    if (sscanf(ready.c_str(), "READY %ld %ld %ld %ld %ld", &result.startKb, &result.connectedKb, &result.shownKb,
               &result.switchMedianUs, &result.switchLongestUs) >= 3) {
        std::this_thread::sleep_for(std::chrono::duration<double>(settle));
        result.idle = tnMeasureIdle(child.pid, tnIdleWindows, tnIdleWindowSeconds);
    } else {
        result = TNHiddenRun();
        printf("The run of %d hidden hosts did not complete: %s %s\n", tnHiddenHosts, ready.c_str(),
               tnLastErrorLine(child).c_str());
    }
    tnStopBenchChild(child);
    return result;
}

void tnPrintHidden(const TNHiddenRun& hidden)
{
    if (hidden.shownKb < 0)
        return;
    const double frameMb = tnBenchWidth * tnBenchHeight * 4 / 1e6;
    printf("Resident size with %d hosts on %dx%d screens (%d frame buffers = %.1f MB, %.2f MB each):\n",
           tnHiddenHosts, tnBenchWidth, tnBenchHeight, tnHiddenHosts, tnHiddenHosts * frameMb, frameMb);
    printf("  after start-up            %7.1f MB\n", hidden.startKb / 1e3);
    printf("  all connected, none shown %7.1f MB (+%.2f MB per host)\n", hidden.connectedKb / 1e3,
           (hidden.connectedKb - hidden.startKb) / 1e3 / tnHiddenHosts);
    printf("  each shown once, hidden   %7.1f MB (+%.2f MB per host)\n", hidden.shownKb / 1e3,
           (hidden.shownKb - hidden.startKb) / 1e3 / tnHiddenHosts);
    printf("%d connections open and hidden: %.2f%% CPU, %.1f wake-ups/s (medians of %d windows of %.0f s)\n",
           tnHiddenHosts, hidden.idle.cpuPercent, hidden.idle.wakeUpsPerSecond, tnIdleWindows, tnIdleWindowSeconds);
    if (hidden.switchMedianUs >= 0)
        printf("Showing a hidden host until its picture is drawn: %.1f ms median, %.1f ms at most over %d hosts"
               "   (target <= 20 ms)\n",
               hidden.switchMedianUs / 1e3, hidden.switchLongestUs / 1e3, tnHiddenHosts);
}

// ---------------------------------------------------------------- the summary

enum class TNFigure { Rate, Cpu, XServer };

double tnFigureOf(const TNThroughput& t, TNFigure figure)
{
    if (!t.ok)
        return -1;
    switch (figure) {
    case TNFigure::Rate: return t.updatesPerSecond;
    case TNFigure::Cpu: return t.cpuMsPerUpdate;
    case TNFigure::XServer: return t.xMsPerUpdate;
    }
    return -1;
}

// Targets of one figure for Raw and Tight ("" for none); a figure whose targets are null is
// not shown.
struct TNTargets {
    const char* raw;
    const char* tight;
};
constexpr TNTargets tnNotShown = {nullptr, nullptr};
constexpr TNTargets tnShown = {"", ""};

// Two cases compared for each encoding, "<encoding>, <ours>" against "<encoding>, <other>":
// the ratios of their medians (ours / other) for CPU per update, update rate and the X
// server's CPU per update.
struct TNComparison {
    const char* label;
    const char* ours;
    const char* other;
    TNTargets cpu, rate, xServer;
};

const TNComparison tnComparisons[] = {
    {"full screen 1:1 / vncviewer", "full screen, 1:1: tandrel", "full screen, 1:1: vncviewer",
     {"<= 0.7x", "<= 0.8x"}, {">= 0.95x", ">= 1.0x"}, {"", "<= 1.0x"}},
    {"one-colour screen 1:1 / vncviewer", "one-colour screen, 1:1: tandrel", "one-colour screen, 1:1: vncviewer",
     {"", "<= 0.8x"}, {"", ">= 1.0x"}, {"", "<= 1.0x"}},
    {"small change 1:1 / vncviewer", "small change, 1:1: tandrel", "small change, 1:1: vncviewer",
     {"<= 0.6x", "<= 0.6x"}, tnShown, {"<= 0.6x", "<= 0.6x"}},
    {"full screen scaled / own 1:1", "full screen, scaled: tandrel", "full screen, 1:1: tandrel",
     {"<= 1.3x", "<= 1.3x"}, tnNotShown, tnNotShown},
    {"full screen scaled / vncviewer 1:1", "full screen, scaled: tandrel", "full screen, 1:1: vncviewer", tnShown,
     tnNotShown, tnNotShown},
    {"small change scaled / vncviewer 1:1", "small change, scaled: tandrel", "small change, 1:1: vncviewer",
     {"<= 2.0x", ""}, tnNotShown, tnNotShown},
    {"overview tile refresh / one shown scaled", "full screen, overview of 20 at 1/s: tandrel",
     "full screen, scaled: tandrel", {"<= 1.5x", "<= 1.5x"}, tnNotShown, {"<= 1.0x", "<= 1.0x"}},
    {"full screen 1:1 with 19 hidden / alone", "full screen, 1:1, 19 more hosts hidden: tandrel",
     "full screen, 1:1: tandrel", tnNotShown, tnShown, tnNotShown},
};

std::string tnRatioText(const std::map<std::string, TNThroughput>& medians, const std::string& encoding,
                        const TNComparison& comparison, TNFigure figure)
{
    const auto ours = medians.find(encoding + ", " + comparison.ours);
    const auto other = medians.find(encoding + ", " + comparison.other);
    if (ours == medians.end() || other == medians.end())
        return "-";
    const double a = tnFigureOf(ours->second, figure), b = tnFigureOf(other->second, figure);
    if (a < 0 || b <= 0)
        return "-";
    char text[32];
    snprintf(text, sizeof(text), "%.2fx", a / b);
    return text;
}

void tnPrintSummary(const std::map<std::string, std::vector<TNThroughput>>& results, const TNHiddenRun& hidden,
                    bool haveXServer)
{
    std::map<std::string, TNThroughput> medians;
    printf("\nMedians of %d rounds:\n", tnRounds);
    printf("%-54s %9s %11s %7s %11s %10s\n", "case", "updates/s", "CPU ms/upd", "CPU %", "Xvfb ms/upd",
           "wakes/upd");
    for (const TNCase& c : tnCases) {
        const auto found = results.find(c.name);
        const TNThroughput t = found == results.end() ? TNThroughput() : tnMedianThroughput(found->second);
        medians[c.name] = t;
        if (!t.ok) {
            printf("%-54s %9s\n", c.name, "-");
            continue;
        }
        printf("%-54s %9.1f %11.3f %7.1f %11.3f %10.2f\n", c.name, t.updatesPerSecond, t.cpuMsPerUpdate,
               t.cpuPercent, t.xMsPerUpdate, t.wakeUpsPerUpdate);
    }
    if (!haveXServer)
        printf("(no Xvfb found: X server figures are missing)\n");

    printf("\nSummary (ratios of medians in this run, tandrel / the other):\n");
    printf("%-58s %7s %-9s %7s %-9s\n", "", "Raw", "target", "Tight", "target");
    const std::pair<TNFigure, const char*> figures[] = {
        {TNFigure::Cpu, "CPU per update"}, {TNFigure::Rate, "update rate"}, {TNFigure::XServer, "X server CPU per update"}};
    for (const TNComparison& comparison : tnComparisons) {
        for (const auto& [figure, figureName] : figures) {
            const TNTargets& targets = figure == TNFigure::Cpu    ? comparison.cpu
                                       : figure == TNFigure::Rate ? comparison.rate
                                                                  : comparison.xServer;
            if (!targets.raw)
                continue;
            const std::string label = std::string(comparison.label) + ": " + figureName;
            printf("%-58s %7s %-9s %7s %-9s\n", label.c_str(), tnRatioText(medians, "Raw", comparison, figure).c_str(),
                   targets.raw, tnRatioText(medians, "Tight", comparison, figure).c_str(), targets.tight);
        }
    }
    if (hidden.shownKb < 0) {
        printf("%d hidden connections: not measured\n", tnHiddenHosts);
        return;
    }
    // Resident size = multiple x the frame buffers + what the program holds without connections.
    const double frameBuffersKb = tnHiddenHosts * (tnBenchWidth * tnBenchHeight * 4 / 1e3);
    const std::pair<const char*, long> sizes[] = {{"never shown", hidden.connectedKb},
                                                  {"each shown once", hidden.shownKb}};
    for (const auto& size : sizes)
        printf("%d hidden connections to %dx%d, %s: resident %.1f MB = %.2f x their frame buffers + %.1f MB"
               "   (target <= 1.1x + 30 MB)\n",
               tnHiddenHosts, tnBenchWidth, tnBenchHeight, size.first, size.second / 1e3,
               (size.second - hidden.startKb) / frameBuffersKb, hidden.startKb / 1e3);
    printf("%d hidden connections, idle: %.2f %% CPU of one core, %.1f wake-ups/s   (target <= 1 %%)\n",
           tnHiddenHosts, hidden.idle.cpuPercent, hidden.idle.wakeUpsPerSecond);
}

std::string tnSelfPath()
{
    char path[4096] = {0};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    const int clientExit = tnRunBenchClientIfAsked(argc, argv);
    if (clientExit >= 0)
        return clientExit;

    if (!getenv("DISPLAY")) {
        fprintf(stderr, "bench_throughput: needs a display (run under tests/with-xvfb.sh)\n");
        return 1;
    }
    if (!getenv("USER"))
        setenv("USER", "bench", 1);
    signal(SIGPIPE, SIG_IGN);
    TNRawServer rawServer;
    TNLibraryServer tightServer;
    if (!rawServer.start() || !tightServer.start()) {
        fprintf(stderr, "bench_throughput: a server could not listen\n");
        return 1;
    }
    char home[] = "/tmp/tandrel-bench-XXXXXX";
    if (!mkdtemp(home)) {
        fprintf(stderr, "bench_throughput: no temporary directory\n");
        return 1;
    }
    TNRun run;
    run.self = tnSelfPath();
    run.home = home;
    run.xServer = tnFindXServer();
    printf("Servers: %dx%d; Raw from a scripted server, Tight from libvncserver; for every update request a "
           "whole new screen (every pixel new, or one new colour) or a new %dx%d box\n",
           tnBenchWidth, tnBenchHeight, tnBenchBox, tnBenchBox);
    tnBenchScreens(TNPixelFormat{}); // the screens are made outside the measurements

    const bool haveViewer = system("command -v vncviewer >/dev/null 2>&1") == 0;
    if (!haveViewer)
        printf("TigerVNC vncviewer not installed: its runs are skipped\n");
    std::map<std::string, std::vector<TNThroughput>> results;
    std::string encoded; // what the libvncserver server last said it sends
    for (int round = 1; round <= tnRounds; ++round) {
        printf("-- round %d of %d\n", round, tnRounds);
        for (const TNCase& c : tnCases) {
            if (c.client == TNClient::VncViewer && !haveViewer)
                continue;
            TNUpdateServer& server = c.encoding == TNEncoding::Raw ? static_cast<TNUpdateServer&>(rawServer)
                                                                   : tightServer;
            rawServer.setOverLink(c.overLink);
            const TNThroughput t = tnRunCase(c, server, run);
            if (t.ok)
                results[c.name].push_back(t);
            if (t.ok && c.encoding == TNEncoding::Tight && tightServer.lastClientEncoding() != encoded) {
                encoded = tightServer.lastClientEncoding();
                printf("%-54s   (the server sends: %s)\n", "", encoded.c_str());
            }
        }
    }

    const TNHiddenRun hidden = tnRunHidden(rawServer, run);
    tnPrintHidden(hidden);
    tnPrintSummary(results, hidden, run.xServer != 0);
    printf("\n");
    fflush(stdout);

    rawServer.stop();
    tightServer.stop();
    const std::string remove = "rm -rf '" + run.home + "'";
    if (system(remove.c_str()) != 0)
        fprintf(stderr, "bench_throughput: could not remove %s\n", run.home.c_str());
    return 0;
}
