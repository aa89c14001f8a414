// The single viewer widget that shows the selected connection.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_RGB_Image.H>
#include <rfb/rfbclient.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/rect.h"
#include "connection/scaling.h"

class Fl_Scroll;
class Fl_Window;
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

// Changed rectangles of the shown picture (remote coordinates) not drawn yet: at most
// tnMaxPictureDamage of them, then their bounding box; or the whole picture.
struct TNViewerDamage {
    const VncObject* of = nullptr;
    std::vector<TNRect> rects;
    bool everything = false;

    void add(const TNRect& r);
};

// A key the viewer pressed on a host and has not released yet.
struct TNHeldKey {
    VncObject* vnc;
    uint32_t symbol;
};

// The viewer sits in a scroll group (its parent), which fills a window of its own over the
// main window's viewer area (the scroll group's parent).
class VncViewer : public Fl_Box {
public:
    VncViewer(int x, int y, int w, int h, const char* label = nullptr);
    ~VncViewer() override;

    // The shown connection, or null.
    VncObject* vnc = nullptr;
    // Set by the main window, which gives the viewer the whole window then.
    bool isFullScreen = false;
    // The local clipboard is being set from a host's cut text: its change notice is ours.
    bool clipboardBusy = false;
    // The user gave the shown host input (scan mode stops).
    std::function<void()> onUserInput;
    // F11 was released over a shown host: the main window goes in or out of full screen.
    std::function<void()> onToggleFullScreen;
    // F9 was released over a shown host: the main window opens the overview of all hosts.
    std::function<void()> onToggleOverview;

    Fl_Scroll* scroller() const;
    Fl_Window* area() const;

    void draw() override;
    int handle(int event) override;

    // The pointer is over the viewer: it takes the keyboard focus unless a text field has it.
    void takeFocusFromPointer();

    // Keyboard forwarding (keys of the shown connection).
    void sendCorrectedKeyEvent(const char* text, int, HostItem* itm, rfbClient* client, bool down);

    // Work that finishes later (a clipboard read) holds this weakly: expired, the viewer is gone.
    std::weak_ptr<VncViewer*> lifetime() const { return self; }

    // Kept per host: a host that reconnects by itself is shown again as it was.
    TNViewMemory& memoryOf(const VncObject* connection);
    // Nothing is kept of the host's view any more.
    void forget(const HostItem* host) { memory.erase(host); }

    // ---- The viewer's own state (its files in viewer/ only) ----
    // RFB pointer-button mask: 1 left, 2 middle, 4 right; 8 and 16 are the wheel's buttons
    // 4 and 5, set only for the length of one press/release pair.
    int buttonMask = 0;
    // The symbol each key sent on its press, by the X key code of the event (keys.cpp).
    std::map<unsigned, TNHeldKey> heldKeys;
    TNViewerDamage pending;
    // The shown connection's scaled picture (scaled layout only), and whose it is.
    TNScaledPicture scaledPicture;
    const VncObject* scaledOf = nullptr;
    // The remote size the shown connection was last laid out for.
    int laidOutW = 0;
    int laidOutH = 0;

private:
    std::unordered_map<const HostItem*, TNViewMemory> memory;
    std::shared_ptr<VncViewer*> self = std::make_shared<VncViewer*>(this);
};

// Puts the viewer's window at x, y (main-window coordinates) with the size w x h, and the
// scroll group over the whole of it.
void tnPlaceViewerArea(VncViewer& viewer, int x, int y, int w, int h);
// Lays the viewer out for the shown connection and the current viewer area: the layout
// chosen again, the viewer sized and the scroll position kept inside the picture. Pure
// geometry: nothing goes to the server, so it can run at every step of a window resize.
// Showing a connection (tnShowConnection) does this and also asks the server for a full
// update.
void tnLayOutViewer(VncViewer& viewer);
// A connection has its first remote screen: the shared image the shown picture lives in is
// made for its size if there is none yet, so that the first show maps no fresh memory.
void tnPrepareToShow(const VncObject* vnc);
// Makes `vnc` the shown connection (hiding another one), lays it out, asks the server for
// a full picture and watches its socket.
void tnShowConnection(VncViewer& viewer, VncObject* vnc);
// Hides the shown connection: held keys released, socket no longer watched, viewer empty.
void tnHideShownConnection(VncViewer& viewer);
// The reader changed `vnc`'s picture: the changed parts of the shown picture are marked
// for drawing (the whole viewer after a new frame buffer).
void tnViewerPictureChanged(VncViewer& viewer, VncObject* vnc);
// Whether `vnc`'s remote screen fits the viewer area without scrolling (always in full screen).
bool tnFitsViewer(const VncViewer& viewer, const VncObject* vnc);
// A new cursor shape of `vnc`: taken while the pointer is over the viewer showing `vnc`,
// then set on the viewer's top window.
void tnTakeCursorShape(VncViewer& viewer, VncObject* vnc, const TNCursorShape& shape);
// Cut text (UTF-8 when `utf8`, else Latin-1) that `vnc`'s server sent: remembered for the
// connection, and put on the local clipboard when `vnc` is the shown one.
void tnReceiveCutText(VncViewer& viewer, VncObject* vnc, const char* text, int len, bool utf8);

// Sends each byte of `keys` (up to a NUL, line feeds skipped) as a press and release of
// the key symbol of that value to the connection `vnc`.
void tnSendKeyStrokesToHost(const std::string& keys, VncObject* vnc);
// Sends the release of every key the viewer pressed on a host and has not released yet
// (the viewer lost the focus, or its connection is being hidden).
void tnReleaseHeldKeys(VncViewer& viewer);
// The toolkit's clipboard-change notifier (its data: the viewer): hands a new local
// clipboard to the shown host.
void tnHandleLocalClipboard(int source, void* viewer);
// Asks for the local clipboard, so that the shown host gets it if it does not have it yet
// (the user turned to the viewer).
void tnOfferClipboardToShownHost(VncViewer& viewer);
// Clipboard text pasted into the viewer: sent to `vnc` as cut text unless it is the text
// last exchanged with that host.
void tnHandlePastedText(VncObject* vnc, const char* text, int length);
