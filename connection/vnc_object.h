// One connection of one host: the library client, its handshake worker, the main loop.
#pragma once

#include <rfb/rfbclient.h>
// rfbClient's layout depends on the library's configuration: only the headers of the
// program's own libvncclient build (third_party/libvncclient) match the library it links.
#ifndef TN_LIBVNCCLIENT_OWN_BUILD
#error "rfb/rfbclient.h is not the one of the program's own libvncclient build"
#endif

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class HostItem;
class Fl_RGB_Image;

// Seconds a read from a server may stall in the middle of a message before the
// connection is given up (the library's default would wait forever). Read on the main
// thread as each attempt starts; tests shorten it.
inline int tnReadTimeoutSeconds = 5;
// Port that listening lines accept reverse connections on.
constexpr int tnListenPort = 5500;
// Seconds a connect may go without an answer before the attempt is given up (tests
// shorten it).
extern int tnConnectTimeoutSeconds;
// The largest remote screen accepted: at most this many pixels wide and high, and at
// most tnMaxFrameBufferBytes of frame buffer.
constexpr int tnMaxScreenSide = 16384;
constexpr uint64_t tnMaxFrameBufferBytes = uint64_t(1) << 30;

// What a handshake worker and the library's hooks on its thread read of the host: copied
// on the main thread when the attempt starts, so that the host can be edited meanwhile.
struct TNHandshakeHost {
    std::string name;
    std::string hostAddress;
    std::string connectAddress;   // address ":" port, handed to the library
    std::string vncPassword;
    std::string vncLoginUser;
    std::string vncLoginPassword;
    char hostType = 'v';
    bool isListener = false;
    int connectTimeout = 0;       // seconds, as handed to the library
};

// The copy of `itm` for an attempt that starts now (main thread).
TNHandshakeHost tnHandshakeHostOf(const HostItem& itm);

// The engine's counters and its shut-down switch (main thread).
struct TNEngineState {
    // Attempts whose result has not been handled yet: the watcher looks while any are.
    int pendingConnectionCount = 0;
    // Handshake workers started, and connections not ended since.
    int activeConnectionCount = 0;
    // The program is ending: the main loop stops, the log says why connections end.
    bool isShuttingDown = false;
};
extern TNEngineState engine;

// The key under which each library client keeps its VncObject.
inline char tnLibVncTag[] = "VncObject";

class VncObject {
public:
    rfbClient* vncClient = nullptr;
    HostItem* itm = nullptr;
    bool isVisible = false;
    Fl_RGB_Image* cursorImage = nullptr;
    int cursorHotX = 0;
    int cursorHotY = 0;
    int scrollX = 0;
    int scrollY = 0;
    // The cut text (Latin-1) last sent to or received from this host: the local clipboard
    // goes out again only when it differs.
    std::string lastCutText;

    // Strings handed to the library, which never frees them; released with the object.
    char* encodingsCopy = nullptr;
    char* listenAddressCopy = nullptr;
    // rfbInitClient failed and so already released the client.
    std::atomic<bool> isClientFreedByLibrary{false};
    // Asks a listening worker to stop waiting for a server.
    std::atomic<bool> isListenCancelled{false};
    // The socket registered with the toolkit while this connection is shown, or -1.
    int watchedSocket = -1;
    // What the library said during the handshake, or while handling the last server
    // message (its last 64 lines), and the program's own refusal of the server, if any.
    // Written by the thread that runs the library for this connection.
    std::vector<std::string> libraryMessages;
    std::string refusal;
    // The host as it was when the attempt started; the worker reads only this of it.
    TNHandshakeHost handshakeHost;

    ~VncObject();

    static void createVNCObject(HostItem* itm);
    static void createVNCListener();
    static void* initVNCConnection(void* itm);
    void endViewer();
    static void endAllViewers();
    static void cleanupVNCObject(HostItem* itm);
    static void masterMessageLoop();
    static void checkVNCMessages(VncObject* vnc);

    // The viewer's side, handed to the front end: show this connection, hide the shown
    // one, does this picture fit the viewer area.
    void setObjectVisible();
    static void hideMainViewer();
    bool fitsScroller() const;

    // Library hooks.
    static char* handlePassword(rfbClient* client);
    static rfbCredential* handleCredential(rfbClient* client, int credentialType);
    static void handleFrameBufferUpdate(rfbClient* client);
    static void handleCursorShapeChange(rfbClient* client, int xhot, int yhot, int width, int height,
                                        int bytesPerPixel);
    static void handleRemoteClipboardProc(rfbClient* client, const char* text, int len);
    static void libVncLogging(const char* format, ...);
    // A failed attempt of `vnc`'s host with the system's `error` text: the log line and the
    // host's last error (worker thread; the host's name and address come from the copy).
    static void parseErrorMessages(VncObject* vnc, const char* error);
    // A failed handshake of `vnc`: the reason its library messages give, or
    // parseErrorMessages with the system's `error` text when they give none (worker thread).
    static void reportHandshakeFailure(VncObject* vnc, const char* error, double seconds);
};

// The text shown for a failed handshake (pure; parseErrorMessages uses it).
std::string tnErrorTextForHandshake(const std::string& error, char hostType, bool sshReady);

// Why a handshake failed, from what the library said during it: the text for the host's
// last error, or "" when the messages tell nothing and the system's error text decides.
// `seconds` is how long the handshake took; `listening` for a reverse connection.
std::string tnHandshakeFailureText(const std::vector<std::string>& messages, const std::string& refusal,
                                   double seconds, int connectTimeout, bool listening);

// The program's refusal of a remote screen of `width` x `height` pixels of `bytesPerPixel`
// bytes, or "" when it is accepted.
std::string tnScreenSizeRefusal(int width, int height, int bytesPerPixel);

// Library messages of the calling thread go to `vnc` (null: to no connection) while the
// scope lives; the connection's earlier messages are dropped.
class TNLibraryMessageScope {
public:
    explicit TNLibraryMessageScope(VncObject* vnc);
    ~TNLibraryMessageScope();
    TNLibraryMessageScope(const TNLibraryMessageScope&) = delete;
    TNLibraryMessageScope& operator=(const TNLibraryMessageScope&) = delete;

private:
    VncObject* previous;
};

// Sets the host's last error to `text`, writes the "[Error]" line to the log and shows the
// text in the quick-info panel when the host's line is selected (main thread).
void tnReportConnectionError(HostItem* itm, const std::string& text);

// The connection of a library client, or null.
VncObject* tnObjectOfClient(rfbClient* client);

// The main loop's wait wakes when the shown connection's socket becomes readable:
// setObjectVisible registers the socket of the connection it shows, hideMainViewer
// removes it again.
void tnWatchShownSocket(VncObject* vnc);
void tnUnwatchShownSocket(VncObject* vnc);

// Connection results and the one-second watcher.
void tnConnectionWatcher(void*);
void tnHandleThreadConnection(void* item);
bool tnThereAreConnectedItems();
