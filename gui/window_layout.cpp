#include "gui/window_layout.h"

#include <algorithm>

namespace {

// The left column from the bottom up: a 1-pixel margin, the 20-pixel button strip, a
// 3-pixel gap, the quick-info panel and another 3-pixel gap above it.
constexpr int tnButtonStripHeight = 20;
constexpr int tnButtonStripBottomMargin = 1;
constexpr int tnQuickInfoHeight = 193;
constexpr int tnColumnGap = 3;

} // namespace

TNWindowLayout tnMainWindowLayout(int winW, int winH, int hostListWidth, bool fullScreen)
{
    TNWindowLayout layout;
    layout.buttons.y = winH - tnButtonStripBottomMargin - tnButtonStripHeight;
    layout.buttons.h = tnButtonStripHeight;
    layout.quickInfo.y = layout.buttons.y - tnColumnGap - tnQuickInfoHeight;
    layout.quickInfo.w = hostListWidth;
    layout.quickInfo.h = tnQuickInfoHeight;
    layout.hostList.x = fullScreen ? -tnColumnGap : 0;
    layout.hostList.w = fullScreen ? 0 : hostListWidth;
    layout.hostList.h = std::max(0, layout.quickInfo.y - tnColumnGap);
    layout.viewerArea.x = fullScreen ? 0 : layout.hostList.x + layout.hostList.w + tnColumnGap;
    layout.viewerArea.w = std::max(0, winW - layout.viewerArea.x);
    layout.viewerArea.h = winH;
    return layout;
}
