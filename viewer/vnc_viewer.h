// The single viewer widget that shows the selected connection.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_RGB_Image.H>
#include <rfb/rfbclient.h>

#include <memory>
#include <string>
#include <unordered_map>

class VncObject;
struct TNCursorShape;
class HostItem;

// What the viewer keeps of a connection it has shown, for the next time it shows it: where
// its scrolled view was and the server's cursor shape.
struct TNViewMemory {
    int scrollX = 0;
    int scrollY = 0;
    std::unique_ptr<Fl_RGB_Image> cursor;
    int cursorHotX = 0;
    int cursorHotY = 0;
};

class VncViewer : public Fl_Box {
public:
    VncViewer(int x, int y, int w, int h, const char* label = nullptr);

    // The shown connection, or null.
    VncObject* vnc = nullptr;
    bool isFullScreen = false;

    TNViewMemory& memoryOf(const VncObject* connection) { return memory[connection]; }
    // The connection is released: nothing is kept of it.
    void forget(const VncObject* connection) { memory.erase(connection); }

    void draw() override;
    int handle(int event) override;

    // The pointer is over the viewer: it takes the keyboard focus unless a text field has it.
    void takeFocusFromPointer();

    static void setFullScreen();
    static void unsetFullScreen();
    // Keyboard forwarding (keys of the shown connection).
    static void sendCorrectedKeyEvent(const char* text, int, HostItem* itm, rfbClient* client, bool down);

private:
    std::unordered_map<const VncObject*, TNViewMemory> memory;
};

void tnResizeScroller();
// Puts the viewer's window at x, y (main-window coordinates) with the size w x h, and the
// scroll group over the whole of it.
void tnPlaceViewerArea(int x, int y, int w, int h);
// Lays the viewer out for the shown connection and the current viewer area: the scroll
// group fitted (outside full screen), the layout chosen again, the viewer sized and the
// scroll position kept inside the picture. Pure geometry: nothing goes to the server, so
// it can run at every step of a window resize. Showing a connection
// (tnShowConnection) does this and also asks the server for a full update.
void tnLayOutViewer();
// Makes `vnc` the shown connection (hiding another one), lays it out, asks the server for
// a full picture and watches its socket.
void tnShowConnection(VncObject* vnc);
// Hides the shown connection: held keys released, socket no longer watched, viewer empty.
void tnHideShownConnection();
// The reader changed `vnc`'s picture: the changed parts of the shown picture are marked
// for drawing (the whole viewer after a new frame buffer).
void tnViewerPictureChanged(VncObject* vnc);
// Whether `vnc`'s remote screen fits the viewer area without scrolling (always in full screen).
bool tnFitsViewer(const VncObject* vnc);
// A new cursor shape of `vnc` from the library's rcSource/rcMask: taken while the pointer
// is over the viewer showing `vnc`, then set on the main window.
void tnTakeCursorShape(VncObject* vnc, const TNCursorShape& shape);
// Sets the main window's cursor to the shown connection's shape (`restoreDefault` null) or
// to the default one; queued with Fl::awake.
void tnHandleThreadCursorChange(void* restoreDefault);
// Cut text (UTF-8 when `utf8`, else Latin-1) that `vnc`'s server sent: remembered for the connection, and put on
// the local clipboard when `vnc` is the shown one.
void tnReceiveCutText(VncObject* vnc, const char* text, int len, bool utf8);

// Sends each byte of `keys` (up to a NUL, line feeds skipped) as a press and release of
// the key symbol of that value to the connection `vnc`.
void tnSendKeyStrokesToHost(const std::string& keys, VncObject* vnc);
// Sends the release of every key the viewer pressed on a host and has not released yet
// (the viewer lost the focus, or its connection is being hidden).
void tnReleaseHeldKeys();
// The toolkit's clipboard-change notifier: hands a new local clipboard to the shown host.
void tnHandleLocalClipboard(int source, void* data);
// Asks for the local clipboard, so that the shown host gets it if it does not have it yet
// (the user turned to the viewer).
void tnOfferClipboardToShownHost();
// Clipboard text pasted into the viewer: sent to `vnc` as cut text unless it is the text
// last exchanged with that host.
void tnHandlePastedText(VncObject* vnc, const char* text, int length);
