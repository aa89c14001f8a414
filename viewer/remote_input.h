// Input the program sends to a host on its own: the keys and the screen refresh of the
// remote-actions window, and the pointer nudge of a scan step.
#pragma once

#include <cstdint>
#include <vector>

class VncObject;

// What a button of the remote-actions window does to the shown host.
enum class TNRemoteAction { CtrlAltDel, CtrlShiftEsc, Refresh, F8, F11, F12 };

struct TNRemoteKey {
    uint32_t symbol;
    bool down;
    bool operator==(const TNRemoteKey& other) const { return symbol == other.symbol && down == other.down; }
};

// The key events of an action in the order they go out; none for the refresh. A
// combination's keys come up in the order they went down. F12 is the key itself, never
// a host's F12 macro.
std::vector<TNRemoteKey> tnRemoteActionKeys(TNRemoteAction action);

// Performs `action` on the server of `vnc`: its key events, or for the refresh a full,
// non-incremental update request for the whole screen. Nothing without a client.
void tnSendRemoteAction(TNRemoteAction action, const VncObject* vnc);

struct TNPointerPosition {
    int x;
    int y;
    bool operator==(const TNPointerPosition& other) const { return x == other.x && y == other.y; }
};

// Where a scan step moves the remote pointer, without buttons, on a remote screen of
// `width` x `height`: to the top-left corner, to (100, 100), and back to the corner; kept
// inside a smaller screen.
std::vector<TNPointerPosition> tnPointerNudge(int width, int height);

// Moves the remote pointer of `vnc` along tnPointerNudge (a scan shows the host).
void tnNudgeRemotePointer(const VncObject* vnc);

// Opens the remote-actions window; the viewer calls it when F8 is released. The window
// is one of the dialogs, so start-up installs the opener.
extern void (*tnRemoteActionsOpener)();
