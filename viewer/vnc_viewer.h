// The single viewer widget that shows the selected connection.
#pragma once

#include <FL/Fl_Box.H>
#include <rfb/rfbclient.h>

class VncObject;
class HostItem;

class VncViewer : public Fl_Box {
public:
    VncViewer(int x, int y, int w, int h, const char* label = nullptr);

    VncObject* vnc = nullptr;
    bool isFullScreen = false;

    void draw() override;
    int handle(int event) override;

    static void setFullScreen();
    static void unsetFullScreen();
    // Keyboard forwarding (keys of the shown connection).
    static void sendCorrectedKeyEvent(const char* text, int, HostItem* itm, rfbClient* client, bool down);
};

void tnResizeScroller();
