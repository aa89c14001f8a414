// Viewer layout arithmetic: layout choice, scaled size, pointer mapping.
#include <gtest/gtest.h>

#include "gui/window_layout.h"
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

TEST(Layout, MainWindowKeepsTheButtonStripAndPanelAndGivesTheChangeToTheHostList)
{
    struct Case {
        int winW, winH, listW;
        bool fullScreen;
        TNRect hostList, quickInfo, buttons, viewerArea;
    };
    const Case cases[] = {
        {1024, 768, 170, false, {0, 0, 170, 548}, {0, 551, 170, 193}, {0, 747, 0, 20}, {173, 0, 851, 768}},
        {800, 600, 170, false, {0, 0, 170, 380}, {0, 383, 170, 193}, {0, 579, 0, 20}, {173, 0, 627, 600}},
        {1600, 1200, 400, false, {0, 0, 400, 980}, {0, 983, 400, 193}, {0, 1179, 0, 20}, {403, 0, 1197, 1200}},
        // Full screen: the list is pushed out of sight, the viewer area is the whole window.
        {800, 600, 170, true, {-3, 0, 0, 380}, {0, 383, 170, 193}, {0, 579, 0, 20}, {0, 0, 800, 600}},
        // Far below the window's minimum nothing gets a negative size.
        {100, 100, 170, false, {0, 0, 170, 0}, {0, -117, 170, 193}, {0, 79, 0, 20}, {173, 0, 0, 100}},
    };
    auto expectRect = [](const char* what, const TNRect& got, const TNRect& want) {
        EXPECT_EQ(got.x, want.x) << what;
        EXPECT_EQ(got.y, want.y) << what;
        EXPECT_EQ(got.w, want.w) << what;
        EXPECT_EQ(got.h, want.h) << what;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.winW) + "x" + std::to_string(c.winH) + (c.fullScreen ? " full screen" : ""));
        const TNWindowLayout layout = tnMainWindowLayout(c.winW, c.winH, c.listW, c.fullScreen);
        expectRect("host list", layout.hostList, c.hostList);
        expectRect("quick info", layout.quickInfo, c.quickInfo);
        expectRect("buttons", layout.buttons, c.buttons);
        expectRect("viewer area", layout.viewerArea, c.viewerArea);
    }
}

TEST(Layout, ViewerFollowsTheAreaAndKeepsTheScrollInsideThePicture)
{
    // Rows in the order a user meets them: one host, the window shrinking and growing.
    struct Case {
        const char* what;
        char scaling;
        bool fullScreen;
        int remoteW, remoteH, areaW, areaH, keptX, keptY;
        TNLayout layout;
        int viewerW, viewerH, scrollX, scrollY;
    };
    const Case cases[] = {
        {"scaled, shrunk", 'z', false, 1000, 800, 627, 600, 0, 0, TNLayout::Scaled, 627, 501, 0, 0},
        {"scaled, grown", 'z', false, 1000, 800, 1107, 1000, 0, 0, TNLayout::Scaled, 1107, 885, 0, 0},
        {"scaled ignores a kept scroll", 'z', false, 1000, 800, 1107, 1000, 50, 60, TNLayout::Scaled, 1107, 885, 0, 0},
        {"fit, too large: scaled", 'f', false, 1000, 800, 627, 600, 0, 0, TNLayout::Scaled, 627, 501, 0, 0},
        {"fit, room again: 1:1", 'f', false, 1000, 800, 1107, 1000, 0, 0, TNLayout::Scroll, 1000, 800, 0, 0},
        {"fit, full screen: 1:1 and scrolled", 'f', true, 1000, 800, 800, 600, 500, 500, TNLayout::Scroll, 1000,
         800, 216, 216},
        // Both scrollbars (16 pixels each) take room from what is seen of the picture.
        {"1:1, scrolled to the far corner", 's', false, 1000, 800, 627, 600, 389, 216, TNLayout::Scroll, 1000, 800,
         389, 216},
        {"1:1, beyond the far corner", 's', false, 1000, 800, 627, 600, 900, 900, TNLayout::Scroll, 1000, 800, 389,
         216},
        {"1:1, fits after growing", 's', false, 1000, 800, 1107, 1000, 389, 216, TNLayout::Scroll, 1000, 800, 0, 0},
        {"1:1, only too wide", 's', false, 1000, 800, 900, 1000, 389, 216, TNLayout::Scroll, 1000, 800, 100, 0},
        // The horizontal bar's height makes the vertical one needed as well.
        {"1:1, too wide and just high enough", 's', false, 1000, 800, 900, 810, 389, 216, TNLayout::Scroll, 1000,
         800, 116, 6},
        // The vertical bar's width makes the horizontal one needed as well.
        {"1:1, too high and just wide enough", 's', false, 1000, 800, 1010, 700, 389, 216, TNLayout::Scroll, 1000,
         800, 6, 116},
        {"1:1, negative kept position", 's', false, 1000, 800, 627, 600, -5, -5, TNLayout::Scroll, 1000, 800, 0, 0},
        {"unknown letter", 'x', false, 1000, 800, 627, 600, 389, 216, TNLayout::Empty, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TNViewerPlacement p = tnPlaceViewer(c.scaling, c.fullScreen, c.remoteW, c.remoteH, c.areaW, c.areaH,
                                                  c.keptX, c.keptY, 16);
        EXPECT_EQ(p.layout, c.layout);
        EXPECT_EQ(p.viewer.w, c.viewerW);
        EXPECT_EQ(p.viewer.h, c.viewerH);
        EXPECT_EQ(p.scrollX, c.scrollX);
        EXPECT_EQ(p.scrollY, c.scrollY);
    }
}
