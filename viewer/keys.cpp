// Key translation for the shown connection, the keys the program keeps (F8, F9, F11, F12)
// and the F12 macro.
#include <FL/Fl.H>
#include <FL/fl_utf8.h>
#include <FL/x.H>

#include <cstdint>
#include <map>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "viewer/remote_input.h"
#include "viewer/remote_keys.h"
#include "viewer/vnc_viewer.h"

namespace {

// A key release sends the symbol its press sent, by the X key code of the event. X11 gives key
// releases stale event text (the text of a later press, a paste, or Ctrl+c's 0x03 after
// Ctrl is up), so a release sends what its press sent instead of deriving it again. The
// key code, not the toolkit's key symbol, pairs them: tools that type by binding a
// character to a spare key code (xdotool, auto-type) undo the binding before the release
// is read, and the release then has another symbol or none.
// Identifies the physical key of the current key event: its X key code, or (for events
// not read from X) the toolkit's key symbol above the range of key codes.
unsigned keyIdentity(int keyCode)
{
    if (fl_xevent && (fl_xevent->type == KeyPress || fl_xevent->type == KeyRelease))
        return fl_xevent->xkey.keycode;
    return 0x100u + static_cast<unsigned>(keyCode);
}

// Keys whose symbol goes out unchanged: the X symbols from 0xFE00 on are keypad, function,
// cursor, editing, modifier and dead keys. Every other key produces a character.
bool keepsItsSymbol(int keyCode)
{
    return keyCode >= 0xFE00 && keyCode <= 0xFFFF;
}

// Symbol of the character a printable key produced, from the event text. ASCII and
// Latin-1 characters are their own key symbols; other characters use the X11 Unicode
// symbols (0x01000000 + code point). No usable text (dead keys, control characters):
// the key code itself.
uint32_t symbolFromText(const char* text, int length, int keyCode)
{
    if (!text || length <= 0 || !text[0])
        return static_cast<uint32_t>(keyCode);
    int used = 0;
    const unsigned codePoint = fl_utf8decode(text, text + length, &used);
    if (codePoint < 0x20 || codePoint == 0x7F)
        return static_cast<uint32_t>(keyCode);
    if (codePoint <= 0xFF)
        return codePoint;
    return 0x01000000u | codePoint;
}

void sendStroke(VncObject* vnc, uint32_t symbol)
{
    vnc->sendKey(symbol, true);
    vnc->sendKey(symbol, false);
}

} // namespace

void VncViewer::sendCorrectedKeyEvent(const char* text, int length, HostItem* itm, rfbClient* client, bool down)
{
    VncObject* target = tnObjectOfClient(client);
    if (!itm || !target)
        return;
    const int key = Fl::event_key();

    if (static_cast<uint32_t>(key) == tnKeyF8) {
        // Never sent: its release opens the remote-actions window.
        if (!down && tnRemoteActionsOpener)
            tnRemoteActionsOpener();
        return;
    }
    if (static_cast<uint32_t>(key) == tnKeyF9) {
        // Never sent: its release opens the overview of all hosts.
        if (!down && onToggleOverview)
            onToggleOverview();
        return;
    }
    if (static_cast<uint32_t>(key) == tnKeyF11) {
        if (!down && (isFullScreen || vnc) && onToggleFullScreen)
            onToggleFullScreen();
        return;
    }
    if (static_cast<uint32_t>(key) == tnKeyF12) {
        if (!down && vnc) {
            // The whole stroke or macro goes out when the local key comes up.
            if (!itm->f12Macro.empty())
                tnSendKeyStrokesToHost(itm->f12Macro, vnc);
            else
                sendStroke(vnc, tnKeyF12);
        }
        return;
    }

    if (down) {
        uint32_t symbol = static_cast<uint32_t>(key);
        // Character keys report the unshifted key of the first layout; the text carries
        // Shift, Caps Lock and the layout in use. With Ctrl the text is a control
        // character, so the key code goes out.
        if (!keepsItsSymbol(key) && !Fl::event_state(FL_CTRL))
            symbol = symbolFromText(text, length, key);
        if (symbol == 0)
            return;
        heldKeys[keyIdentity(key)] = TNHeldKey{target, symbol};
        target->sendKey(symbol, true);
        return;
    }
    // A release whose press the host never saw (pressed elsewhere, or already released
    // when the focus left) sends nothing.
    auto held = heldKeys.find(keyIdentity(key));
    if (held == heldKeys.end())
        return;
    const TNHeldKey pressed = held->second;
    heldKeys.erase(held);
    if (pressed.vnc == target)
        target->sendKey(pressed.symbol, false);
}

void tnReleaseHeldKeys(VncViewer& viewer)
{
    // Only the shown connection's client is known to be alive here.
    VncObject* shown = viewer.vnc;
    for (const auto& entry : viewer.heldKeys) {
        if (shown && entry.second.vnc == shown)
            shown->sendKey(entry.second.symbol, false);
    }
    viewer.heldKeys.clear();
}

void tnSendKeyStrokesToHost(const std::string& keys, VncObject* vnc)
{
    if (!vnc || !vnc->vncClient)
        return;
    for (const char byte : keys) {
        if (byte == '\0')
            break;
        if (byte == '\n')
            continue;
        // Every byte is its own key symbol: no Shift for capitals, raw control values.
        sendStroke(vnc, static_cast<unsigned char>(byte));
    }
}
