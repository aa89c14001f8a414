// Layout arithmetic of the main window, free of widgets.
#pragma once

#include "core/rect.h"

// Where the main window's parts go for a window of winW x winH: the left column keeps its
// width (hostListWidth) and the button strip its 20-pixel height at the bottom, the host
// list takes up any change of height, and the viewer area gets the rest of the window.
// In full screen the host list is pushed out of sight and the viewer area is the window.
struct TNWindowLayout {
    TNRect hostList;
    TNRect quickInfo; // the quick-info panel between the host list and the button strip
    TNRect buttons;   // x, y and height of the button strip (its width is its buttons')
    TNRect viewerArea;
};
TNWindowLayout tnMainWindowLayout(int winW, int winH, int hostListWidth, bool fullScreen);
