// Connection results on the main thread and the one-second connection watcher.
#include <FL/Fl.H>

#include <cstdio>
#include <vector>

#include "config/host_item.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/vnc_object.h"
#include "core/log.h"
#include "core/modal.h"
#include "core/options.h"

namespace {

// A result whose connection was ended meanwhile, or whose line was deleted: nothing is
// shown, the object goes at once.
void tnReleaseUnwantedResult(HostItem* itm)
{
    tnDebugLog("tnConnectionWatcher - itm was ended during its handshake, releasing it");
    engine.pendingConnectionCount--;
    itm->isAbandoned = false;
    itm->isWaitingToShow = false;
    itm->isConnected = false;
    itm->isConnecting = false;
    itm->needsCleanup = false;
    tnReleaseVncObject(itm);
}

void tnHandleSuccess(HostItem* itm, VncObject* vnc)
{
    TNFrontEnd& frontEnd = tnFrontEnd();
    tnDebugLog("tnConnectionWatcher - itm changing from 'isWaitingToShow' to 'isConnected'");
    itm->isWaitingToShow = false;
    engine.pendingConnectionCount--;
    {
        std::lock_guard<std::mutex> hold(vnc->pictureLock);
        vnc->remoteWidth = vnc->picture.width;
        vnc->remoteHeight = vnc->picture.height;
    }
    frontEnd.hostIconChanged(itm, TNHostIcon::Connected);
    itm->lastConnectedTime = tnMakeTimeStamp(false);
    frontEnd.hostConnected(itm);
    tnLogToFile("Connected to " + tnConnectionLogSuffix(itm));

    if (frontEnd.isSelected(itm) && !itm->isListener) {
        tnDebugLog("tnConnectionWatcher - Showing viewer because it's selected");
        vnc->setObjectVisible();
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
        tnMessageWindow("A remote VNC host has just reverse-connected\n\nClick the 'Listen' item(s) in the host list to view",
                        "Tandrel");
}

void tnHandleFailure(HostItem* itm, VncObject* vnc)
{
    tnDebugLog("tnConnectionWatcher - itm changing from 'hasCouldntConnect' to 'isConnected = false'");
    itm->isConnected = false;
    engine.pendingConnectionCount--;
    // A failed attempt never gets to endViewer, which would otherwise stop counting it.
    tnUncountActiveConnection(vnc);
    // The server refused the password and the user typed another: the host tries again.
    if (tnRetryWithTypedPassword(itm, vnc))
        return;
    const std::string error = itm->lastError();
    if (!error.empty()) {
        tnFrontEnd().hostIconChanged(itm, TNHostIcon::DisconnectedBigError);
        tnFrontEnd().lastErrorChanged(itm);
    } else {
        tnFrontEnd().hostIconChanged(itm, TNHostIcon::NoConnect);
    }

    if (itm->isListener) {
        if (itm->hasAborted) {
            // The port could not be opened. Starting over would fail the same way at once,
            // so the line stays with its error; the object goes, so Listen works again.
            tnLogToFile("ERROR - Could not listen for reverse VNC connections on port " +
                        std::to_string(tnListenPort) + ": " + error);
            itm->needsCleanup = false;
            tnReleaseVncObject(itm);
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
        itm->needsCleanup = false;
        tnReleaseVncObject(itm);
        VncObject::createVNCListener();
        return;
    }
    itm->needsCleanup = true;
}

} // namespace

bool tnThereAreConnectedItems()
{
    for (const HostItem* itm : tnFrontEnd().listedHosts()) {
        if (itm->isConnected)
            return true;
    }
    return false;
}

void tnHandleThreadConnection(void* data)
{
    auto* itm = static_cast<HostItem*>(data);
    if (!itm)
        return;
    const bool succeeded = itm->isWaitingToShow;
    const bool failed = itm->hasCouldntConnect;
    // No outcome yet (the SSH code may call in while a tunnel closes), or one that has been
    // handled already: nothing to do, and no counter changes twice.
    if (!succeeded && !failed)
        return;
    if (!itm->isWorkerRunning.exchange(false))
        return;
    VncObject* vnc = itm->vnc;
    if (vnc && vnc->isClientFreedByLibrary)
        vnc->vncClient = nullptr;

    if (!vnc || itm->isAbandoned || !tnFrontEnd().isListed(itm)) {
        tnReleaseUnwantedResult(itm);
        return;
    }
    if (succeeded)
        tnHandleSuccess(itm, vnc);
    else
        tnHandleFailure(itm, vnc);
}

void tnConnectionWatcher(void*)
{
    // The readers' news, should a message of theirs not have been queued.
    tnHandleReaderMessages(nullptr);
    if (engine.pendingConnectionCount > 0) {
        tnDebugLog("tnConnectionWatcher - At least one itm ready for processing");
        for (HostItem* itm : tnFrontEnd().listedHosts()) {
            if (itm->vnc) {
                if (itm->vnc->handshakeDeadline.expireIfDue())
                    tnDebugLog("tnConnectionWatcher - Handshake past its deadline, ending it");
                // The type the attempt started with: a saved change applies at the next one.
                if (itm->isConnected && itm->vnc->handshakeHost.hostType == 's' && !itm->sshReady) {
                    // pendingConnectionCount stays: this attempt's result has been counted
                    // off already (or, still queued, will be when the handler drops it), so
                    // taking one off here would leave other attempts uncounted.
                    tnDebugLog("tnConnectionWatcher - SSH problem during connection, ending");
                    itm->vnc->endViewer();
                }
                if (itm->needsCleanup)
                    VncObject::cleanupVNCObject(itm);
            }
        }
    }
    // Ended connections whose line has been deleted are released on every pass: no walk
    // of the list would ever find them again.
    std::vector<HostItem*> detached;
    for (HostItem* itm : tnItemsWithObjects()) {
        if (itm->needsCleanup && !tnFrontEnd().isListed(itm))
            detached.push_back(itm);
    }
    for (HostItem* itm : detached)
        VncObject::cleanupVNCObject(itm);
    Fl::repeat_timeout(1.0, tnConnectionWatcher);
}
