#include "support/client_mode.h"

#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Pixmap.H>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>

#include "config/host_item.h"
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
    if (vnc->picture.pixels.size() < size_t(tnBenchWidth + 2) * 4)
        return 0;
    const uint8_t* p = vnc->picture.pixels.data() + (tnBenchWidth + 1) * 4;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

bool tnPictureArrived(HostItem* itm)
{
    return tnProbePixel(itm) != 0;
}

bool tnAllPicturesArrived()
{
    for (HostItem* itm : benchHosts) {
        if (!tnPictureArrived(itm))
            return false;
    }
    return true;
}

// The host just shown, and its probe pixel before: every screen the server sends it differs there.
HostItem* shownHost = nullptr;
uint32_t pixelBeforeShown = 0;
bool tnShownPictureChanged()
{
    return tnProbePixel(shownHost) != pixelBeforeShown;
}

void tnEndLoop(void*)
{
    engine.isShuttingDown = true;
}

int tnRunClient(int port, int hosts, TNClientLayout layout, double maxSeconds)
{
    static char name[] = "tandrel";
    static char* argv[] = {name, nullptr};
    tnSetUpState();
    tnStartUp(1, argv);
    // The size the figures have always been taken at (the saved default is 800x600).
    app->resize(0, 0, 1024, 768);
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
    if (layout == TNClientLayout::Cycle) {
        for (HostItem* itm : benchHosts) {
            tnShowConnection(*app->vncViewer, tnVncOf(itm));
            shownHost = itm;
            pixelBeforeShown = tnProbePixel(itm);
            tnPumpUntil(tnShownPictureChanged, 5);
            Fl::check(); // and drawn
        }
        tnHideShownConnection(*app->vncViewer);
        Fl::check();
        shownRss = tnResidentKilobytesOfSelf();
    }
    printf("READY %ld %ld %ld\n", startRss, connectedRss, shownRss);
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
