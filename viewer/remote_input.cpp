#include "viewer/remote_input.h"

#include "connection/vnc_object.h"

void (*tnRemoteActionsOpener)() = nullptr;

void tnSendRemoteAction(TNRemoteAction action, VncObject* vnc)
{
    if (!vnc)
        return;
    if (action == TNRemoteAction::Refresh) {
        vnc->requestFullUpdate();
        return;
    }
    for (const TNRemoteKey& key : tnRemoteActionKeys(action))
        vnc->sendKey(key.symbol, key.down);
}

void tnNudgeRemotePointer(VncObject* vnc)
{
    if (!vnc)
        return;
    // Each position a step of its own: queued motion would otherwise merge into the last.
    for (const TNPointerPosition& at : tnPointerNudge(vnc->remoteWidth, vnc->remoteHeight))
        vnc->sendPointer(at.x, at.y, 0, false);
}
