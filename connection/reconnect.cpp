// Hosts that come back by themselves: a connection the server or the network ended is
// tried again after a back-off (connection/reconnect_schedule.h) while the option is on.

#include <vector>

#include "config/host_item.h"
#include "config/host_list_model.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/vnc_object.h"
#include "core/log.h"
#include "core/options.h"

namespace {

// The Reconnecting icon, the panel's countdown and the wake for the attempt.
void tnAwaitReconnect(TNConnection& connection)
{
    tnPlanNextReconnect(connection.reconnect, TNClock::now());
    tnSetIcon(connection, TNHostIcon::Reconnecting);
    tnFrontEnd().lastErrorChanged(connection.host.get());
    tnFrontEnd().reconnectDueIn(tnReconnectDelaySeconds(connection.reconnect.attempt));
}

} // namespace

bool tnReconnectsWhenDropped(const HostItem* itm)
{
    return itm && appOptions.reconnectDropped && !itm->isListener && !engine.isShuttingDown &&
           tnHostList().find(itm) != TNHostListModel::none;
}

void tnConnectionLost(HostItem* itm, const std::string& reason)
{
    const bool reconnects = tnIsConnected(itm) && tnReconnectsWhenDropped(itm);
    tnEndConnection(itm, reconnects ? TNConnectionEvent::Dropped : TNConnectionEvent::Broken);
    TNConnection* connection = tnConnectionOf(itm);
    if (connection && connection->state == TNConnectionState::Reconnecting)
        tnPlanReconnectAfterDrop(*connection, reason.empty() ? "the server closed the connection" : reason);
}

void tnPlanReconnectAfterDrop(TNConnection& connection, const std::string& reason)
{
    connection.reconnect = TNReconnect();
    connection.reconnect.reason = reason;
    tnLogToFile(tnConnectionLogSuffix(connection.host.get()) + " - connection lost: " + reason + "; reconnecting");
    tnAwaitReconnect(connection);
}

void tnPlanReconnectAfterFailure(TNConnection& connection)
{
    const std::string& error = connection.lastError.empty() ? std::string("no answer") : connection.lastError;
    tnLogToFile(tnConnectionLogSuffix(connection.host.get()) + " - reconnect attempt " +
                std::to_string(connection.reconnect.attempt) + " failed: " + error);
    tnAwaitReconnect(connection);
}

void tnRunDueReconnects()
{
    if (engine.isShuttingDown)
        return;
    const TNClock::time_point now = TNClock::now();
    std::vector<HostItem*> due;
    for (const TNConnection* connection : tnConnections()) {
        if (connection->state != TNConnectionState::Reconnecting)
            continue;
        if (tnReconnectSecondsLeft(connection->reconnect, now) == 0)
            due.push_back(connection->host.get());
        else
            tnFrontEnd().lastErrorChanged(connection->host.get());
    }
    for (HostItem* itm : due) {
        VncObject::createVNCObject(itm);
        // An attempt that could not even start waits its turn again rather than every second.
        TNConnection& connection = tnConnectionFor(itm);
        if (connection.state == TNConnectionState::Reconnecting)
            tnPlanReconnectAfterFailure(connection);
    }
}

bool tnReconnectPending(const HostItem* itm)
{
    const TNConnection* connection = tnConnectionOf(itm);
    return connection && connection->reconnect.attempt > 0 &&
           (connection->state == TNConnectionState::Reconnecting || connection->state == TNConnectionState::Connecting);
}

std::string tnStatusTextOf(const HostItem* itm)
{
    const TNConnection* connection = tnConnectionOf(itm);
    if (!connection)
        return std::string();
    if (connection->state == TNConnectionState::Reconnecting)
        return tnReconnectText(connection->reconnect, TNClock::now());
    if (tnReconnectPending(itm))
        return "Reconnecting (attempt " + std::to_string(connection->reconnect.attempt) + ")\n" +
               connection->reconnect.reason;
    return connection->lastError;
}
