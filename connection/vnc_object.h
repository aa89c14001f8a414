// One connection of one host: the library client, its handshake worker, the main loop.
#pragma once

#include <rfb/rfbclient.h>
// rfbClient's layout depends on the library's configuration: only the headers of the
// program's own libvncclient build (third_party/libvncclient) match the library it links.
#ifndef TN_LIBVNCCLIENT_OWN_BUILD
#error "rfb/rfbclient.h is not the one of the program's own libvncclient build"
#endif

#include <atomic>
#include <string>

class HostItem;
class Fl_RGB_Image;

// Seconds a read from a server may stall in the middle of a message before the
// connection is given up (the library's default would wait forever). Read on the main
// thread as each attempt starts; tests shorten it.
inline int tnReadTimeoutSeconds = 5;
// Port that listening lines accept reverse connections on.
constexpr int tnListenPort = 5500;

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

    ~VncObject();

    static void createVNCObject(HostItem* itm);
    static void createVNCListener();
    static void* initVNCConnection(void* itm);
    void endViewer();
    static void endAllViewers();
    static void cleanupVNCObject(HostItem* itm);
    static void masterMessageLoop();
    static void checkVNCMessages(VncObject* vnc);

    // Viewer side (the viewer module implements these).
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
    static void parseErrorMessages(HostItem* itm, const char* error);
};

// The text shown for a failed handshake (pure; parseErrorMessages uses it).
std::string tnErrorTextForHandshake(const std::string& error, char hostType, bool sshReady);

void tnHandleThreadCursorChange(void* restoreDefault);

// The main loop's wait wakes when the shown connection's socket becomes readable:
// setObjectVisible registers the socket of the connection it shows, hideMainViewer
// removes it again.
void tnWatchShownSocket(VncObject* vnc);
void tnUnwatchShownSocket(VncObject* vnc);

// Connection results and the one-second watcher.
void tnConnectionWatcher(void*);
void tnHandleThreadConnection(void* item);
void tnHandleListItemIconChange(void*);
bool tnThereAreConnectedItems();
