// The viewer's redraw cost for a 1920x1080 remote screen shown in a 1000x562 viewer.
//
// BM_ScaledCopy: the per-redraw work of the scaled layout without a display: the alpha
// pass over the frame buffer, the wrapper image and the scaled copy (bilinear, nearest).
// BM_ViewerRedraw: the whole VncViewer::draw into a real window, scaled (bilinear,
// nearest) and 1:1 (scrolled, 1000x562 visible). Needs a display: run under
// tests/with-xvfb.sh; without DISPLAY these report an error and are skipped.
#include <benchmark/benchmark.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Scroll.H>

#include <cstdlib>
#include <cstring>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "viewer/fltk_compat.h"
#include "viewer/vnc_viewer.h"

#include <FL/x.H>

namespace {

constexpr int kRemoteW = 1920;
constexpr int kRemoteH = 1080;
constexpr int kViewerW = 1000;
constexpr int kViewerH = 562;

uint8_t* makeFrameBuffer()
{
    auto* pixels = static_cast<uint8_t*>(malloc(static_cast<size_t>(kRemoteW) * kRemoteH * 4));
    for (int y = 0; y < kRemoteH; ++y) {
        for (int x = 0; x < kRemoteW; ++x) {
            uint8_t* p = pixels + (static_cast<size_t>(y) * kRemoteW + x) * 4;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(x ^ y);
            p[3] = 0;
        }
    }
    return pixels;
}

void BM_ScaledCopy(benchmark::State& state)
{
    const bool nearest = state.range(0) != 0;
    uint8_t* pixels = makeFrameBuffer();
    const size_t total = static_cast<size_t>(kRemoteW) * kRemoteH * 4;
    for (auto _ : state) {
        for (size_t i = 3; i < total; i += 4)
            pixels[i] = 255;
        Fl_RGB_Image wrapper(pixels, kRemoteW, kRemoteH, 4);
        tnSetImageScalingNearest(nearest);
        Fl_Image* scaled = wrapper.copy(kViewerW, kViewerH);
        benchmark::DoNotOptimize(scaled);
        delete scaled;
    }
    state.SetLabel(nearest ? "nearest" : "bilinear");
    free(pixels);
}
BENCHMARK(BM_ScaledCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A window with a host list, the viewer's scroll group and the viewer, showing a hand-made
// client.
struct DrawFixture {
    HostItem item;
    VncObject object;
    Fl_Double_Window* window = nullptr;
    Fl_Scroll* scroller = nullptr;
    VncViewer* viewer = nullptr;
    bool ready = false;

    DrawFixture()
    {
        if (!getenv("DISPLAY"))
            return;
        window = new Fl_Double_Window(kViewerW + 163 + 3, kViewerH, "bench");
        new Fl_Hold_Browser(0, 0, 163, kViewerH);
        scroller = new Fl_Scroll(166, 0, kViewerW, kViewerH);
        scroller->box(FL_FLAT_BOX);
        scroller->type(0);
        viewer = new VncViewer(166, 0, 0, 0);
        scroller->end();
        window->end();
        window->show();
        // Fl::flush draws nothing into a window that still waits for its first Expose:
        // wait until the window has been drawn once.
        for (int i = 0; i < 100 && window->damage(); ++i)
            Fl::wait(0.02);

        rfbClient* client = rfbGetClient(8, 3, 4);
        client->width = kRemoteW;
        client->height = kRemoteH;
        client->frameBuffer = makeFrameBuffer();
        object.vncClient = client;
        object.itm = &item;
        tnConnectionFor(&item).vnc = &object;
        viewer->vnc = &object;
        ready = true;
    }
};

DrawFixture& drawFixture()
{
    static DrawFixture* fixture = new DrawFixture();
    return *fixture;
}

// Arg: 0 scaled bilinear, 1 scaled nearest, 2 scrolled 1:1.
void BM_ViewerRedraw(benchmark::State& state)
{
    DrawFixture& f = drawFixture();
    if (!f.ready) {
        state.SkipWithError("needs a display (run under tests/with-xvfb.sh)");
        return;
    }
    VncViewer* viewer = f.viewer;
    Fl_Scroll* scroller = f.scroller;
    const int mode = static_cast<int>(state.range(0));
    f.item.scaling = mode == 2 ? 's' : 'z';
    f.item.scalingFast = mode == 1;
    if (mode == 2) {
        scroller->type(Fl_Scroll::BOTH);
        viewer->resize(scroller->x(), scroller->y(), kRemoteW, kRemoteH);
    } else {
        scroller->type(0);
        viewer->resize(scroller->x(), scroller->y(), kViewerW, kViewerH);
    }
    scroller->scroll_to(0, 0);
    f.window->redraw();
    Fl::flush();
    for (auto _ : state) {
        viewer->redraw();
        Fl::flush();
        // The X server has drawn the frame when a round trip returns.
        XSync(fl_display, False);
    }
    static const char* names[] = {"scaled bilinear", "scaled nearest", "1:1 scrolled"};
    state.SetLabel(names[mode]);
}
BENCHMARK(BM_ViewerRedraw)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
