// What the program sends to a host of its own accord, as plain sequences: the keys of the
// remote-actions window and the pointer nudge of a scan step; and the one table of the key
// symbols the viewer names.
#pragma once

#include <cstdint>
#include <vector>

// X11 key symbols, as RFB key events carry them: the keys the program sends of its own
// accord and the ones it keeps for itself (F8, F9, F11, F12).
constexpr uint32_t tnKeyControlL = 0xFFE3;
constexpr uint32_t tnKeyShiftL = 0xFFE1;
constexpr uint32_t tnKeyAltL = 0xFFE9;
constexpr uint32_t tnKeyDelete = 0xFFFF;
constexpr uint32_t tnKeyEscape = 0xFF1B;
constexpr uint32_t tnKeyF8 = 0xFFC5;
constexpr uint32_t tnKeyF9 = 0xFFC6;
constexpr uint32_t tnKeyF11 = 0xFFC8;
constexpr uint32_t tnKeyF12 = 0xFFC9;

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

struct TNPointerPosition {
    int x;
    int y;
    bool operator==(const TNPointerPosition& other) const { return x == other.x && y == other.y; }
};

// Where a scan step moves the remote pointer, without buttons, on a remote screen of
// `width` x `height`: to the top-left corner, to (100, 100), and back to the corner; kept
// inside a smaller screen.
std::vector<TNPointerPosition> tnPointerNudge(int width, int height);
