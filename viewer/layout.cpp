// Layout arithmetic of the viewer: which layout a host gets, the scaled size and
// the mapping of viewer positions to remote pixels. No widgets here.
#include "viewer/layout.h"

#include <algorithm>

TNLayout tnChooseLayout(char scaling, bool fits)
{
    switch (scaling) {
    case 's':
        return TNLayout::Scroll;
    case 'f':
        return fits ? TNLayout::Scroll : TNLayout::Scaled;
    case 'z':
        return TNLayout::Scaled;
    default:
        return TNLayout::Empty;
    }
}

TNSize tnScaledViewerSize(int remoteW, int remoteH, int areaW, int areaH)
{
    TNSize size;
    if (remoteW <= 0 || remoteH <= 0 || areaW <= 0 || areaH <= 0)
        return size;
    // Single precision on purpose: 1920x1080 into 1000 wide gives 562 (562.5 truncated).
    const float ratio = static_cast<float>(remoteW) / static_cast<float>(remoteH);
    const float widthAtFullHeight = static_cast<float>(areaH) * ratio;
    if (static_cast<float>(areaW) >= widthAtFullHeight) {
        size.w = static_cast<int>(widthAtFullHeight);
        size.h = areaH;
    } else {
        size.w = areaW;
        size.h = static_cast<int>(static_cast<float>(areaW) / ratio);
    }
    return size;
}

void tnMapPointerScroll(int relX, int relY, int scrollX, int scrollY, int* remoteX, int* remoteY)
{
    *remoteX = relX + scrollX;
    *remoteY = relY + scrollY;
}

namespace {

// Maps 0 .. viewer-1 onto 0 .. remote-1 with both end pixels matching exactly, so the
// remote screen's last row and column stay reachable at any scale. Integer arithmetic:
// a float ratio would land the last viewer pixel on remote-1 minus a rounding error.
int scaleAxis(int rel, int viewer, int remote)
{
    if (viewer <= 1 || remote <= 1)
        return 0;
    const long long scaled = static_cast<long long>(rel) * (remote - 1) / (viewer - 1);
    return static_cast<int>(scaled);
}

} // namespace

void tnMapPointerScaled(int relX, int relY, int viewerW, int viewerH, int remoteW, int remoteH,
                        int* remoteX, int* remoteY)
{
    *remoteX = scaleAxis(relX, viewerW, remoteW);
    *remoteY = scaleAxis(relY, viewerH, remoteH);
}

namespace {

// Largest scroll offset along one axis that keeps the picture filling the visible part.
int clampScroll(int scroll, int picture, int visible)
{
    return std::clamp(scroll, 0, std::max(0, picture - visible));
}

} // namespace

TNViewerPlacement tnPlaceViewer(char scaling, bool fullScreen, int remoteW, int remoteH, int areaW, int areaH,
                                int scrollX, int scrollY, int scrollbarSize)
{
    TNViewerPlacement placement;
    const bool fits = fullScreen || (remoteW <= areaW && remoteH <= areaH);
    placement.layout = tnChooseLayout(scaling, fits);
    if (placement.layout == TNLayout::Scaled) {
        placement.viewer = tnScaledViewerSize(remoteW, remoteH, areaW, areaH);
    } else if (placement.layout == TNLayout::Scroll) {
        placement.viewer = {remoteW, remoteH};
        // The scroll group's rule for its scrollbars: one is needed where the picture is
        // larger than the area, and the room it takes may make the other one needed too.
        bool vertical = remoteH > areaH;
        const bool horizontal = remoteW > areaW - (vertical ? scrollbarSize : 0);
        if (horizontal && !vertical)
            vertical = remoteH > areaH - scrollbarSize;
        placement.scrollX = clampScroll(scrollX, remoteW, areaW - (vertical ? scrollbarSize : 0));
        placement.scrollY = clampScroll(scrollY, remoteH, areaH - (horizontal ? scrollbarSize : 0));
    }
    return placement;
}
