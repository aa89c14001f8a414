// Layout arithmetic of the viewer, free of widgets.
#pragma once

#include "core/rect.h"

struct TNSize {
    int w = 0;
    int h = 0;
};

enum class TNLayout { Scroll, Scaled, Empty };

// Which layout a host's scaling letter gives for a remote screen and the available area.
// fits: the remote screen fits the scroll group unscaled (or full-screen is on).
TNLayout tnChooseLayout(char scaling, bool fits);

// The scaled viewer size: the largest size with the remote aspect ratio inside the area
// (single-precision arithmetic, truncated).
TNSize tnScaledViewerSize(int remoteW, int remoteH, int areaW, int areaH);

// Remote pointer position for an event position relative to the scroll group's origin.
void tnMapPointerScroll(int relX, int relY, int scrollX, int scrollY, int* remoteX, int* remoteY);
void tnMapPointerScaled(int relX, int relY, int viewerW, int viewerH, int remoteW, int remoteH,
                        int* remoteX, int* remoteY);

// How the viewer shows a remote screen in the viewer area: the layout, the viewer's size
// (the remote size when scrolled, the fitted size when scaled; 0 x 0 for Empty, where the
// viewer keeps its size) and the scroll position to use. A kept scroll position is clamped
// so that no blank space shows beyond the picture; the scaled picture is not scrolled.
struct TNViewerPlacement {
    TNLayout layout = TNLayout::Empty;
    TNSize viewer;
    int scrollX = 0;
    int scrollY = 0;
};
TNViewerPlacement tnPlaceViewer(char scaling, bool fullScreen, int remoteW, int remoteH, int areaW, int areaH,
                                int scrollX, int scrollY, int scrollbarSize);
