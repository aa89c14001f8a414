// Layout arithmetic of the viewer, free of widgets.
#pragma once

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
