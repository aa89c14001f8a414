// The connection object: starting an attempt, the handshake worker, ending and releasing
// connections, listening lines and the program's main loop.
#include "connection/vnc_object.h"

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
#include "config/host_list_model.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/pixel_rows.h"
#include "connection/server_trust.h"
#include "connection/ssh_connection.h"
#include "connection/ssh_tunnel.h"
#include "core/display_text.h"
#include "core/log.h"
#include "core/log_text.h"
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

// A failed handshake (or listen) with the system's error number `error`; `seconds` is how
// long the handshake took, or negative when none was tried.
void tnWorkerHandshakeFailed(VncObject* vnc, int error, double seconds = -1)
{
    char text[256] = {0};
    const char* message = strerror_r(error, text, sizeof(text));
    if (seconds < 0)
        VncObject::parseErrorMessages(vnc, message);
    else
        VncObject::reportHandshakeFailure(vnc, message, seconds);
    vnc->outcome = TNAttemptOutcome::Failed;
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
        vnc->refusal = tnHandshakeTimeOutText;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    tnFreeRefusedEmptyPassword();
    if (!initialised) {
        vnc->isClientFreedByLibrary = true;
        tnAskAgainAfterRefusal(vnc);
    }
    if (initialised && tnAcceptHandshakeSecurity(vnc))
        vnc->outcome = TNAttemptOutcome::Succeeded;
    else
        tnWorkerHandshakeFailed(vnc, error, seconds);
}

// Waits for a server to connect to port 5500 and runs the handshake on that connection.
// The wait polls a cancel flag every 0.2 seconds, so ending the line stops it.
void tnListenAndHandshake(VncObject* vnc)
{
    rfbClient* client = vnc->vncClient;
    int accepted = 0;
    while (!vnc->isListenCancelled && accepted == 0)
        accepted = listenForIncomingConnectionsNoFork(client, 200000);
    if (vnc->isListenCancelled) {
        vnc->outcome = TNAttemptOutcome::NotTried;
        return;
    }
    if (accepted < 0) {
        // The port could not be opened: no server can ever arrive on this line.
        const int error = errno;
        tnWorkerHandshakeFailed(vnc, error);
        vnc->outcome = TNAttemptOutcome::NotTried;
        return;
    }
    char* argv[] = {tnProgramName, nullptr};
    tnHandshake(vnc, 1, argv);
}

} // namespace

namespace {

// Never destroyed: records may still be looked at while the program exits.
std::vector<TNConnection*>& tnConnectionList()
{
    static std::vector<TNConnection*>& connections = *new std::vector<TNConnection*>();
    return connections;
}

} // namespace

TNConnection* tnConnectionOf(const HostItem* itm)
{
    for (TNConnection* connection : tnConnectionList()) {
        if (connection->host.get() == itm)
            return connection;
    }
    return nullptr;
}

TNConnection& tnConnectionFor(HostItem* itm)
{
    if (TNConnection* connection = tnConnectionOf(itm))
        return *connection;
    auto* connection = new TNConnection();
    connection->host = tnHostList().share(itm);
    if (!connection->host)
        connection->host = std::shared_ptr<HostItem>(std::shared_ptr<HostItem>(), itm);
    tnConnectionList().push_back(connection);
    return *connection;
}

void tnForgetUnlistedConnections()
{
    auto& list = tnConnectionList();
    for (auto it = list.begin(); it != list.end();) {
        TNConnection* connection = *it;
        if (connection->vnc || tnResultOwed(connection->state) ||
            tnHostList().find(connection->host.get()) != TNHostListModel::none) {
            ++it;
            continue;
        }
        delete connection;
        it = list.erase(it);
    }
}

const std::vector<TNConnection*>& tnConnections()
{
    return tnConnectionList();
}

TNConnectionState tnStateOf(const HostItem* itm)
{
    const TNConnection* connection = tnConnectionOf(itm);
    return connection ? connection->state : TNConnectionState::Idle;
}

VncObject* tnVncOf(const HostItem* itm)
{
    const TNConnection* connection = tnConnectionOf(itm);
    return connection ? connection->vnc : nullptr;
}

std::string tnLastErrorOf(const HostItem* itm)
{
    const TNConnection* connection = tnConnectionOf(itm);
    return connection ? connection->lastError : std::string();
}

bool tnNeedsRelease(const HostItem* itm)
{
    const TNConnection* connection = tnConnectionOf(itm);
    return connection && connection->vnc && !tnResultOwed(connection->state) &&
           connection->state != TNConnectionState::Connected;
}

void tnSetIcon(TNConnection& connection, TNHostIcon icon)
{
    connection.icon = icon;
    tnFrontEnd().hostIconChanged(connection.host.get(), icon);
}

TNHandshakeHost tnHandshakeHostOf(const HostItem& itm, const std::string& connectAddress)
{
    TNHandshakeHost host;
    host.name = itm.name;
    host.hostAddress = itm.hostAddress;
    host.connectAddress = connectAddress;
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

void tnReleaseVncObject(TNConnection& connection)
{
    VncObject* vnc = connection.vnc;
    if (!vnc)
        return;
    if (tnFrontEnd().shownConnection() == vnc)
        tnFrontEnd().hideShownConnection();
    tnFrontEnd().connectionReleased(vnc);
    tnUncountActiveConnection(vnc);
    connection.vnc = nullptr;
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
        for (const TNConnection* connection : tnConnections())
            alive = alive || (connection->vnc && connection->vnc->workerAlive);
        for (const VncObject* vnc : tnRetiredObjects())
            alive = alive || vnc->workerAlive;
        if (!alive)
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void tnDeliverResultNow(VncObject* vnc)
{
    vnc->outcome = TNAttemptOutcome::NotTried;
    tnHandleThreadConnection(vnc);
}

VncObject::~VncObject()
{
    // Normally closed when the connection ended; closing again does nothing.
    if (sshTunnel)
        sshTunnel->close();
    tnCountedObjects().erase(this);
    if (wakeFd >= 0)
        close(wakeFd);
    // After a failed rfbInitClient the library has freed the client itself.
    if (vncClient && !isClientFreedByLibrary) {
        // The library frees the cursor shape and the JPEG decoder; the frame buffer is ours.
        free(vncClient->frameBuffer);
        vncClient->frameBuffer = nullptr;
        // The library's clean-up closes a listening line's IPv4 socket but not its IPv6 one
        // (still open when the line ended before a server came).
        if (vncClient->listen6Sock != RFB_INVALID_SOCKET) {
            close(vncClient->listen6Sock);
            vncClient->listen6Sock = RFB_INVALID_SOCKET;
        }
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
    if (!itm)
        return;
    const TNTransition start = tnConnectionTransition(tnStateOf(itm), TNConnectionEvent::Start);
    if (start.effects & tnRefuse) {
        tnFrontEnd().reportError("Error: Could not create VNC connection", "Tandrel - FLTK");
        return;
    }
    if (itm->hostType != 'v' && itm->hostType != 's')
        return;
    // Checked before anything is made, so a refused host keeps its state entirely.
    if (!itm->isListener && itm->hostAddress.empty()) {
        tnFrontEnd().reportError(tnDisplayText(itm->name) + " - Error: Host address is missing", "Tandrel - FLTK");
        return;
    }

    // Whatever object the last attempt left behind is of no use any more.
    TNConnection& connection = tnConnectionFor(itm);
    tnReleaseVncObject(connection);

    VncObject* vnc = new VncObject();
    vnc->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    rfbClient* client = rfbGetClient(8, 3, 4);
    vnc->vncClient = client;
    vnc->itm = itm;
    vnc->hostHold = connection.host;
    connection.vnc = vnc;
    // The library's log hooks are process-wide; set them only while they differ, so no
    // running handshake ever sees them being written.
    if (rfbClientLog != libVncLogging)
        rfbClientLog = libVncLogging;
    if (rfbClientErr != libVncLogging)
        rfbClientErr = libVncLogging;
    if (!client) {
        tnFrontEnd().reportError("Error: Could not create VNC connection", "Tandrel - FLTK");
        return;
    }
    client->canHandleNewFBSize = 1;
    // The pixels come as the display takes them: nothing is reordered on this side.
    const TNPixelLayout& layout = tnPixelLayout();
    client->format.redShift = static_cast<uint8_t>(layout.redShift);
    client->format.greenShift = static_cast<uint8_t>(layout.greenShift);
    client->format.blueShift = static_cast<uint8_t>(layout.blueShift);
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

    tnSetState(connection, start.next);
    connection.lastError.clear();
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

    engine.pendingConnectionCount++;
    tnLogToFile("Attempting to connect to " + tnConnectionLogSuffix(itm));
    tnSetIcon(connection, TNHostIcon::Connecting);

    // From here on the worker reads its own copy of the host; the host stays editable.
    vnc->handshakeHost = tnHandshakeHostOf(*itm, itm->hostAddress + ":" + itm->vncPort);
    tnUseTypedPassword(itm, vnc->handshakeHost);
    if (itm->hostType == 's' && !tnPrepareSSHTunnel(itm, vnc)) {
        tnDeliverResultNow(vnc);
        return;
    }

    tnDebugLog("tnCreateVNCObject - Creating and running the handshake worker");
    vnc->workerAlive = true;
    pthread_t worker;
    if (pthread_create(&worker, nullptr, initVNCConnection, vnc) != 0) {
        vnc->workerAlive = false;
        tnLogToFile("ERROR - Couldn't create RFB thread for " + tnConnectionLogSuffix(itm));
        tnDeliverResultNow(vnc);
        return;
    }
    tnCountedObjects().insert(vnc);
    engine.activeConnectionCount++;
}

void* VncObject::initVNCConnection(void* data)
{
    pthread_detach(pthread_self());

    // The main thread leaves the object and its client alone until this worker's result is
    // handled; nothing of the host is touched here, only the copy in the object.
    auto* vnc = static_cast<VncObject*>(data);
    if (!vnc->vncClient) {
        vnc->outcome = TNAttemptOutcome::NotTried;
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
            if (vnc->outcome != TNAttemptOutcome::Succeeded)
                vnc->sshTunnel->close();
        } else {
            vnc->outcome = TNAttemptOutcome::NotTried;
        }
    } else if (vnc->handshakeHost.connectAddress.size() > 6) {
        char* address = strdup(vnc->handshakeHost.connectAddress.c_str());
        char* argv[] = {tnProgramName, address, nullptr};
        tnHandshake(vnc, 2, argv);
        free(address);
    } else {
        vnc->outcome = TNAttemptOutcome::NotTried;
    }
    const bool connected = vnc->outcome == TNAttemptOutcome::Succeeded;
    // A listening line takes the name of the server that reached it.
    if (connected && vnc->handshakeHost.isListener && vnc->vncClient->desktopName)
        vnc->desktopName = tnSanitisedText(vnc->vncClient->desktopName, std::string::npos);
    // The result handler is owed this message (post never drops one).
    tnFrontEnd().post([vnc] { tnHandleThreadConnection(vnc); });
    // The worker goes on as the connection's reader until the connection ends.
    if (connected && !vnc->stopReading)
        tnRunReader(vnc);
    vnc->workerAlive = false;
    return nullptr;
}

namespace {

// The icon and the log line of an ended connection.
void tnShowEnd(TNConnection& connection, unsigned effects)
{
    const HostItem* itm = connection.host.get();
    if (effects & tnIconDisconnectedError) {
        tnSetIcon(connection, TNHostIcon::DisconnectedError);
        tnLogToFile("Unexpectedly disconnected from " + tnConnectionLogSuffix(itm));
    } else if (effects & tnIconDisconnected) {
        tnSetIcon(connection, TNHostIcon::Disconnected);
        if (engine.isShuttingDown)
            tnLogToFile("Automatically disconnecting.  Program is shutting down " + tnConnectionLogSuffix(itm));
        else
            tnLogToFile("Manually disconnected from " + tnConnectionLogSuffix(itm));
    }
}

} // namespace

void tnSetState(TNConnection& connection, TNConnectionState state)
{
    connection.state = state;
    // Only a dropped host's attempts count on from the drop.
    if (state != TNConnectionState::Connecting && state != TNConnectionState::Reconnecting)
        connection.reconnect = TNReconnect();
}

void tnEndConnection(HostItem* itm, TNConnectionEvent event)
{
    TNConnection* connection = tnConnectionOf(itm);
    if (!connection)
        return;
    const TNTransition end = tnConnectionTransition(connection->state, event);
    // A dropped host waiting for its next attempt: nothing runs, it only stops waiting.
    if (end.effects & tnCancelRetry) {
        tnSetState(*connection, end.next);
        tnShowEnd(*connection, end.effects);
        tnFrontEnd().lastErrorChanged(itm);
        return;
    }
    // Nothing runs (or it was ended already while its handshake ran).
    if (!connection->vnc || !(end.effects & tnStopWorker))
        return;
    VncObject* vnc = connection->vnc;
    tnFrontEnd().connectionEnding(vnc);
    vnc->stopReader();
    tnShowEnd(*connection, end.effects);
    tnUncountActiveConnection(vnc);
    // A dropped host's next attempt is planned by tnConnectionLost, which knows why it dropped.
    tnSetState(*connection, end.next);
    if (itm->hostType == 's' || vnc->sshTunnel)
        tnCloseSSHConnection(vnc);
    // The handshake (or the wait of a listening line) is still running or its result is
    // still queued: the result handler releases the object instead of showing it.
    if (end.next == TNConnectionState::Abandoned && itm->isListener)
        vnc->isListenCancelled = true;
}

void tnEndAllConnections()
{
    for (HostItem* itm : tnHostList().hosts())
        tnDisconnect(itm);
    // Tunnels that no listed connection ends (a failed attempt's, a deleted line's).
    tnCloseAllSSHTunnels(2.0);
}

void tnReleaseEndedAttempt(HostItem* itm)
{
    // A worker still uses the object; its result handler releases it.
    if (TNConnection* connection = tnConnectionOf(itm); connection && !tnResultOwed(connection->state))
        tnReleaseVncObject(*connection);
}

void VncObject::createVNCListener()
{
    auto itm = std::make_shared<HostItem>();
    itm->name = "Listening";
    itm->scaling = 'f';
    itm->showRemoteCursor = true;
    itm->isListener = true;
    tnFrontEnd().addListeningLine(itm);
    createVNCObject(itm.get());
}
