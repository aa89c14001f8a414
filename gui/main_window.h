// The main window: it owns its widgets (the host list, the quick-info panel, the button
// strip, the viewer's area) and lays them out; and the program's one pointer to it.
#pragma once

#include <FL/Fl_Double_Window.H>

#include <string>
#include <vector>

class Fl_Box;
class Fl_Button;
class Fl_Hold_Browser;
class Fl_Multiline_Output;
class Fl_Pack;
class Fl_Pixmap;
class Fl_RGB_Image;
class Fl_Scroll;
class Fl_Window;
class HostItem;
class TNQuickNoteBox;
class TNOverview;
class TNQuickNoteInput;
class TNQuickNotePack;
class VncViewer;

class TNMainWindow : public Fl_Double_Window {
public:
    // Builds every widget (not shown yet); the sizes follow the options as they are.
    TNMainWindow();

    // Lays the window out for its current size whenever it changes: the left column keeps
    // its widths and the button strip its height at the bottom, the host list takes up the
    // change of height, and the viewer area and the shown connection take the rest.
    void resize(int x, int y, int w, int h) override;
    void layOut();
    // Before the first show: the window asks to appear there (the toolkit moves a window
    // whose title bar would be off the screen, as at 0,0, just inside it).
    void placeAt(int x, int y, int w, int h);
    // The viewer takes the whole window (the host list and the panel out of sight), or
    // gives it back; the shown connection is laid out again.
    void setFullScreen(bool fullScreen);

    Fl_Hold_Browser* hostList = nullptr;
    // The viewer's own single-buffered window (a child of the main window, over the viewer
    // area) and the scroll group that fills it; the scroll group holds the viewer.
    Fl_Window* viewerWindow = nullptr;
    Fl_Scroll* scroller = nullptr;
    VncViewer* vncViewer = nullptr;
    // The overview of all hosts, in the viewer's window in place of the scroll group while
    // it is open (gui/overview.h).
    TNOverview* overview = nullptr;
    Fl_RGB_Image* iconApp = nullptr;
    Fl_Pixmap* iconDisconnected = nullptr;
    Fl_Pixmap* iconDisconnectedError = nullptr;
    Fl_Pixmap* iconDisconnectedBigError = nullptr;
    Fl_Pixmap* iconConnected = nullptr;
    Fl_Pixmap* iconNoConnect = nullptr;
    Fl_Pixmap* iconConnecting = nullptr;
    Fl_Pixmap* iconReconnecting = nullptr;
    Fl_Button* btnAdd = nullptr;
    Fl_Button* btnDelete = nullptr;
    Fl_Button* btnHelp = nullptr;
    Fl_Button* btnOptions = nullptr;
    Fl_Button* btnUp = nullptr;
    Fl_Button* btnDown = nullptr;
    Fl_Button* btnListen = nullptr;
    Fl_Button* btnScan = nullptr;
    Fl_Button* btnOverview = nullptr;
    Fl_Pack* buttonPack = nullptr;
    Fl_Pack* quickInfoPack = nullptr;
    Fl_Box* quickInfoName = nullptr;
    Fl_Box* quickInfoLastConnectedLabel = nullptr;
    Fl_Box* quickInfoLastConnected = nullptr;
    // How the connected host's connection is protected (empty while not connected).
    Fl_Box* quickInfoSecurity = nullptr;
    Fl_Multiline_Output* quickInfoLastError = nullptr;
    TNQuickNoteBox* quickNoteBox = nullptr;
    // The note editor, made with the panel's first host (gui/quick_info.h).
    TNQuickNotePack* quickNotePack = nullptr;
    TNQuickNoteInput* quickNoteInput = nullptr;

    // ---- What the window's parts are doing ----
    // The one child window open (host options, application options, help, remote actions).
    Fl_Window* childWindow = nullptr;
    bool childWindowVisible = false;
    HostItem* itmBeingEdited = nullptr;
    bool isScanning = false;
    int scanIndex = 0;
    std::string f12MacroClipboard;
    // The configuration file exists but could not be read at start-up: it is never written
    // in this run, so that the hosts in it are not lost.
    bool configFileUnread = false;
    // A failed save has been told in a message box; cleared by the next successful save.
    bool saveFailureTold = false;
};

// The main window: start-up makes it (tnCreateGUI); null before.
extern TNMainWindow* app;

// Makes the main window when there is none yet.
void tnCreateGUI();
// The status icons of the host-list lines, one per TNHostIcon, in its order.
std::vector<Fl_Pixmap*> tnLineIcons();
// Makes iconApp, the seven status icons and the nine button images; with false every
// host line's icon is reset to iconDisconnected.
void tnCreateAppIcons(bool keepLineIcons);
void tnPositionWidgets();

class Fl_Widget;

// Before the window is first shown: gives it the place and size it had when the program
// last ended (a -geometry on the command line still wins, applied by show()).
void tnRestoreWindowSizePosition();
// Shut-down steps 1-5 (flag, end connections, log, geometry, write the file).
void tnPrepareShutDown();
// The shut-down, then the program ends at once with exit status `status` (main thread).
void tnShutDownAndExit(int status);
// The main window's callback: a close request ends the program.
void tnHandleMainWindowEvents(Fl_Widget*, void*);
// The toolkit's event dispatch (installed with Fl::event_dispatch at start-up): the paste
// gestures of text inputs go through the program's own clipboard reader, drops are
// refused, and a close
// request for the main window ends the program even while a child window or message box
// is open (the toolkit drops events for other windows while one is modal); the child
// window is closed as its Cancel would close it.
int tnDispatchEvent(int event, Fl_Window* window);
// Callback of a child window's close button and of the window itself: hides it.
void tnCloseChildWindow(Fl_Widget*, void* window);
