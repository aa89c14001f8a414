// Viewer layout arithmetic: layout choice, scaled size, pointer mapping.
#include <gtest/gtest.h>

#include "viewer/layout.h"

namespace {

struct LayoutCase {
    int remoteW, remoteH, areaW, areaH;
    char scaling;
    TNLayout layout;
    int viewerW, viewerH; // the viewer size the layout gives
};

// The viewer size a layout gives: the remote size when scrolled, the fitted size when scaled.
TNSize viewerSizeFor(const LayoutCase& c)
{
    const bool fits = c.remoteW <= c.areaW && c.remoteH <= c.areaH;
    switch (tnChooseLayout(c.scaling, fits)) {
    case TNLayout::Scroll:
        return {c.remoteW, c.remoteH};
    case TNLayout::Scaled:
        return tnScaledViewerSize(c.remoteW, c.remoteH, c.areaW, c.areaH);
    default:
        return {};
    }
}

} // namespace

TEST(Layout, ChoiceAndSizeByScalingLetter)
{
    const LayoutCase cases[] = {
        {1920, 1080, 1000, 700, 'z', TNLayout::Scaled, 1000, 562}, // 562.5 truncated
        {1920, 1080, 1000, 700, 'f', TNLayout::Scaled, 1000, 562},
        {1920, 1080, 1000, 700, 's', TNLayout::Scroll, 1920, 1080},
        {800, 600, 1000, 700, 'f', TNLayout::Scroll, 800, 600},    // fits: drawn 1:1
        {800, 600, 1000, 700, 'z', TNLayout::Scaled, 933, 700},    // enlarged, height-bound
        {800, 600, 1000, 700, 's', TNLayout::Scroll, 800, 600},
        {1000, 700, 1000, 700, 'f', TNLayout::Scroll, 1000, 700},  // exactly fitting is a fit
        {1001, 700, 1000, 700, 'f', TNLayout::Scaled, 1000, 699},  // one pixel too wide
        {640, 480, 1000, 700, 'x', TNLayout::Empty, 0, 0},
        {640, 480, 1000, 700, '\0', TNLayout::Empty, 0, 0},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(std::string(1, c.scaling) + " " + std::to_string(c.remoteW) + "x" +
                     std::to_string(c.remoteH));
        const bool fits = c.remoteW <= c.areaW && c.remoteH <= c.areaH;
        EXPECT_EQ(tnChooseLayout(c.scaling, fits), c.layout);
        const TNSize size = viewerSizeFor(c);
        EXPECT_EQ(size.w, c.viewerW);
        EXPECT_EQ(size.h, c.viewerH);
    }
}

TEST(Layout, FullScreenFitMeansFitModeNeverScales)
{
    // Full screen passes fits=true whatever the sizes are.
    EXPECT_EQ(tnChooseLayout('f', true), TNLayout::Scroll);
    EXPECT_EQ(tnChooseLayout('z', true), TNLayout::Scaled);
}

TEST(Layout, ScaledSizeKeepsAspectInsideArea)
{
    // A tall remote screen is bound by the area's height; empty sizes give an empty viewer.
    TNSize tall = tnScaledViewerSize(600, 1200, 1000, 700);
    EXPECT_EQ(tall.w, 350);
    EXPECT_EQ(tall.h, 700);
    TNSize none = tnScaledViewerSize(0, 1080, 1000, 700);
    EXPECT_EQ(none.w, 0);
    EXPECT_EQ(none.h, 0);
    none = tnScaledViewerSize(1920, 1080, 0, 700);
    EXPECT_EQ(none.w, 0);
}

TEST(Layout, PointerMappingScroll)
{
    int x = -1, y = -1;
    tnMapPointerScroll(10, 20, 0, 0, &x, &y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    tnMapPointerScroll(10, 20, 300, 150, &x, &y);
    EXPECT_EQ(x, 310);
    EXPECT_EQ(y, 170);
}

TEST(Layout, PointerMappingScaledHitsCorners)
{
    struct Case {
        int viewerW, viewerH, remoteW, remoteH;
    };
    const Case cases[] = {
        {1000, 562, 1920, 1080}, // reduced
        {933, 700, 800, 600},    // enlarged
        {400, 300, 1920, 1080},  // strongly reduced
        {64, 48, 64, 48},        // same size: identity
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.viewerW) + "->" + std::to_string(c.remoteW));
        int x = -1, y = -1;
        tnMapPointerScaled(0, 0, c.viewerW, c.viewerH, c.remoteW, c.remoteH, &x, &y);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
        tnMapPointerScaled(c.viewerW - 1, c.viewerH - 1, c.viewerW, c.viewerH, c.remoteW, c.remoteH, &x, &y);
        EXPECT_EQ(x, c.remoteW - 1);
        EXPECT_EQ(y, c.remoteH - 1);
        // The middle of the viewer is the middle of the remote screen, within a pixel.
        tnMapPointerScaled(c.viewerW / 2, c.viewerH / 2, c.viewerW, c.viewerH, c.remoteW, c.remoteH, &x, &y);
        EXPECT_NEAR(x, c.remoteW / 2, c.remoteW / c.viewerW + 1);
        EXPECT_NEAR(y, c.remoteH / 2, c.remoteH / c.viewerH + 1);
    }
    int x = 0, y = 0;
    tnMapPointerScaled(5, 5, 64, 48, 64, 48, &x, &y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 5);
    // A viewer of one pixel maps everything onto the first remote pixel.
    tnMapPointerScaled(0, 0, 1, 1, 1920, 1080, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}
