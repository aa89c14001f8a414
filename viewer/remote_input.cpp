#include "viewer/remote_input.h"

#include "connection/vnc_object.h"

void (*tnRemoteActionsOpener)() = nullptr;

void tnSendRemoteAction(TNRemoteAction action, const VncObject* vnc)
{
    rfbClient* client = vnc ? vnc->vncClient : nullptr;
    if (!client)
        return;
    if (action == TNRemoteAction::Refresh) {
        SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height, FALSE);
        return;
    }
    for (const TNRemoteKey& key : tnRemoteActionKeys(action))
        SendKeyEvent(client, key.symbol, key.down ? TRUE : FALSE);
}

void tnNudgeRemotePointer(const VncObject* vnc)
{
    rfbClient* client = vnc ? vnc->vncClient : nullptr;
    if (!client)
        return;
    // Back to back: letting the toolkit run events in between could end the connection
    // (and free its client) halfway.
    for (const TNPointerPosition& at : tnPointerNudge(client->width, client->height))
        SendPointerEvent(client, at.x, at.y, 0);
}
