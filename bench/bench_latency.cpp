// How fast the window answers while servers drip never-ending updates.
//
// Runs under a display (tests/with-xvfb.sh). Two scripted servers each send an update that
// announces 65535 rectangles and then drip its bytes, one every 20 ms, for as long as the
// run lasts. The real program (its start-up, engine, viewer and main loop, in this process)
// connects to both; one is shown and the other hidden at any time. A second thread injects
// 200 clicks through XTest on the two host lines in turn (so the shown one and the hidden
// one change places with every click), and the program itself notes when its host list has
// taken each click: the time from the injection to that point is the window's latency.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/x.H>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "core/options.h"
#include "gui/main_loop.h"
#include "gui/host_list.h"
#include "gui/main_window.h"
#include "support/client_mode.h"
#include "support/cpu_meter.h"
#include "support/rfb_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kClicks = 200;

std::atomic<int> expectedLine{0};
std::atomic<bool> taken{false};
Clock::time_point takenAt;

// Runs after the toolkit has handled the events of each wait: notes when the host list
// has taken the click that is under way.
void noteSelection(void*)
{
    const int line = expectedLine.load();
    if (line > 0 && !taken && app->hostList->value() == line) {
        takenAt = Clock::now();
        taken = true;
    }
}

void endLoop(void*)
{
    engine.isShuttingDown = true;
}

// The host list's line height, which the browser keeps to itself.
struct TNLineHeight : Fl_Hold_Browser {
    static int of(Fl_Hold_Browser* list) { return static_cast<TNLineHeight*>(list)->incr_height(); }
};

} // namespace

int main()
{
    if (!getenv("DISPLAY")) {
        fprintf(stderr, "bench_latency: needs a display (run under tests/with-xvfb.sh)\n");
        return 1;
    }
    // 16 bytes a rectangle (12 of header, one raw pixel), one byte every 20 ms: never done
    // within the run, never silent long enough for the read time-out.
    std::string drops;
    for (int i = 0; i < 4000; i++)
        drops += tnrfb::rectHeader(i % 640, 0, 1, 1, tnrfb::encRaw).raw(std::string("\x10\x20\x30\x00", 4)).data;
    std::vector<std::unique_ptr<TNScriptedPeer>> peers;
    for (int i = 0; i < 2; i++) {
        peers.push_back(std::make_unique<TNScriptedPeer>(TNPeerScript::handshake(640, 480)
                                                             .expectMessage(3)
                                                             .send(tnrfb::updateHeader(65535))
                                                             .drip(drops, 20ms)
                                                             .hold()));
        if (!peers.back()->listen()) {
            fprintf(stderr, "bench_latency: a peer could not listen\n");
            return 1;
        }
    }

    const std::string home = tnStartProgramHere(900, 600);
    if (home.empty())
        return 1;
    std::vector<HostItem*> hosts;
    for (int i = 0; i < 2; i++) {
        auto shared = std::make_shared<HostItem>();
        HostItem* itm = shared.get();
        itm->name = "dripping " + std::to_string(i + 1);
        itm->hostAddress = "127.0.0.1";
        itm->vncPort = std::to_string(peers[i]->port());
        itm->scaling = 's';
        tnAddHostLine(shared);
        hosts.push_back(itm);
        VncObject::createVNCObject(itm);
    }
    const auto connectDeadline = Clock::now() + 20s;
    while (Clock::now() < connectDeadline && !(tnIsConnected(hosts[0]) && tnIsConnected(hosts[1])))
        Fl::wait(0.05);
    if (!tnIsConnected(hosts[0]) || !tnIsConnected(hosts[1])) {
        printf("FAILED: the dripping servers did not connect\n");
        return 1;
    }
    Fl::add_check(noteSelection);

    // The host list's lines, in root-window coordinates.
    Fl::flush();
    XSync(fl_display, False);
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(fl_display, fl_xid(app), RootWindow(fl_display, fl_screen), 0, 0, &rootX,
                          &rootY, &child);
    const int lineHeight = TNLineHeight::of(app->hostList);
    const int listX = rootX + app->hostList->x() + 30;
    const int listY = rootY + app->hostList->y() + 2;

    std::vector<double> latencies;
    std::thread injector([&] {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return;
        for (int i = 0; i < kClicks; i++) {
            const int line = 1 + i % 2;
            taken = false;
            expectedLine = line;
            XTestFakeMotionEvent(display, -1, listX, listY + (line - 1) * lineHeight + lineHeight / 2, 0);
            const Clock::time_point sent = Clock::now();
            XTestFakeButtonEvent(display, 1, True, 0);
            XTestFakeButtonEvent(display, 1, False, 0);
            XFlush(display);
            const auto deadline = sent + 2s;
            while (!taken && Clock::now() < deadline)
                std::this_thread::sleep_for(200us);
            if (taken)
                latencies.push_back(std::chrono::duration<double, std::milli>(takenAt - sent).count());
            expectedLine = 0;
            std::this_thread::sleep_for(30ms);
        }
        XCloseDisplay(display);
        Fl::awake(endLoop, nullptr);
    });
    tnRunMainLoop();
    injector.join();

    printf("Clicks on the host list while a shown and a hidden server drip updates (%d clicks):\n", kClicks);
    printf("  taken              %zu of %d\n", latencies.size(), kClicks);
    printf("  latency median     %6.2f ms\n", tnPercentile(latencies, 0.5));
    printf("  latency 99th pct   %6.2f ms\n", tnPercentile(latencies, 0.99));
    printf("  latency max        %6.2f ms\n", tnPercentile(latencies, 1.0));
    printf("  both still connected: %s\n", tnIsConnected(hosts[0]) && tnIsConnected(hosts[1]) ? "yes" : "no");
    fflush(stdout);
    for (auto& peer : peers)
        peer->stop();
    tnRemoveBenchHome(home);
    _exit(0);
}
