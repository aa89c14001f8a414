// Scaling a 1280x720 picture to a 900x506 viewer: pixman (what the viewer uses) against
// FLTK's Fl_RGB_Image::copy(), nearest and bilinear, for a full frame and for a 64x64
// changed rectangle. FLTK's copy() can only scale a whole image: its "rect" figure scales
// the 64x64 region as an image of its own (its edges then differ from a full rescale), as
// a lower bound of what it could do per small update. No display needed.
#include <benchmark/benchmark.h>

#include <FL/Fl_RGB_Image.H>

#include <vector>

#include "viewer/fltk_compat.h"
#include "connection/scaling.h"

namespace {

constexpr int kSrcW = 1280;
constexpr int kSrcH = 720;
constexpr int kDstW = 900;
constexpr int kDstH = 506;
constexpr int kRect = 64;

const std::vector<uint8_t>& picture()
{
    static const std::vector<uint8_t> pixels = [] {
        std::vector<uint8_t> p(static_cast<size_t>(kSrcW) * kSrcH * 4);
        for (int y = 0; y < kSrcH; ++y) {
            for (int x = 0; x < kSrcW; ++x) {
                uint8_t* q = p.data() + (static_cast<size_t>(y) * kSrcW + x) * 4;
                q[0] = static_cast<uint8_t>(x);
                q[1] = static_cast<uint8_t>(y);
                q[2] = static_cast<uint8_t>(x ^ y);
                q[3] = 255;
            }
        }
        return p;
    }();
    return pixels;
}

const char* algorithm(bool nearest)
{
    return nearest ? "nearest" : "bilinear";
}

// Arg: 1 nearest, 0 bilinear.
void BM_FltkCopyFullFrame(benchmark::State& state)
{
    const bool nearest = state.range(0) != 0;
    Fl_RGB_Image wrapper(picture().data(), kSrcW, kSrcH, 4);
    for (auto _ : state) {
        tnSetImageScalingNearest(nearest);
        Fl_Image* scaled = wrapper.copy(kDstW, kDstH);
        benchmark::DoNotOptimize(scaled);
        delete scaled;
    }
    state.SetLabel(algorithm(nearest));
}
BENCHMARK(BM_FltkCopyFullFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_PixmanFullFrame(benchmark::State& state)
{
    const bool nearest = state.range(0) != 0;
    const TNPixels source{kSrcW, kSrcH, picture().data()};
    std::vector<uint8_t> scaled(static_cast<size_t>(kDstW) * kDstH * 4);
    for (auto _ : state) {
        tnScaleRect(source, scaled.data(), kDstW, kDstH, {0, 0, kDstW, kDstH}, nearest);
        benchmark::DoNotOptimize(scaled.data());
    }
    state.SetLabel(algorithm(nearest));
}
BENCHMARK(BM_PixmanFullFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_FltkCopyRect(benchmark::State& state)
{
    const bool nearest = state.range(0) != 0;
    const uint8_t* corner = picture().data() + (static_cast<size_t>(300) * kSrcW + 500) * 4;
    Fl_RGB_Image wrapper(corner, kRect, kRect, 4, kSrcW * 4);
    const int w = kRect * kDstW / kSrcW, h = kRect * kDstH / kSrcH;
    for (auto _ : state) {
        tnSetImageScalingNearest(nearest);
        Fl_Image* scaled = wrapper.copy(w, h);
        benchmark::DoNotOptimize(scaled);
        delete scaled;
    }
    state.SetLabel(algorithm(nearest));
}
BENCHMARK(BM_FltkCopyRect)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// What the viewer does per changed 64x64 rectangle: the scaled copy's matching part again.
void BM_PixmanRect(benchmark::State& state)
{
    const bool nearest = state.range(0) != 0;
    const TNPixels source{kSrcW, kSrcH, picture().data()};
    TNScaledPicture kept;
    kept.rebuild(source, kDstW, kDstH, nearest);
    for (auto _ : state) {
        const TNRect part = kept.update(source, {500, 300, kRect, kRect});
        benchmark::DoNotOptimize(part);
    }
    state.SetLabel(algorithm(nearest));
}
BENCHMARK(BM_PixmanRect)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
