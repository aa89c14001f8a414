// The one application state object, start-up and shut-down.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
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
    AppState();

    Fl_Double_Window* mainWin = nullptr;
    Fl_Hold_Browser* hostList = nullptr;
    Fl_Scroll* scroller = nullptr;
    VncViewer* vncViewer = nullptr;
    Fl_RGB_Image* iconApp = nullptr;
    Fl_Pixmap* iconDisconnected = nullptr;
    Fl_Pixmap* iconDisconnectedError = nullptr;
    Fl_Pixmap* iconDisconnectedBigError = nullptr;
    Fl_Pixmap* iconConnected = nullptr;
    Fl_Pixmap* iconNoConnect = nullptr;
    Fl_Pixmap* iconConnecting = nullptr;
    char* libVncTag = nullptr;
    // Set by start-up and not changed afterwards: handshake workers read it for the log.
    std::string configPath;
    std::string configPathAndFile;
    int hostListWidth = 170;
    int pendingConnectionCount = 0;
    bool colorBlindIcons = false;
    bool isShuttingDown = false;
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
    uint16_t scanTimeout = 2;
    int startingLocalPort = 15000;
    bool showTooltips = true;
    // The log switches: any thread reads them, the options window may switch them while
    // connections run.
    std::atomic<bool> logToFile{false};
    std::atomic<bool> debugMode{false};
    int appFontSize = 10;
    std::string listFont = "Sans";
    int listFontSize = 10;
    int menuFontSize = 11;
    bool clipboardBusy = false;
    bool showReverseConnect = true;
    int savedX = 64;
    int savedY = 64;
    int savedW = 800;
    int savedH = 600;
    int activeConnectionCount = 0;
    std::string f12MacroClipboard;
    std::string sshCommand = "ssh";
    Fl_Pack* quickInfoPack = nullptr;
    Fl_Box* quickInfoName = nullptr;
    Fl_Box* quickInfoLastConnectedLabel = nullptr;
    Fl_Box* quickInfoLastConnected = nullptr;
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

    // The thread that runs main(); message boxes take the toolkit lock only on other threads.
    pthread_t mainThread;
};

extern AppState* app;

// Login name from USER, LOGNAME, USERNAME (the first set and non-empty); "" when none is.
std::string tnLoginNameFromEnvironment();
// Configuration directory, with a trailing slash: $HOME/.tandrel/ when HOME is set,
// non-empty and absolute, else /home/<login>/.tandrel/.
std::string tnConfigDirFromEnvironment(const std::string& loginName);

// Start-up steps 1-15 (everything main() does before it enters the message loop).
void tnStartUp(int argc, char** argv);

// Shut-down steps 1-5 (flag, end connections, log, geometry, write the file).
void tnPrepareShutDown();
void tnHandleMainWindowEvents(Fl_Widget*, void*);
void tnRestoreWindowSizePosition(void*);
// Modal message box, callable from any thread.
void tnMessageWindow(const std::string& message, const std::string& title);
void tnCloseChildWindow(Fl_Widget*, void* window);

// True on the thread that runs main().
bool tnIsMainThread();
