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
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "connection/certificates.h"
#include "connection/connection_state.h"
#include "connection/reconnect_schedule.h"
#include "connection/front_end.h"
#include "connection/scaling.h"
#include "connection/handshake_deadline.h"
#include "connection/input_queue.h"
#include "connection/password_question.h"
#include "connection/picture.h"
#include "core/rect.h"

class HostItem;
class TNSSHTunnel;

// Seconds a server may send nothing in the middle of a message before the connection is
// given up (the library's default would wait forever); data that keeps coming, however
// slowly, and a still screen that sends nothing between messages never end it. Read on
// the main thread as each attempt starts; tests shorten it.
inline int tnReadTimeoutSeconds = 30;
// The same bound during the handshake: a server that accepts and never says a word.
inline int tnHandshakeReadTimeoutSeconds = 5;
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
    std::string vncPort;          // as stored: with name and address it finds the keyring's items
    std::string vncPassword;
    std::string vncLoginUser;
    std::string vncLoginPassword;
    char hostType = 'v';
    bool isListener = false;
    int connectTimeout = 0;       // seconds, as handed to the library
    int readTimeout = 0;          // seconds a message may stall once connected
    std::string authorityFile;    // the certificate authorities (tnCertificateAuthorityFile)
    bool typedPassword = false;   // the passwords are what the user typed: no keyring is read
};

// The copy of `itm` for an attempt that starts now, reaching `connectAddress` (main thread).
TNHandshakeHost tnHandshakeHostOf(const HostItem& itm, const std::string& connectAddress);

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

// A connection's tile in the overview: its remote screen scaled down, kept up to date by the
// reader straight from the frame buffer.
struct TNTilePicture {
    // The size the overview wants (window's thread); 0 x 0: no tile.
    int wantedW = 0;
    int wantedH = 0;
    // The scaled screen (reader), and whether it changed since the window's thread drew it.
    TNScaledPicture scaled;
    bool changed = false;
};

// The parts of the picture changed since the window's thread last took them: at most
// tnMaxPictureDamage rectangles (inside the picture), or their bounding box when more come,
// or the whole picture.
constexpr size_t tnMaxPictureDamage = 64;
struct TNPictureDamage {
    std::vector<TNRect> rects;
    bool everything = false;

    void add(const TNRect& r)
    {
        if (!everything)
            tnAddDamage(rects, r, tnMaxPictureDamage);
    }
    void clear()
    {
        rects.clear();
        everything = false;
    }
};

// A cursor shape as the server sent it: 4 bytes a pixel, the fourth the shape's mask (0 or 255).
struct TNCursorShape {
    int xhot = 0;
    int yhot = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// What a reader tells the window's thread (bits of VncObject::pendingMessages).
enum TNReaderMessage : unsigned {
    tnUpdated = 1,       // the picture changed
    tnResized = 2,       // the remote screen has a new size
    tnCursorChanged = 4, // receivedCursor holds a new shape
    tnCutText = 8,       // receivedCutText holds the server's clipboard
    tnEnded = 16,        // the connection broke; endReason says why
};

// Cut text goes each way up to this many bytes (the library's limit).
constexpr size_t tnCutTextLimit = rfbCutTextLimit;

// How a handshake worker's attempt came out: written by the worker before it hands its
// result to the main thread, which alone turns it into a change of the host's state.
enum class TNAttemptOutcome { Pending, Succeeded, Failed, NotTried };

// One attempt of one host: the library client, its worker and what the worker owns. The
// host's state lives in its TNConnection; the attempt is released when it has ended.
class VncObject {
public:
    rfbClient* vncClient = nullptr;
    HostItem* itm = nullptr;
    // Keeps the host's record while the object lives, also after its line was deleted.
    std::shared_ptr<HostItem> hostHold;
    std::atomic<TNAttemptOutcome> outcome{TNAttemptOutcome::Pending};
    // The tunnel of a type-'s' attempt listens (written by the worker, cleared when it closes).
    std::atomic<bool> sshReady{false};
    // The cut text last sent to or received from this host (UTF-8 through the extended
    // clipboard, Latin-1 otherwise): the local clipboard goes out again only when it differs.
    std::string lastCutText;
    // The host takes and sends UTF-8 cut text (the extended clipboard); set by the reader.
    std::atomic<bool> utf8CutText{false};

    // Strings handed to the library, which never frees them; released with the object.
    char* encodingsCopy = nullptr;
    char* listenAddressCopy = nullptr;
    // rfbInitClient failed and so already released the client.
    std::atomic<bool> isClientFreedByLibrary{false};
    // Asks a listening worker to stop waiting for a server.
    std::atomic<bool> isListenCancelled{false};
    // What the library said during the handshake, or while handling the last server
    // message (its last 64 lines), and the program's own refusal of the server, if any.
    // Written by the worker (the thread that runs the library for this connection); the
    // window's thread reads them only once the handshake's result has come.
    std::vector<std::string> libraryMessages;
    std::string refusal;
    // The attempt failed in a way another try cannot mend (a refused password or
    // certificate, no security type in common, a screen too large): a dropped host stops
    // reconnecting. Written by the worker before its result, read after it.
    bool finalRefusal = false;
    // The error the worker found for its attempt; the main thread copies it into the host's
    // last error when the result is handled.
    void setAttemptError(const std::string& text)
    {
        std::lock_guard<std::mutex> hold(messageLock);
        attemptError = text;
    }
    std::string takeAttemptError()
    {
        std::lock_guard<std::mutex> hold(messageLock);
        return std::move(attemptError);
    }
    // A message box the worker asks for: the main thread shows it (with a beep) when it
    // handles a failed result that is still wanted.
    void setAttemptBox(const std::string& text)
    {
        std::lock_guard<std::mutex> hold(messageLock);
        attemptBox = text;
    }
    std::string takeAttemptBox()
    {
        std::lock_guard<std::mutex> hold(messageLock);
        return std::move(attemptBox);
    }
    // The host as it was when the attempt started; the worker reads only this of it.
    TNHandshakeHost handshakeHost;
    // The SSH tunnel of a type-'s' host's attempt (connection/ssh_tunnel.h), or null.
    std::shared_ptr<TNSSHTunnel> sshTunnel;
    // Ends a handshake that runs past the connect time-out (the watcher looks at it).
    TNHandshakeDeadline handshakeDeadline;

    // ---- The worker: it runs the handshake and then goes on as the connection's reader
    // until the connection ends. Every library call for the client happens on it. ----
    // Set before the worker starts, cleared as its very last step: until then the object
    // is not freed.
    std::atomic<bool> workerAlive{false};
    // Asks the reader to stop; the socket the reader reads (-1 until it starts).
    std::atomic<bool> stopReading{false};
    std::atomic<int> readerSocket{-1};
    // Input for the reader, and the event descriptor that wakes it.
    std::mutex inputLock;
    TNInputQueue input;
    int wakeFd = -1;
    // The picture the window draws (under pictureLock, held only to copy or draw). A hidden
    // connection keeps only the library's frame buffer: the reader lets the picture's pixels
    // go when it is hidden, and copies the frame buffer into it between two messages when it
    // is shown (then the window's thread hears of an update). The shown connection's pixels
    // live in the image the window puts on the screen, which the window's side lends it.
    std::mutex pictureLock;
    TNPicture picture;
    // What the reader changed in the picture since the window's thread took it (pictureLock).
    TNPictureDamage pictureDamage;
    // The overview's tile (under tileLock, which the window's thread holds only to size or
    // draw it: never while the reader decodes).
    std::mutex tileLock;
    TNTilePicture tile;
    // Messages for the window's thread (TNReaderMessage bits) and what they carry.
    std::atomic<unsigned> pendingMessages{0};
    std::mutex messageLock;
    TNCursorShape receivedCursor;
    std::string receivedCutText;
    bool receivedCutTextUtf8 = false;
    std::string endReason;
    std::string attemptError;
    std::string attemptBox;
    // Rectangles of the update being received (reader only), and the count of updates
    // finished (written by the reader).
    std::vector<TNRect> updateRects;
    std::atomic<unsigned> updatesFinished{0};
    // While the overview is open, the milliseconds between the updates a hidden connection
    // asks for; 0: a hidden connection asks for none (setOverviewRefresh).
    std::atomic<int> overviewPeriodMs{0};
    // The server's desktop name for a listening line, set by the worker before its result
    // goes to the window's thread.
    std::string desktopName;
    // How the server's certificate was accepted (worker only), and the line that says how
    // the connection is protected (set by the worker before its result goes to the window's
    // thread).
    TNCertificateTrust certificateTrust = TNCertificateTrust::NoCertificate;
    std::string securityText;
    // The attempt's password questions (connection/password_question.h).
    TNPasswordAsking passwordAsking;
    // The remote screen's size as the window's thread knows it (from the picture).
    int remoteWidth = 0;
    int remoteHeight = 0;

    // The window's thread hands input to the reader; nothing here waits for the network.
    // `merge` false: this position is not merged into queued motion (TNInputQueue::pointer).
    void sendPointer(int x, int y, int buttons, bool merge = true);
    void sendKey(uint32_t keysym, bool down);
    // Latin-1, or UTF-8 when `utf8` (only while utf8CutText holds).
    void sendCutText(const std::string& text, bool utf8 = false);
    void requestFullUpdate();
    void requestIncrementalUpdate();
    // Shown: the server is asked for a full picture and for updates; hidden: no requests
    // (the connection is still read).
    void showOnReader();
    void hideOnReader();
    // While hidden, the server is asked for the changes of its screen every `periodMs`
    // milliseconds (the first time for a full picture), one request at a time; 0 stops it.
    void setOverviewRefresh(int periodMs);
    // The overview's tile of this connection is `w` x `h` (0 x 0: none, and its pixels go); the
    // reader scales the frame buffer into it between messages and with every update.
    void setTileSize(int w, int h);
    // Asks the reader to stop and wakes it (also out of a read or write that waits).
    void stopReader();

    ~VncObject();

    static void createVNCObject(HostItem* itm);
    static void createVNCListener();
    static void* initVNCConnection(void* vnc);
    // Handles what `vnc`'s reader has told the window's thread.
    static void checkVNCMessages(VncObject* vnc);

    // Library hooks.
    static char* handlePassword(rfbClient* client);
    static rfbCredential* handleCredential(rfbClient* client, int credentialType);
    static void handleUpdateRect(rfbClient* client, int x, int y, int w, int h);
    static void handleFrameBufferUpdate(rfbClient* client);
    static void handleCursorShapeChange(rfbClient* client, int xhot, int yhot, int width, int height,
                                        int bytesPerPixel);
    static void handleRemoteClipboardProc(rfbClient* client, const char* text, int len);
    static void handleRemoteClipboardUtf8(rfbClient* client, const char* text, int len);
    static void handleCutTextTooLarge(rfbClient* client, size_t length);
    static void libVncLogging(const char* format, ...);
    // A failed attempt of `vnc`'s host with the system's `error` text: the log line and the
    // host's last error (worker thread; the host's name and address come from the copy).
    static void parseErrorMessages(VncObject* vnc, const char* error);
    // A failed handshake of `vnc`: the reason its library messages give, or
    // parseErrorMessages with the system's `error` text when they give none (worker thread).
    static void reportHandshakeFailure(VncObject* vnc, const char* error, double seconds);
};

// The texts of a refused password and of a handshake that ran out of time.
inline constexpr const char* tnPasswordRefusedText = "Bad / missing password or Resource temporarily unavailable";
inline constexpr const char* tnHandshakeTimeOutText = "Timed out connecting to VNC server";

// Whether a failed handshake's `reason` (its refusal, or what the library said) is one
// another try cannot mend (pure; the worker sets finalRefusal with it).
bool tnRefusalIsFinal(const std::vector<std::string>& messages, const std::string& refusal,
                      const std::string& reason);

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

// What the engine keeps of one host from its first attempt on (main thread only): the
// connection's state, its current attempt, the icon its line shows and its last error.
struct TNConnection {
    // Held while the record lives: a host deleted from the list is freed once its record
    // and its attempt let go of it.
    std::shared_ptr<HostItem> host;
    TNConnectionState state = TNConnectionState::Idle;
    // The current attempt, or the ended one until it is released (owned).
    VncObject* vnc = nullptr;
    TNHostIcon icon = TNHostIcon::Disconnected;
    std::string lastError;
    // The next attempt of a dropped host (Reconnecting, and Connecting while it tries).
    TNReconnect reconnect;
};

// The host's record, or null before its first attempt.
TNConnection* tnConnectionOf(const HostItem* itm);
// The host's record, made when it has none. A host that is not in the host list is not
// held: its owner keeps it for as long as it has a record.
TNConnection& tnConnectionFor(HostItem* itm);
// Drops the records of hosts that have left the host list and that no attempt needs any
// more, letting go of the hosts (main thread, never while a record is in use up the stack).
void tnForgetUnlistedConnections();
// Every record, oldest first.
const std::vector<TNConnection*>& tnConnections();
// Shorthands: Idle, null and "" for a host without a record.
TNConnectionState tnStateOf(const HostItem* itm);
VncObject* tnVncOf(const HostItem* itm);
std::string tnLastErrorOf(const HostItem* itm);
// The host has an ended or failed attempt that nothing waits for any more.
bool tnNeedsRelease(const HostItem* itm);
inline bool tnIsConnected(const HostItem* itm)
{
    return tnStateOf(itm) == TNConnectionState::Connected;
}

// Ends the host's connection, its handshake or a listening line's wait: asked for by the
// user (Disconnect) or because it broke (Broken). See tnConnectionTransition.
void tnEndConnection(HostItem* itm, TNConnectionEvent event);
inline void tnDisconnect(HostItem* itm)
{
    tnEndConnection(itm, TNConnectionEvent::Disconnect);
}
// Shut-down: every listed host's connection is ended as a manual disconnect, and every tunnel closed.
void tnEndAllConnections();
// Releases an ended or failed attempt of the host (nothing while a worker is owed a result).
void tnReleaseEndedAttempt(HostItem* itm);
// Waits up to `seconds` for every worker to end (shut-down); true when all have.
bool tnWaitForWorkers(double seconds);

// ---- Hosts that reconnect by themselves (reconnect.cpp) ----
// The host's connection ended by itself (`reason`: why, "" when nothing says): it reconnects
// when the option is on and the host may (see tnReconnectsWhenDropped), or ends as broken.
void tnConnectionLost(HostItem* itm, const std::string& reason);
// A dropped host of the list, not a listening line, while the option is on and the program
// is not shutting down.
bool tnReconnectsWhenDropped(const HostItem* itm);
// Starts the attempts that are due and refreshes the others' countdown (main thread).
void tnRunDueReconnects();
// The host waits for its next attempt, or one of its attempts after a drop runs.
bool tnReconnectPending(const HostItem* itm);
// What the quick-info panel says of the host: its countdown while it reconnects, else its
// last error.
std::string tnStatusTextOf(const HostItem* itm);

// Sets the host's last error to `text`, writes the "[Error]" line to the log and shows the
// text in the quick-info panel when the host's line is selected (main thread).
void tnReportConnectionError(HostItem* itm, const std::string& text);

// The connection of a library client, or null.
VncObject* tnObjectOfClient(rfbClient* client);

// Handles what the readers have told the window's thread (posted through the front end;
// the watcher also calls it once a second).
void tnHandleReaderMessages();

// Connection results and the one-second watcher.
// Once a second on the window's thread (the front end's timer).
void tnConnectionWatcher();
void tnHandleThreadConnection(VncObject* vnc);
bool tnThereAreConnectedItems();
