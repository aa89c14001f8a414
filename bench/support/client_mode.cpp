#include "support/client_mode.h"

#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Pixmap.H>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <vector>

#include "config/host_item.h"
#include "connection/pixel_rows.h"
#include "connection/vnc_object.h"
#include "gui/front_end.h"
#include "gui/host_list.h"
#include "gui/main_loop.h"
#include "gui/main_window.h"
#include "gui/overview.h"
#include "startup/startup.h"
#include "support/cpu_meter.h"
#include "support/screens.h"
#include "viewer/vnc_viewer.h"

// Last: the X11 headers define names that others use.
#include <FL/x.H>

namespace {

const char* const tnLayoutNames[] = {"full", "scaled", "cycle", "overview"};

std::vector<HostItem*> benchHosts;

bool tnPumpUntil(bool (*done)(), double seconds)
{
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(seconds))
            return false;
        Fl::wait(0.05);
    }
    return true;
}

bool tnAllConnected()
{
    for (HostItem* itm : benchHosts) {
        if (!tnIsConnected(itm) || tnHostStatusImage(itm) != app->iconConnected)
            return false;
    }
    return true;
}

// The host's picture at pixel (1, 1), as 0x00RRGGBB in the picture's byte order; 0 while it
// has none. A fresh picture is zero, the servers' screens are not there.
uint32_t tnProbePixel(HostItem* itm)
{
    VncObject* vnc = tnVncOf(itm);
    std::lock_guard<std::mutex> hold(vnc->pictureLock);
    if (!vnc->picture.hasPixels() || vnc->picture.bytes() < size_t(tnBenchWidth + 2) * 4)
        return 0;
    uint8_t p[3];
    tnPixelRgb(tnPixelLayout(), vnc->picture.data() + (tnBenchWidth + 1) * 4, p);
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

// A hidden host has no picture: its reader counts the updates it took into its frame buffer.
bool tnAllPicturesArrived()
{
    for (HostItem* itm : benchHosts) {
        if (tnVncOf(itm)->updatesFinished == 0)
            return false;
    }
    return true;
}

// The host just shown, and its count of updates before: its picture is made from its frame
// buffer, then the full update that showing asks for comes (every screen the server sends
// differs at the probe pixel).
HostItem* shownHost = nullptr;
unsigned updatesBeforeShown = 0;
bool tnShownPictureChanged()
{
    return tnVncOf(shownHost)->updatesFinished != updatesBeforeShown && tnProbePixel(shownHost) != 0;
}

void tnEndLoop(void*)
{
    engine.isShuttingDown = true;
}

void tnStartProgram(int w, int h)
{
    static char name[] = "tandrel";
    static char* argv[] = {name, nullptr};
    tnSetUpState();
    tnStartUp(1, argv);
    app->resize(0, 0, w, h);
    tnClearHostList();
}

int tnRunClient(int port, int hosts, TNClientLayout layout, double maxSeconds)
{
    // The size the figures have always been taken at (the saved default is 800x600).
    tnStartProgram(1024, 768);
    const long startRss = tnResidentKilobytesOfSelf();
    for (int n = 0; n < hosts; ++n) {
        auto shared = std::make_shared<HostItem>();
        HostItem* itm = shared.get();
        itm->name = "bench " + std::to_string(n + 1);
        itm->hostAddress = "127.0.0.1";
        itm->vncPort = std::to_string(port);
        itm->scaling = layout == TNClientLayout::Scaled ? 'z' : 's';
        tnAddHostLine(shared);
        benchHosts.push_back(itm);
        VncObject::createVNCObject(itm);
    }
    if (!tnPumpUntil(tnAllConnected, 30 + hosts / 2)) {
        printf("FAILED not all hosts connected\n");
        fflush(stdout);
        return 1;
    }
    // Each connection's first picture, which its handshake asked for, is in.
    if (!tnPumpUntil(tnAllPicturesArrived, 20)) {
        printf("FAILED not every first picture arrived\n");
        fflush(stdout);
        return 1;
    }
    switch (layout) {
    case TNClientLayout::Full:
        app->resize(0, 0, tnBenchWidth, tnBenchHeight);
        tnShowConnection(*app->vncViewer, tnVncOf(benchHosts[0]));
        app->setFullScreen(true);
        break;
    case TNClientLayout::Scaled:
    case TNClientLayout::Overview:
        // A viewer area of 1000 x 562 beside the host list.
        app->resize(0, 0, app->hostList->x() + app->hostList->w() + 3 + 1000, 562);
        tnShowConnection(*app->vncViewer, tnVncOf(benchHosts[0]));
        if (layout == TNClientLayout::Overview)
            tnOpenOverview();
        break;
    case TNClientLayout::Cycle:
        tnHideShownConnection(*app->vncViewer);
        break;
    }
    Fl::check();
    const long connectedRss = tnResidentKilobytesOfSelf();
    long shownRss = connectedRss;
    // Microseconds from showing a hidden host to its picture (made from its frame buffer)
    // drawn on the X server: the median and the longest.
    long switchMedianUs = -1, switchLongestUs = -1;
    if (layout == TNClientLayout::Cycle) {
        std::vector<long> switches;
        for (HostItem* itm : benchHosts) {
            shownHost = itm;
            updatesBeforeShown = tnVncOf(itm)->updatesFinished;
            const auto start = std::chrono::steady_clock::now();
            tnShowConnection(*app->vncViewer, tnVncOf(itm));
            if (tnPumpUntil([] { return tnProbePixel(shownHost) != 0; }, 5)) {
                Fl::flush();
                XSync(fl_display, False);
                switches.push_back(static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                         std::chrono::steady_clock::now() - start)
                                                         .count()));
            }
            tnPumpUntil(tnShownPictureChanged, 5);
            Fl::check(); // and drawn
        }
        tnHideShownConnection(*app->vncViewer);
        Fl::check();
        shownRss = tnResidentKilobytesOfSelf();
        if (!switches.empty()) {
            std::sort(switches.begin(), switches.end());
            switchMedianUs = switches[switches.size() / 2];
            switchLongestUs = switches.back();
        }
    }
    printf("READY %ld %ld %ld %ld %ld\n", startRss, connectedRss, shownRss, switchMedianUs, switchLongestUs);
    fflush(stdout);
    Fl::add_timeout(maxSeconds, tnEndLoop);
    tnRunMainLoop();
    _exit(0);
}

} // namespace

std::vector<std::string> tnBenchClientCommand(const std::string& self, int port, int hosts, TNClientLayout layout,
                                              double maxSeconds)
{
    return {self, "--client", std::to_string(port), std::to_string(hosts),
            tnLayoutNames[static_cast<int>(layout)], std::to_string(maxSeconds)};
}

std::string tnStartProgramHere(int w, int h)
{
    char home[] = "/tmp/tandrel-bench-XXXXXX";
    if (!mkdtemp(home))
        return "";
    setenv("HOME", home, 1);
    if (!getenv("USER"))
        setenv("USER", "bench", 1);
    tnStartProgram(w, h);
    return home;
}

void tnRemoveBenchHome(const std::string& home)
{
    const std::string remove = "rm -rf '" + home + "'";
    if (home.empty() || system(remove.c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", home.c_str());
}

int tnRunBenchClientIfAsked(int argc, char** argv)
{
    if (argc != 6 || std::string(argv[1]) != "--client")
        return -1;
    for (size_t n = 0; n < std::size(tnLayoutNames); ++n) {
        if (std::string(argv[4]) == tnLayoutNames[n])
            return tnRunClient(atoi(argv[2]), atoi(argv[3]), static_cast<TNClientLayout>(n), atof(argv[5]));
    }
    fprintf(stderr, "unknown layout %s\n", argv[4]);
    return 2;
}
