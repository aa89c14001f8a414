// Connection results on the main thread, the one-second connection watcher and the
// refresh of the host list's icons.
#include <FL/Fl.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Pixmap.H>

#include <cstdio>
#include <vector>

#include "config/host_item.h"
#include "connection/engine_internal.h"
#include "connection/vnc_object.h"
#include "core/app.h"
#include "core/log.h"
#include "gui/host_list.h"
#include "gui/quick_info.h"

namespace {

// Gives every line its host's icon and marks the list for drawing; the drawing itself
// happens when the toolkit next waits, so no other callback runs in here.
void tnRefreshListIcons()
{
    Fl_Hold_Browser* list = app->hostList;
    if (!list)
        return;
    const int size = list->size();
    for (int line = 1; line <= size; line++) {
        const HostItem* itm = tnItemFromLine(line);
        if (itm && itm->icon)
            list->icon(line, itm->icon);
    }
    list->redraw();
}

bool tnIsSelectedLine(uint16_t line)
{
    return app->hostList && app->hostList->value() == line;
}

// A result whose connection was ended meanwhile, or whose line was deleted: nothing is
// shown, the object goes at once.
void tnReleaseUnwantedResult(HostItem* itm)
{
    tnDebugLog("tnConnectionWatcher - itm was ended during its handshake, releasing it");
    app->pendingConnectionCount--;
    itm->isAbandoned = false;
    itm->isWaitingToShow = false;
    itm->isConnected = false;
    itm->isConnecting = false;
    itm->needsCleanup = false;
    tnReleaseVncObject(itm);
}

void tnHandleSuccess(HostItem* itm, VncObject* vnc, uint16_t line)
{
    tnDebugLog("tnConnectionWatcher - itm changing from 'isWaitingToShow' to 'isConnected'");
    itm->isWaitingToShow = false;
    app->pendingConnectionCount--;
    itm->icon = app->iconConnected;
    tnRefreshListIcons();
    itm->lastConnectedTime = tnMakeTimeStamp(false);
    if (tnIsSelectedLine(line))
        tnQuickInfoSetLabelAndText(itm);
    tnLogToFile("Connected to " + tnConnectionLogSuffix(itm));

    if (tnIsSelectedLine(line) && !itm->isListener) {
        tnDebugLog("tnConnectionWatcher - Showing viewer because it's selected");
        vnc->setObjectVisible();
    }
    if (!itm->isListener)
        return;
    // A server has just connected to this listening line.
    const char* desktop = vnc->vncClient ? vnc->vncClient->desktopName : nullptr;
    itm->name = std::string("Listening - ") + (desktop ? desktop : "");
    app->hostList->text(line, tnHostLineText(itm).c_str());
    tnDebugLog("tnConnectionWatcher - Creating Listener object");
    VncObject::createVNCListener();
    // The box runs an event loop of its own: it comes last, once this result is handled.
    if (app->showReverseConnect)
        tnMessageWindow("A remote VNC host has just reverse-connected\n\nClick the 'Listen' item(s) in the host list to view",
                        "Tandrel");
}

void tnHandleFailure(HostItem* itm, VncObject* vnc)
{
    tnDebugLog("tnConnectionWatcher - itm changing from 'hasCouldntConnect' to 'isConnected = false'");
    itm->isConnected = false;
    app->pendingConnectionCount--;
    // A failed attempt never gets to endViewer, which would otherwise stop counting it.
    tnUncountActiveConnection(vnc);
    const std::string error = itm->lastError();
    if (!error.empty()) {
        itm->icon = app->iconDisconnectedBigError;
        tnShowLastErrorIfSelected(itm);
    } else {
        itm->icon = app->iconNoConnect;
    }
    tnRefreshListIcons();

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
        if (!app->logToFile) {
            fputs((message + "\n").c_str(), stdout);
            fflush(stdout);
        }
        const uint16_t line = tnItemNumFromItm(itm);
        if (line > 0)
            tnRemoveHostLine(line);
        itm->needsCleanup = false;
        tnReleaseVncObject(itm);
        VncObject::createVNCListener();
        return;
    }
    itm->needsCleanup = true;
}

} // namespace

void tnShowLastErrorIfSelected(const HostItem* itm)
{
    if (itm && app->quickInfoLastError && tnIsSelectedLine(tnItemNumFromItm(itm)))
        app->quickInfoLastError->value(itm->lastError().c_str());
}

void tnHandleListItemIconChange(void*)
{
    tnRefreshListIcons();
}

bool tnThereAreConnectedItems()
{
    if (!app->hostList)
        return false;
    const int size = app->hostList->size();
    for (uint16_t line = 1; line != 0 && line <= size; line++) {
        const HostItem* itm = tnItemFromLine(line);
        if (itm && itm->isConnected)
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

    const uint16_t line = tnItemNumFromItm(itm);
    if (!vnc || itm->isAbandoned || line == 0) {
        tnReleaseUnwantedResult(itm);
        return;
    }
    if (succeeded)
        tnHandleSuccess(itm, vnc, line);
    else
        tnHandleFailure(itm, vnc);
}

void tnConnectionWatcher(void*)
{
    if (app->pendingConnectionCount > 0 && app->hostList) {
        tnDebugLog("tnConnectionWatcher - At least one itm ready for processing");
        const int size = app->hostList->size();
        for (uint16_t line = 0; line <= size; line++) {
            HostItem* itm = tnItemFromLine(line);
            if (itm && itm->vnc) {
                if (itm->isConnected && itm->hostType == 's' && !itm->sshReady) {
                    // pendingConnectionCount stays: this attempt's result has been counted
                    // off already (or, still queued, will be when the handler drops it), so
                    // taking one off here would leave other attempts uncounted.
                    tnDebugLog("tnConnectionWatcher - SSH problem during connection, ending");
                    itm->vnc->endViewer();
                }
                if (itm->needsCleanup)
                    VncObject::cleanupVNCObject(itm);
            }
            if (line == UINT16_MAX)
                break;
        }
    }
    // Ended connections whose line has been deleted are released on every pass: no walk
    // of the list would ever find them again.
    std::vector<HostItem*> detached;
    for (HostItem* itm : tnItemsWithObjects()) {
        if (itm->needsCleanup && tnItemNumFromItm(itm) == 0)
            detached.push_back(itm);
    }
    for (HostItem* itm : detached)
        VncObject::cleanupVNCObject(itm);
    Fl::repeat_timeout(1.0, tnConnectionWatcher);
}
