// How fast the window switches hosts and answers the host list while many hosts change and
// the overview keeps them current.
//
// Runs under a display (tests/with-xvfb.sh). Real libvncserver servers on loopback
// (tests/support) show 1280x720 screens; each keeps a block in its top-left corner in a
// colour of its own (how the benchmark tells on screen which host is shown) and changes
// boxes of random colours below it four times a second for as long as the run lasts. The
// real program (its start-up, engine, viewer, overview and main loop, in this process)
// connects to all of them. A second thread clicks through XTest, as a user does, and reads
// back from the X server when the answer is on screen:
//   1. 20 hosts, the overview open (so its refresh keeps every hidden host current, once a
//      second): a click on a tile until that host's picture is in the viewer; then the
//      overview button opens the overview again for the next click;
//   2. the same 20 hosts, the overview closed (hidden hosts ask for nothing): a click on a
//      host line until its picture is in the viewer;
//   3. 60 hosts, the overview open: a click on a host line until the line is drawn selected
//      and its tile outlined.
// Each case takes 200 clicks; every wait is bounded. The hosts have the default scaling (a
// screen larger than the viewer is scaled down); TN_BENCH_SCALING=s shows them 1:1.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/x.H>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "config/host_item.h"
#include "config/host_list_model.h"
#include "connection/vnc_object.h"
#include "core/options.h"
#include "gui/host_list.h"
#include "gui/main_loop.h"
#include "gui/main_window.h"
#include "gui/overview.h"
#include "support/client_mode.h"
#include "support/cpu_meter.h"
#include "support/test_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kClicks = 200;
constexpr int kBlockW = 320; // the host's own colour, never changed
constexpr int kBlockH = 180;

struct Point {
    int x = 0, y = 0;
};

// The colour of host `n`'s block: red and blue steps far enough apart that a colour the
// encoding moved a little is still told from its neighbours.
uint8_t hostRed(int n)
{
    return static_cast<uint8_t>(20 + (n % 10) * 23);
}
uint8_t hostBlue(int n)
{
    return static_cast<uint8_t>(40 + (n / 10) * 36);
}
constexpr uint8_t kBlockGreen = 0x40;
unsigned long hostPixel(int n)
{
    return static_cast<unsigned long>(hostRed(n)) << 16 | kBlockGreen << 8 | hostBlue(n);
}

// The servers, and the thread that changes their screens below the blocks.
class Servers {
public:
    bool start(int count)
    {
        for (int n = 0; n < count; n++) {
            TNTestServerOptions options;
            options.width = kWidth;
            options.height = kHeight;
            servers.push_back(std::make_unique<TNTestServer>(options));
            if (!servers.back()->start())
                return false;
            servers.back()->fillRect(0, 0, kBlockW, kBlockH, hostRed(n), kBlockGreen, hostBlue(n));
        }
        changer = std::thread([this] { change(); });
        return true;
    }
    void stop()
    {
        stopping = true;
        if (changer.joinable())
            changer.join();
        for (auto& server : servers)
            server->stop();
    }
    int port(int n) const { return servers[static_cast<size_t>(n)]->port(); }

private:
    void change()
    {
        std::mt19937 random(7);
        // At most an hour of changes, four times a second.
        for (int tick = 0; tick < 4 * 3600 && !stopping; tick++) {
            const auto next = Clock::now() + 250ms;
            for (auto& server : servers) {
                std::vector<TNTestFill> boxes;
                for (int i = 0; i < 8; i++) {
                    const int w = 32 + static_cast<int>(random() % 200), h = 16 + static_cast<int>(random() % 120);
                    const int x = static_cast<int>(random() % (kWidth - w));
                    const int y = kBlockH + 20 + static_cast<int>(random() % (kHeight - kBlockH - 20 - h));
                    boxes.push_back({x, y, w, h, static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                     static_cast<uint8_t>(random())});
                }
                server->fillRects(boxes);
                if (stopping)
                    break;
            }
            std::this_thread::sleep_until(next);
        }
    }

    std::vector<std::unique_ptr<TNTestServer>> servers;
    std::thread changer;
    std::atomic<bool> stopping{false};
};

// The height of the host list's first line (an icon makes it taller than the text).
struct LineHeight : Fl_Hold_Browser {
    static int of(Fl_Hold_Browser* list)
    {
        auto* browser = static_cast<LineHeight*>(list);
        return browser->item_height(browser->find_line(1));
    }
};

// Where a widget's point (x, y) of window `window` is on the root window.
Point onRoot(Fl_Window* window, int x, int y)
{
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(fl_display, fl_xid(window), RootWindow(fl_display, fl_screen), x, y, &rootX, &rootY,
                          &child);
    return {rootX, rootY};
}

unsigned long pixelAt(Display* display, Point p)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), p.x, p.y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return ~0ul;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
    XDestroyImage(image);
    return pixel;
}

void click(Display* display, Point p)
{
    XTestFakeMotionEvent(display, -1, p.x, p.y, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XFlush(display);
}

// Within 10 of each other in every channel.
bool near(unsigned long a, unsigned long b)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const int x = static_cast<int>(a >> shift & 0xff), y = static_cast<int>(b >> shift & 0xff);
        if (std::abs(x - y) > 10)
            return false;
    }
    return true;
}

// Milliseconds from `sent` until every probe shows (about) its pixel, polled through
// `display`; negative after two seconds.
double untilShown(Display* display, Clock::time_point sent, const std::vector<std::pair<Point, unsigned long>>& probes)
{
    const auto deadline = sent + 2s;
    unsigned long seen = 0, wanted = 0;
    while (Clock::now() < deadline) {
        bool all = true;
        for (const auto& [point, pixel] : probes) {
            seen = pixelAt(display, point);
            wanted = pixel;
            all = all && near(seen, pixel);
            if (!all)
                break;
        }
        if (all)
            return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        std::this_thread::sleep_for(300us);
    }
    static int told = 0;
    if (told++ < 8)
        fprintf(stderr, "bench_switching: no answer within 2 s (pixel %06lx, wanted %06lx)\n", seen, wanted);
    return -1;
}

void report(const char* what, const std::vector<double>& latencies, const char* target)
{
    printf("%s (%d clicks):\n", what, kClicks);
    printf("  answered     %zu of %d\n", latencies.size(), kClicks);
    printf("  median       %6.2f ms\n", tnPercentile(latencies, 0.5));
    printf("  99th pct     %6.2f ms   (target %s)\n", tnPercentile(latencies, 0.99), target);
    printf("  max          %6.2f ms\n", tnPercentile(latencies, 1.0));
    fflush(stdout);
}

// Adds hosts `from` .. `to` - 1 of the servers to the list and connects them, ten at a
// time (the servers share one lock, and each first picture is a whole screen).
void connectHosts(Servers& servers, int from, int to)
{
    std::vector<HostItem*> hosts;
    auto allConnected = [&] {
        for (HostItem* itm : hosts)
            if (!tnIsConnected(itm))
                return false;
        return true;
    };
    for (int n = from; n < to; n++) {
        auto shared = std::make_shared<HostItem>();
        HostItem* itm = shared.get();
        itm->name = "host " + std::to_string(n + 1);
        itm->hostAddress = "127.0.0.1";
        itm->vncPort = std::to_string(servers.port(n));
        if (const char* scaling = getenv("TN_BENCH_SCALING"))
            itm->scaling = scaling[0];
        tnAddHostLine(shared);
        hosts.push_back(itm);
        VncObject::createVNCObject(itm);
        if (hosts.size() % 10 != 0 && n + 1 < to)
            continue;
        const auto deadline = Clock::now() + 60s;
        while (Clock::now() < deadline && !allConnected())
            Fl::wait(0.05);
        if (!allConnected()) {
            for (HostItem* failed : hosts)
                if (!tnIsConnected(failed))
                    printf("%s: %s %s\n", failed->name.c_str(), tnConnectionStateName(tnStateOf(failed)),
                           tnLastErrorOf(failed).c_str());
            printf("FAILED: not every server connected\n");
            fflush(stdout);
            _exit(1);
        }
    }
}

// Where on the root window the viewer shows the top-left block of the host shown.
Point viewerProbe()
{
    return onRoot(app->viewerWindow, 12, 12);
}

Point lineCentre(int line)
{
    const int height = LineHeight::of(app->hostList);
    const Point list = onRoot(app, app->hostList->x(), app->hostList->y());
    return {list.x + app->hostList->w() - 30, list.y + 2 + (line - 1) * height + height / 2};
}

// A tile's centre, and a point of its outline (the middle of its left edge).
Point tileCentre(int index)
{
    const TNRect cell = tnOverviewCell(app->overview->grid, index);
    return onRoot(app->viewerWindow, app->overview->x() + cell.x + cell.w / 2, app->overview->y() + cell.y + cell.h / 2);
}
Point tileOutline(int index)
{
    const TNRect cell = tnOverviewCell(app->overview->grid, index);
    return onRoot(app->viewerWindow, app->overview->x() + cell.x + 2, app->overview->y() + cell.y + cell.h / 2);
}

// Opens the overview and lets the window settle (the overview lays its tiles out once the
// event that opened it is handled) for about a second.
void openOverview()
{
    tnOpenOverview();
    const auto end = Clock::now() + 1s;
    while (Clock::now() < end)
        Fl::wait(0.05);
    Fl::flush();
    XSync(fl_display, False);
    printf("Overview: %zu tiles in %d columns of %d x %d\n", app->overview->tiles.size(), app->overview->grid.columns,
           app->overview->grid.cellW, app->overview->grid.cellH);
    fflush(stdout);
}

// Case 1 and 2: the 20 hosts.
void switchCases(Servers& servers)
{
    const int count = 20;
    connectHosts(servers, 0, count);
    openOverview();
    std::vector<Point> tiles;
    for (int i = 0; i < count; i++)
        tiles.push_back(tileCentre(i));
    const Point probe = viewerProbe();
    const Point overviewButton = onRoot(app, app->btnOverview->x() + app->btnOverview->w() / 2,
                                        app->btnOverview->y() + app->btnOverview->h() / 2);
    std::vector<Point> lines;
    for (int i = 0; i < count; i++)
        lines.push_back(lineCentre(i + 1));

    std::vector<double> tileClicks, lineClicks;
    std::thread clicker([&] {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return;
        std::mt19937 random(11);
        int shown = -1;
        // A click on the place of another host than the one shown, timed until it is shown.
        auto switchBy = [&](const std::vector<Point>& places, std::vector<double>& times) {
            int next = static_cast<int>(random() % count);
            if (next == shown)
                next = (next + 1) % count;
            const auto sent = Clock::now();
            click(display, places[static_cast<size_t>(next)]);
            const double ms = untilShown(display, sent, {{probe, hostPixel(next)}});
            if (ms >= 0)
                times.push_back(ms);
            shown = next;
        };
        // The overview is open: a tile click shows its host and closes it; the button opens it.
        for (int i = 0; i < kClicks; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 500));
            switchBy(tiles, tileClicks);
            std::this_thread::sleep_for(50ms);
            // Open again: the overview's background replaces the host's picture.
            click(display, overviewButton);
            const auto deadline = Clock::now() + 2s;
            while (Clock::now() < deadline && near(pixelAt(display, probe), hostPixel(shown)))
                std::this_thread::sleep_for(1ms);
        }
        // Close it again; the hidden hosts ask for nothing from now on.
        std::this_thread::sleep_for(300ms);
        click(display, overviewButton);
        std::this_thread::sleep_for(300ms);
        for (int i = 0; i < kClicks; i++) {
            switchBy(lines, lineClicks);
            std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 100));
        }
        XCloseDisplay(display);
        Fl::awake([](void*) { engine.isShuttingDown = true; }, nullptr);
    });
    tnRunMainLoop();
    clicker.join();
    report("20 hosts, overview open (refresh 1/s): a click on a tile until its host's picture is in the viewer",
           tileClicks, "p99 <= 50 ms");
    report("20 hosts, overview closed: a click on a host line until its picture is in the viewer", lineClicks,
           "none; before the overview: 3-7 ms with 9 hosts");
}

// Case 3: 60 hosts (40 more after cases 1 and 2), the overview open, clicks in the list.
void listCase(Servers& servers)
{
    const int count = 60;
    engine.isShuttingDown = false;
    connectHosts(servers, static_cast<int>(tnHostList().size()), count);
    openOverview();
    // The lines the list shows without scrolling.
    const int visible = std::min(count, app->hostList->h() / LineHeight::of(app->hostList) - 1);
    std::vector<Point> lines, outlines;
    for (int i = 0; i < visible; i++) {
        lines.push_back(lineCentre(i + 1));
        outlines.push_back(tileOutline(i));
    }
    std::vector<double> listClicks;
    std::thread clicker([&] {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return;
        std::mt19937 random(13);
        // The colours of a selected line and of an outline, from the first click.
        click(display, lines[0]);
        std::this_thread::sleep_for(500ms);
        const unsigned long selected = pixelAt(display, lines[0]);
        const unsigned long outline = pixelAt(display, outlines[0]);
        // The probes tell a selected line and an outlined tile from the others.
        if (near(pixelAt(display, lines[1]), selected) || near(pixelAt(display, outlines[1]), outline)) {
            printf("FAILED: a selected line or an outline cannot be told from the others\n");
            XCloseDisplay(display);
            Fl::awake([](void*) { engine.isShuttingDown = true; }, nullptr);
            return;
        }
        int at = 0;
        for (int i = 0; i < kClicks; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 250));
            int next = static_cast<int>(random() % static_cast<unsigned>(visible));
            if (next == at)
                next = (next + 1) % visible;
            const auto sent = Clock::now();
            click(display, lines[static_cast<size_t>(next)]);
            const double ms = untilShown(display, sent,
                                         {{lines[static_cast<size_t>(next)], selected},
                                          {outlines[static_cast<size_t>(next)], outline}});
            if (ms >= 0)
                listClicks.push_back(ms);
            at = next;
        }
        XCloseDisplay(display);
        Fl::awake([](void*) { engine.isShuttingDown = true; }, nullptr);
    });
    tnRunMainLoop();
    clicker.join();
    report("60 hosts, overview open (refresh 1/s), all changing: a click in the host list until the line and its "
           "tile's outline are drawn",
           listClicks, "p99 <= 50 ms");
}

} // namespace

// Without arguments every case runs; "switch" runs cases 1 and 2, "list" case 3.
int main(int argc, char** argv)
{
    const std::string only = argc > 1 ? argv[1] : "";
    if (!getenv("DISPLAY")) {
        fprintf(stderr, "bench_switching: needs a display (run under tests/with-xvfb.sh)\n");
        return 1;
    }
    Servers servers;
    if (!servers.start(60)) {
        fprintf(stderr, "bench_switching: a server could not start\n");
        return 1;
    }
    const std::string home = tnStartProgramHere(1200, 800);
    if (home.empty())
        return 1;
    appOptions.overviewRefresh = 1.0;
    if (only != "list")
        switchCases(servers);
    if (only != "switch")
        listCase(servers);
    servers.stop();
    tnRemoveBenchHome(home);
    _exit(0);
}
