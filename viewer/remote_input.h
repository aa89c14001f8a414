// Input the program sends to a host on its own: the keys and the screen refresh of the
// remote-actions window, and the pointer nudge of a scan step.
#pragma once

#include "viewer/remote_keys.h"

class VncObject;

// Performs `action` on the server of `vnc`: its key events, or for the refresh a full,
// non-incremental update request for the whole screen. Nothing without a client.
void tnSendRemoteAction(TNRemoteAction action, VncObject* vnc);

// Moves the remote pointer of `vnc` along tnPointerNudge (a scan shows the host).
void tnNudgeRemotePointer(VncObject* vnc);

// Opens the remote-actions window; the viewer calls it when F8 is released. The window
// is one of the dialogs, so start-up installs the opener.
extern void (*tnRemoteActionsOpener)();
