// The program's widgets and the front end's run-time state. The options are plain values
// of their own (core/options.h); start-up makes this object (startup/startup.h).
#pragma once

#include <string>

class Fl_Double_Window;
class Fl_Hold_Browser;
class Fl_Scroll;
class Fl_RGB_Image;
class Fl_Pixmap;
class Fl_Button;
class Fl_Window;
class Fl_Box;
class Fl_Pack;
class Fl_Multiline_Output;
class Fl_Widget;
class VncViewer;
class HostItem;
class TNQuickNoteBox;
class TNQuickNotePack;
class TNQuickNoteInput;

class AppState {
public:
    Fl_Double_Window* mainWin = nullptr;
    Fl_Hold_Browser* hostList = nullptr;
    // The viewer's own single-buffered window (a child of the main window, over the viewer
    // area) and the scroll group that fills it; the scroll group holds the viewer.
    Fl_Window* viewerWindow = nullptr;
    Fl_Scroll* scroller = nullptr;
    VncViewer* vncViewer = nullptr;
    Fl_RGB_Image* iconApp = nullptr;
    Fl_Pixmap* iconDisconnected = nullptr;
    Fl_Pixmap* iconDisconnectedError = nullptr;
    Fl_Pixmap* iconDisconnectedBigError = nullptr;
    Fl_Pixmap* iconConnected = nullptr;
    Fl_Pixmap* iconNoConnect = nullptr;
    Fl_Pixmap* iconConnecting = nullptr;
    bool childWindowVisible = false;
    Fl_Button* btnAdd = nullptr;
    Fl_Button* btnDelete = nullptr;
    Fl_Button* btnHelp = nullptr;
    Fl_Button* btnOptions = nullptr;
    Fl_Button* btnUp = nullptr;
    Fl_Button* btnDown = nullptr;
    Fl_Button* btnListen = nullptr;
    Fl_Button* btnScan = nullptr;
    Fl_Window* childWindow = nullptr;
    HostItem* itmBeingEdited = nullptr;
    bool isScanning = false;
    int scanIndex = 0;
    bool clipboardBusy = false;
    std::string f12MacroClipboard;
    Fl_Pack* quickInfoPack = nullptr;
    Fl_Box* quickInfoName = nullptr;
    Fl_Box* quickInfoLastConnectedLabel = nullptr;
    Fl_Box* quickInfoLastConnected = nullptr;
    // How the connected host's connection is protected (empty while not connected).
    Fl_Box* quickInfoSecurity = nullptr;
    Fl_Multiline_Output* quickInfoLastError = nullptr;
    TNQuickNoteBox* quickNoteBox = nullptr;
    TNQuickNotePack* quickNotePack = nullptr;
    TNQuickNoteInput* quickNoteInput = nullptr;
    Fl_Pack* buttonPack = nullptr;
    // The configuration file exists but could not be read at start-up: it is never written
    // in this run, so that the hosts in it are not lost.
    bool configFileUnread = false;
    // A failed save has been told in a message box; cleared by the next successful save.
    bool saveFailureTold = false;
};

// Made by start-up; null before.
extern AppState* app;
