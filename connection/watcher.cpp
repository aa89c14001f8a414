// Connection results on the main thread and the one-second connection watcher.

#include <cstdio>
#include <vector>

#include "config/host_item.h"
#include "config/host_list_model.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/vnc_object.h"
#include "core/log.h"
#include "core/options.h"

namespace {

void tnHandleSuccess(TNConnection& connection, VncObject* vnc)
{
    HostItem* itm = connection.host.get();
    TNFrontEnd& frontEnd = tnFrontEnd();
    tnDebugLog("tnConnectionWatcher - the handshake succeeded, showing the connection");
    {
        std::lock_guard<std::mutex> hold(vnc->pictureLock);
        vnc->remoteWidth = vnc->picture.width;
        vnc->remoteHeight = vnc->picture.height;
    }
    tnSetIcon(connection, TNHostIcon::Connected);
    itm->lastConnectedTime = tnMakeTimeStamp(false);
    frontEnd.hostConnected(itm);
    tnLogToFile("Connected to " + tnConnectionLogSuffix(itm));

    if (tnHostList().isSelected(itm) && !itm->isListener) {
        tnDebugLog("tnConnectionWatcher - Showing viewer because it's selected");
        frontEnd.showConnection(vnc);
    }
    if (!itm->isListener)
        return;
    // A server has just connected to this listening line.
    itm->name = "Listening - " + vnc->desktopName;
    frontEnd.hostNameChanged(itm);
    tnDebugLog("tnConnectionWatcher - Creating Listener object");
    VncObject::createVNCListener();
    // The box runs an event loop of its own: it comes last, once this result is handled.
    if (appOptions.showReverseConnect)
        frontEnd.tell("A remote VNC host has just reverse-connected\n\nClick the 'Listen' item(s) in the host list to view",
                      "Tandrel");
}

void tnHandleFailure(TNConnection& connection, VncObject* vnc)
{
    HostItem* itm = connection.host.get();
    tnDebugLog("tnConnectionWatcher - the attempt failed");
    // The server refused the password and the user typed another: the host tries again.
    if (tnRetryWithTypedPassword(itm, vnc))
        return;
    const std::string& error = connection.lastError;
    if (!error.empty()) {
        tnSetIcon(connection, TNHostIcon::DisconnectedBigError);
        tnFrontEnd().lastErrorChanged(itm);
    } else {
        tnSetIcon(connection, TNHostIcon::NoConnect);
    }
    if (!itm->isListener)
        return;
    if (vnc->outcome == TNAttemptOutcome::NotTried) {
        // The port could not be opened. Starting over would fail the same way at once,
        // so the line stays with its error; the object goes, so Listen works again.
        tnLogToFile("ERROR - Could not listen for reverse VNC connections on port " + std::to_string(tnListenPort) +
                    ": " + error);
        tnReleaseVncObject(connection);
        return;
    }
    const std::string message =
        tnMakeTimeStamp(true) + " - Tandrel-FLTK - Error: Incoming reverse VNC connection failed.  Attempting to recover";
    tnLogToFile(message);
    if (!appOptions.logToFile) {
        fputs((message + "\n").c_str(), stdout);
        fflush(stdout);
    }
    tnFrontEnd().removeLine(itm);
    tnReleaseVncObject(connection);
    VncObject::createVNCListener();
}

} // namespace

bool tnThereAreConnectedItems()
{
    for (const HostItem* itm : tnHostList().hosts()) {
        if (tnIsConnected(itm))
            return true;
    }
    return false;
}

void tnHandleThreadConnection(VncObject* vnc)
{
    // Records are dropped only by the outermost call: a result handled inside another's
    // handling (a listening line that fails at once) leaves the outer one's record alone.
    static int depth = 0;
    struct Depth {
        Depth() { depth++; }
        ~Depth()
        {
            if (--depth == 0)
                tnForgetUnlistedConnections();
        }
    } inHandler;
    // The object stays while its result is owed, so it is valid here; a result that has
    // been handled already finds its host in another state and changes nothing.
    TNConnection* connection = vnc ? tnConnectionOf(vnc->itm) : nullptr;
    if (!connection || connection->vnc != vnc || !tnResultOwed(connection->state))
        return;
    const TNAttemptOutcome outcome = vnc->outcome;
    if (outcome == TNAttemptOutcome::Pending)
        return;
    if (vnc->isClientFreedByLibrary)
        vnc->vncClient = nullptr;
    const std::string error = vnc->takeAttemptError();
    const std::string box = vnc->takeAttemptBox();
    if (!error.empty())
        connection->lastError = error;
    // A result whose line was deleted meanwhile counts as ended during its handshake.
    if (tnHostList().find(connection->host.get()) == TNHostListModel::none)
        connection->state = TNConnectionState::Abandoned;
    TNConnectionEvent event = TNConnectionEvent::HandshakeSucceeded;
    if (outcome != TNAttemptOutcome::Succeeded) {
        // A dropped host tries again unless the failure is one no other try can mend.
        const bool retry = connection->reconnect.attempt > 0 && !vnc->finalRefusal &&
                           tnReconnectsWhenDropped(connection->host.get());
        event = retry ? TNConnectionEvent::RetryFailed : TNConnectionEvent::HandshakeFailed;
    }
    const TNTransition result = tnConnectionTransition(connection->state, event);
    tnSetState(*connection, result.next);
    if (result.effects & tnResultHandled)
        engine.pendingConnectionCount--;
    // A failed attempt never ends through tnEndConnection, which would otherwise stop counting it.
    if (result.effects & tnUncount)
        tnUncountActiveConnection(vnc);
    if (result.effects & tnReleaseAttempt) {
        tnDebugLog("tnConnectionWatcher - the attempt was ended during its handshake, releasing it");
        tnReleaseVncObject(*connection);
    }
    if (result.effects & tnShowConnected)
        tnHandleSuccess(*connection, vnc);
    if (result.effects & tnShowFailure)
        tnHandleFailure(*connection, vnc);
    if (result.effects & tnScheduleRetry)
        tnPlanReconnectAfterFailure(*connection);
    // The box runs an event loop of its own: it comes last, once this result is handled.
    if ((result.effects & tnShowFailure) && !box.empty())
        tnFrontEnd().reportError(box, "Tandrel - FLTK");
}

void tnConnectionWatcher()
{
    // Work whose wake was lost, and the readers' news.
    tnRunPostedWork();
    tnHandleReaderMessages();
    // Dropped hosts: their countdown, and an attempt whose wake was lost.
    tnRunDueReconnects();
    if (engine.pendingConnectionCount > 0) {
        tnDebugLog("tnConnectionWatcher - At least one itm ready for processing");
        for (HostItem* itm : tnHostList().hosts()) {
            VncObject* vnc = tnVncOf(itm);
            if (!vnc)
                continue;
            if (vnc->handshakeDeadline.expireIfDue())
                tnDebugLog("tnConnectionWatcher - Handshake past its deadline, ending it");
            // The type the attempt started with: a saved change applies at the next one.
            if (tnIsConnected(itm) && vnc->handshakeHost.hostType == 's' &&
                !vnc->sshReady) {
                tnDebugLog("tnConnectionWatcher - SSH problem during connection, ending");
                tnConnectionLost(itm, "the SSH tunnel closed");
            }
            if (tnNeedsRelease(itm))
                tnReleaseEndedAttempt(itm);
        }
    }
    // Ended connections whose line has been deleted are released on every pass: no walk
    // of the list would ever find them again.
    std::vector<HostItem*> detached;
    for (const TNConnection* connection : tnConnections()) {
        HostItem* itm = connection->host.get();
        if (tnNeedsRelease(itm) && tnHostList().find(itm) == TNHostListModel::none)
            detached.push_back(itm);
    }
    for (HostItem* itm : detached)
        tnReleaseEndedAttempt(itm);
    tnForgetUnlistedConnections();
}
