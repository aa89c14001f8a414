// The connection object: starting an attempt, the handshake worker, ending and releasing
// connections, listening lines and the program's main loop.
#include "connection/vnc_object.h"

#include <FL/Fl.H>
#include <FL/Fl_RGB_Image.H>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "config/host_item.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/server_trust.h"
#include "connection/ssh_connection.h"
#include "connection/ssh_tunnel.h"
#include "core/display_text.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/modal.h"
#include "core/options.h"
#include "core/tcp_table.h"

int tnConnectTimeoutSeconds = 30;
TNEngineState engine;

namespace {

// The program name handed to the library (it keeps the pointer, so it must outlive the client).
char tnProgramName[] = "TandrelFLTK";

// Objects whose worker was started and that have not been ended or released since.
std::unordered_set<const VncObject*>& tnCountedObjects()
{
    static std::unordered_set<const VncObject*> counted;
    return counted;
}

// Objects detached from their host whose worker has not ended yet.
std::vector<VncObject*>& tnRetiredObjects()
{
    static std::vector<VncObject*> retired;
    return retired;
}

void tnSetIcon(HostItem* itm, TNHostIcon icon)
{
    tnFrontEnd().hostIconChanged(itm, icon);
}

// ---- SSH tunnels (connection/ssh_tunnel.cpp) ------------------------------------------
// Prepares the tunnel of a type-'s' host's attempt; false when the attempt must not go on.
bool tnStartSSHTunnel(HostItem* itm)
{
    return tnPrepareSSHTunnel(itm, itm->vnc);
}

void tnStopSSHTunnel(HostItem* itm)
{
    tnCloseSSHConnection(itm, itm->vnc);
}
// -------------------------------------------------------------------------------------

void tnNothingToDo(void*) {}

// Once: a wait nested in the shut-down's own work must not be woken over and over.
void tnWakeToShutDown(void*)
{
    if (engine.isShuttingDown) {
        Fl::remove_check(tnWakeToShutDown);
        Fl::awake();
    }
}

// The worker's outcome when no handshake could be tried.
void tnWorkerAborted(HostItem* itm)
{
    itm->isConnected = false;
    itm->hasAborted = true;
    itm->hasCouldntConnect = true;
    itm->isConnecting = false;
}

// A failed handshake (or listen) with the system's error number `error`; `seconds` is how
// long the handshake took, or negative when none was tried.
void tnWorkerHandshakeFailed(VncObject* vnc, int error, double seconds = -1)
{
    HostItem* itm = vnc->itm;
    char text[256] = {0};
    const char* message = strerror_r(error, text, sizeof(text));
    if (seconds < 0)
        VncObject::parseErrorMessages(vnc, message);
    else
        VncObject::reportHandshakeFailure(vnc, message, seconds);
    itm->isConnected = false;
    itm->hasCouldntConnect = true;
    itm->isConnecting = false;
}

void tnWorkerSucceeded(HostItem* itm)
{
    itm->isWaitingToShow = true;
    itm->isClientInitialized = true;
    itm->isConnected = true;
    itm->isConnecting = false;
}

// Runs the library's handshake and records its outcome. A failed handshake has already
// released the client.
void tnHandshake(VncObject* vnc, int argc, char** argv)
{
    TNLibraryMessageScope messages(vnc);
    const auto start = std::chrono::steady_clock::now();
    vnc->handshakeDeadline.start(vnc->handshakeHost.connectTimeout);
    const bool initialised = rfbInitClient(vnc->vncClient, &argc, argv);
    const int error = errno;
    if (vnc->handshakeDeadline.finish() && !initialised)
        vnc->refusal = "Timed out connecting to VNC server";
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    tnFreeRefusedEmptyPassword();
    if (!initialised) {
        vnc->isClientFreedByLibrary = true;
        tnAskAgainAfterRefusal(vnc);
    }
    if (initialised && tnAcceptHandshakeSecurity(vnc))
        tnWorkerSucceeded(vnc->itm);
    else
        tnWorkerHandshakeFailed(vnc, error, seconds);
}

// Waits for a server to connect to port 5500 and runs the handshake on that connection.
// The wait polls a cancel flag every 0.2 seconds, so ending the line stops it.
void tnListenAndHandshake(VncObject* vnc)
{
    HostItem* itm = vnc->itm;
    rfbClient* client = vnc->vncClient;
    int accepted = 0;
    while (!vnc->isListenCancelled && accepted == 0)
        accepted = listenForIncomingConnectionsNoFork(client, 200000);
    if (vnc->isListenCancelled) {
        tnWorkerAborted(itm);
        return;
    }
    if (accepted < 0) {
        // The port could not be opened: no server can ever arrive on this line.
        const int error = errno;
        itm->hasAborted = true;
        tnWorkerHandshakeFailed(vnc, error);
        return;
    }
    char* argv[] = {tnProgramName, nullptr};
    tnHandshake(vnc, 1, argv);
}

} // namespace

std::vector<HostItem*>& tnItemsWithObjects()
{
    static std::vector<HostItem*> items;
    return items;
}

TNHandshakeHost tnHandshakeHostOf(const HostItem& itm)
{
    TNHandshakeHost host;
    host.name = itm.name;
    host.hostAddress = itm.hostAddress;
    host.connectAddress = itm.connectAddress;
    host.vncPort = itm.vncPort;
    host.vncPassword = itm.vncPassword;
    host.vncLoginUser = itm.vncLoginUser;
    host.vncLoginPassword = itm.vncLoginPassword;
    host.hostType = itm.hostType;
    host.isListener = itm.isListener;
    host.connectTimeout = tnConnectTimeoutSeconds;
    host.readTimeout = tnReadTimeoutSeconds;
    host.authorityFile = tnCertificateAuthorityFile;
    return host;
}

std::string tnConnectionLogSuffix(const HostItem* itm)
{
    return "'" + itm->name + "' - " + itm->hostAddress;
}

void tnUncountActiveConnection(VncObject* vnc)
{
    if (tnCountedObjects().erase(vnc) > 0)
        engine.activeConnectionCount--;
}

void tnReleaseVncObject(HostItem* itm)
{
    VncObject* vnc = itm ? itm->vnc : nullptr;
    if (!vnc)
        return;
    if (tnFrontEnd().shownConnection() == vnc)
        tnFrontEnd().hideShownConnection();
    tnUncountActiveConnection(vnc);
    auto& items = tnItemsWithObjects();
    items.erase(std::remove(items.begin(), items.end(), itm), items.end());
    itm->vnc = nullptr;
    vnc->stopReader();
    // A reader ends within moments of being stopped; one that does not (a handshake still
    // running) is freed later, never waited for.
    for (int i = 0; i < 100 && vnc->workerAlive; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (vnc->workerAlive)
        tnRetiredObjects().push_back(vnc);
    else
        delete vnc;
}

void tnReleaseRetiredObjects()
{
    auto& retired = tnRetiredObjects();
    for (auto it = retired.begin(); it != retired.end();) {
        if ((*it)->workerAlive) {
            ++it;
            continue;
        }
        delete *it;
        it = retired.erase(it);
    }
}

bool tnWaitForWorkers(double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        bool alive = false;
        for (const HostItem* itm : tnItemsWithObjects())
            alive = alive || (itm->vnc && itm->vnc->workerAlive);
        for (const VncObject* vnc : tnRetiredObjects())
            alive = alive || vnc->workerAlive;
        if (!alive)
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void tnDeliverResultNow(HostItem* itm)
{
    // The handler takes a result only while one is owed.
    itm->isWorkerRunning = true;
    tnHandleThreadConnection(itm);
}

VncObject::~VncObject()
{
    // Normally closed when the connection ended; closing again does nothing.
    if (sshTunnel)
        sshTunnel->close();
    tnCountedObjects().erase(this);
    if (wakeFd >= 0)
        close(wakeFd);
    delete cursorImage;
    cursorImage = nullptr;
    // After a failed rfbInitClient the library has freed the client itself.
    if (vncClient && !isClientFreedByLibrary) {
        // The library frees the cursor shape and the JPEG decoder; the frame buffer is ours.
        free(vncClient->frameBuffer);
        vncClient->frameBuffer = nullptr;
        rfbClientCleanup(vncClient);
    }
    vncClient = nullptr;
    free(encodingsCopy);
    encodingsCopy = nullptr;
    free(listenAddressCopy);
    listenAddressCopy = nullptr;
}

// The library's own allocation leaves the new frame buffer uninitialised, so until the
// first full update the viewer would show whatever the memory held before, such as the
// picture of another host's ended connection. This one starts black.
//
// A screen that is empty or too large is refused, and the connection ends with the reason.
// The library has already stored the refused size in the client: the size goes back to
// 0x0 with no frame buffer, so nothing can draw from the refused one.
static rfbBool tnMallocFrameBuffer(rfbClient* client)
{
    free(client->frameBuffer);
    client->frameBuffer = nullptr;
    const int bytesPerPixel = client->format.bitsPerPixel / 8;
    std::string refusal = tnScreenSizeRefusal(client->width, client->height, bytesPerPixel);
    if (refusal.empty()) {
        const size_t size = static_cast<size_t>(client->width) * static_cast<size_t>(client->height) *
                            static_cast<size_t>(bytesPerPixel);
        client->frameBuffer = static_cast<uint8_t*>(calloc(1, size));
        if (client->frameBuffer) {
            // The window draws from a picture of the same size (the handshake makes the
            // first one; a reader tells the window of the new size).
            if (VncObject* vnc = tnObjectOfClient(client)) {
                tnReaderNewFrameBuffer(vnc, client->width, client->height);
                if (vnc->readerSocket >= 0)
                    tnPostReaderMessage(vnc, tnResized);
            }
            return TRUE;
        }
        refusal = "Not enough memory for the remote screen: " + std::to_string(client->width) + "x" +
                  std::to_string(client->height);
    }
    client->width = 0;
    client->height = 0;
    if (VncObject* vnc = tnObjectOfClient(client))
        vnc->refusal = refusal;
    rfbClientErr("%s\n", refusal.c_str());
    return FALSE;
}

void VncObject::createVNCObject(HostItem* itm)
{
    // A host whose earlier worker still runs (an ended attempt that has not returned yet)
    // is refused like a connecting one.
    if (!itm || itm->isConnected || itm->isConnecting || itm->isWorkerRunning) {
        tnBeep();
        tnMessageWindow("Error: Could not create VNC connection", "Tandrel - FLTK");
        return;
    }
    if (itm->hostType != 'v' && itm->hostType != 's')
        return;
    // Checked before anything is made, so a refused host keeps its state entirely.
    if (!itm->isListener && itm->hostAddress.empty()) {
        tnBeep();
        tnMessageWindow(tnDisplayText(itm->name) + " - Error: Host address is missing", "Tandrel - FLTK");
        return;
    }

    // Whatever object the last attempt left behind is of no use any more.
    itm->needsCleanup = false;
    tnReleaseVncObject(itm);
    itm->isAbandoned = false;

    VncObject* vnc = new VncObject();
    vnc->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    rfbClient* client = rfbGetClient(8, 3, 4);
    vnc->vncClient = client;
    itm->vnc = vnc;
    tnItemsWithObjects().push_back(itm);
    // The library's log hooks are process-wide; set them only while they differ, so no
    // running handshake ever sees them being written.
    if (rfbClientLog != libVncLogging)
        rfbClientLog = libVncLogging;
    if (rfbClientErr != libVncLogging)
        rfbClientErr = libVncLogging;
    if (!client) {
        tnBeep();
        return;
    }
    client->canHandleNewFBSize = 1;
    client->MallocFrameBuffer = tnMallocFrameBuffer;
    client->appData.forceTrueColour = FALSE;
    client->appData.useRemoteCursor = FALSE;
    client->listenPort = tnListenPort;
    // Without this the library also opens an IPv6 port of its own choosing.
    client->listen6Port = -1;
    client->GetCredential = handleCredential;
    client->VerifyServerCertificate = tnVerifyServerCertificate;
    client->GetPassword = handlePassword;
    client->GotFrameBufferUpdate = handleUpdateRect;
    client->FinishedFrameBufferUpdate = handleFrameBufferUpdate;
    client->GotCursorShape = nullptr;
    client->GotXCutText = handleRemoteClipboardProc;
    // Announces the extended clipboard: UTF-8 text with servers that know it.
    client->GotXCutTextUTF8 = handleRemoteClipboardUtf8;
    client->CutTextTooLarge = handleCutTextTooLarge;
    client->connectTimeout = tnConnectTimeoutSeconds;
    // A server that stops in the middle of a message would otherwise block the reader forever.
    client->readTimeout = tnHandshakeReadTimeoutSeconds;
    client->programName = tnProgramName;
    vnc->itm = itm;

    itm->isConnecting = true;
    itm->isClientInitialized = false;
    itm->isConnected = false;
    itm->isWaitingToShow = false;
    itm->hasCouldntConnect = false;
    itm->hasAborted = false;
    itm->hasDisconnectRequest = false;
    itm->setLastError("");
    tnFrontEnd().lastErrorChanged(itm);

    rfbClientSetClientData(client, tnLibVncTag, vnc);
    client->appData.useRemoteCursor = itm->showRemoteCursor ? TRUE : FALSE;
    if (itm->showRemoteCursor)
        client->GotCursorShape = handleCursorShapeChange;
    client->appData.compressLevel = itm->compressLevel;
    client->appData.qualityLevel = itm->qualityLevel;
    vnc->encodingsCopy = strdup("tight copyrect hextile");
    client->appData.encodingsString = vnc->encodingsCopy;
    if (itm->isListener) {
        // On every IPv4 interface, or only on the loopback addresses (IPv6's where this
        // machine has one).
        const bool localOnly = appOptions.reverseLocalOnly;
        vnc->listenAddressCopy = strdup(localOnly ? "127.0.0.1" : "0.0.0.0");
        client->listenAddress = vnc->listenAddressCopy;
        if (localOnly && tnHasIPv6Loopback()) {
            static char loopback6[] = "::1";
            client->listen6Port = tnListenPort;
            client->listen6Address = loopback6;
        }
    }

    itm->connectAddress = itm->hostAddress + ":" + itm->vncPort;
    engine.pendingConnectionCount++;
    tnLogToFile("Attempting to connect to " + tnConnectionLogSuffix(itm));
    tnSetIcon(itm, TNHostIcon::Connecting);

    if (itm->hostType == 's' && !tnStartSSHTunnel(itm)) {
        tnDeliverResultNow(itm);
        return;
    }

    tnDebugLog("tnCreateVNCObject - Creating and running itm->threadRFB");
    // From here on the worker reads its own copy of the host; the host stays editable.
    vnc->handshakeHost = tnHandshakeHostOf(*itm);
    tnUseTypedPassword(itm, vnc->handshakeHost);
    // The toolkit makes the lock of its awake queue at the queue's first use, unguarded: that
    // first use is here, on the main thread, and not two workers handing in results at once.
    static const bool awakeQueueMade = (Fl::awake(tnNothingToDo, nullptr), true);
    (void)awakeQueueMade;
    itm->isWorkerRunning = true;
    vnc->workerAlive = true;
    if (pthread_create(&itm->threadRFB, nullptr, initVNCConnection, itm) != 0) {
        itm->isWorkerRunning = false;
        vnc->workerAlive = false;
        tnLogToFile("ERROR - Couldn't create RFB thread for " + tnConnectionLogSuffix(itm));
        itm->isConnecting = false;
        itm->hasCouldntConnect = true;
        itm->hasAborted = true;
        tnDeliverResultNow(itm);
        return;
    }
    tnCountedObjects().insert(vnc);
    engine.activeConnectionCount++;
}

void* VncObject::initVNCConnection(void* data)
{
    pthread_detach(pthread_self());
    // The main thread holds the lock until it has finished starting this attempt.
    Fl::lock();
    Fl::unlock();

    auto* itm = static_cast<HostItem*>(data);
    if (!itm)
        return nullptr;
    // The main thread leaves `vnc` and its client alone until this worker's result is handled.
    // Of the host only the result flags (atomics) and its last error (locked) are touched
    // here; everything read of it comes from the copy in the object.
    VncObject* vnc = itm->vnc;
    if (!vnc || !vnc->vncClient) {
        tnWorkerAborted(itm);
    } else if (vnc->handshakeHost.isListener) {
        tnListenAndHandshake(vnc);
    } else if (vnc->handshakeHost.hostType == 's') {
        if (tnCreateSSHConnection(vnc)) {
            // The tunnel's own port, given as such: the library reads a number below 5900
            // in "host:port" as a display number.
            rfbClient* client = vnc->vncClient;
            free(client->serverHost);
            client->serverHost = strdup("127.0.0.1");
            client->serverPort = vnc->sshTunnel->localPort();
            char* argv[] = {tnProgramName, nullptr};
            tnHandshake(vnc, 1, argv);
            // No connection will use the tunnel of a failed handshake.
            if (!itm->isWaitingToShow)
                vnc->sshTunnel->close();
        } else {
            tnWorkerAborted(itm);
        }
    } else if (vnc->handshakeHost.connectAddress.size() > 6) {
        char* address = strdup(vnc->handshakeHost.connectAddress.c_str());
        char* argv[] = {tnProgramName, address, nullptr};
        tnHandshake(vnc, 2, argv);
        free(address);
    } else {
        tnWorkerAborted(itm);
    }
    const bool connected = vnc && itm->isWaitingToShow;
    // A listening line takes the name of the server that reached it.
    if (connected && vnc->handshakeHost.isListener && vnc->vncClient->desktopName)
        vnc->desktopName = tnSanitisedText(vnc->vncClient->desktopName, std::string::npos);
    // The result handler is owed this message: the watcher cannot find a lost one.
    while (Fl::awake(tnHandleThreadConnection, itm) != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // The worker goes on as the connection's reader until the connection ends.
    if (connected && !vnc->stopReading)
        tnRunReader(vnc);
    if (vnc)
        vnc->workerAlive = false;
    return nullptr;
}

void VncObject::endViewer()
{
    HostItem* host = itm;
    if (!host || !host->vnc)
        return;
    // Already ended while its handshake ran; the worker's result releases it.
    if (host->isAbandoned)
        return;
    tnFrontEnd().connectionEnding(this);
    stopReader();

    const bool wasConnected = host->isConnected;
    const bool wasConnecting = host->isConnecting;
    if (wasConnected && !host->hasDisconnectRequest) {
        tnSetIcon(host, TNHostIcon::DisconnectedError);
        tnLogToFile("Unexpectedly disconnected from " + tnConnectionLogSuffix(host));
    } else if ((wasConnected || wasConnecting) && host->hasDisconnectRequest) {
        tnSetIcon(host, TNHostIcon::Disconnected);
        if (engine.isShuttingDown)
            tnLogToFile("Automatically disconnecting.  Program is shutting down " + tnConnectionLogSuffix(host));
        else
            tnLogToFile("Manually disconnected from " + tnConnectionLogSuffix(host));
    }
    tnUncountActiveConnection(this);
    host->isConnected = false;
    host->hasDisconnectRequest = false;
    if (host->hostType == 's' || sshTunnel)
        tnStopSSHTunnel(host);
    if (host->isWorkerRunning) {
        // The handshake (or the wait of a listening line) is still running or its result
        // is still queued: the result handler releases the object instead of showing it.
        host->isAbandoned = true;
        if (host->isListener)
            isListenCancelled = true;
    } else if (vncClient && !isClientFreedByLibrary && !wasConnecting) {
        host->needsCleanup = true;
    }
    host->isConnecting = false;
}

void VncObject::endAllViewers()
{
    for (HostItem* itm : tnFrontEnd().listedHosts()) {
        if (!itm->vnc)
            continue;
        if (itm->isConnected || itm->isConnecting || itm->isWaitingToShow) {
            itm->hasDisconnectRequest = true;
            itm->vnc->endViewer();
        }
    }
}

void VncObject::cleanupVNCObject(HostItem* itm)
{
    if (!itm)
        return;
    // A worker still uses the object; its result handler releases it.
    if (itm->isWorkerRunning)
        return;
    itm->needsCleanup = false;
    tnReleaseVncObject(itm);
}

void VncObject::masterMessageLoop()
{
    // Each connection is read on its own thread; the readers wake this wait with their news
    // (Fl::awake), and timers and the user's events wake it as well: with nothing to do the
    // thread sleeps. Shut-down may be asked for by a timer, which the toolkit runs before it
    // waits: the check that runs right after the timers makes that wait return at once.
    Fl::add_check(tnWakeToShutDown);
    while (!engine.isShuttingDown)
        Fl::wait();
    Fl::remove_check(tnWakeToShutDown);
}

// The viewer's part of the connection, handed to the front end.
void VncObject::setObjectVisible()
{
    tnFrontEnd().showConnection(this);
}

void VncObject::hideMainViewer()
{
    tnFrontEnd().hideShownConnection();
}

bool VncObject::fitsScroller() const
{
    return tnFrontEnd().fitsViewer(this);
}

void VncObject::createVNCListener()
{
    auto* itm = new HostItem();
    itm->name = "Listening";
    itm->scaling = 'f';
    itm->showRemoteCursor = true;
    itm->isListener = true;
    tnFrontEnd().addListeningLine(itm);
    createVNCObject(itm);
}
