// What the connection engine reports to the program's front end (the host list, the viewer,
// the quick-info panel), and the little it asks of it. The engine includes no widget: the
// front end installs its implementation at start-up. Every call comes on the window's
// thread (the readers' news reaches it as messages).
#pragma once

#include <memory>
#include <string>
#include <vector>

class HostItem;
class TNUserQuestion;
class VncObject;
struct TNCursorShape;

// The state a host's line shows.
enum class TNHostIcon { Disconnected, DisconnectedError, DisconnectedBigError, Connected, NoConnect, Connecting };

class TNFrontEnd {
public:
    virtual ~TNFrontEnd() = default;

    // --- The host list: its order and its selection live in the front end ---
    // The hosts of the list's lines, top to bottom (separators left out).
    virtual std::vector<HostItem*> listedHosts() = 0;
    // Whether the host has a line in the list, and whether that line is selected.
    virtual bool isListed(const HostItem* itm) = 0;
    virtual bool isSelected(const HostItem* itm) = 0;
    // A new listening line at the end of the list, scrolled into view.
    virtual void addListeningLine(HostItem* itm) = 0;
    // The host's line goes; its record stays (a worker may still hold it).
    virtual void removeLine(HostItem* itm) = 0;
    // The host's icon, or its name, changed: its line is marked for drawing.
    virtual void hostIconChanged(HostItem* itm, TNHostIcon icon) = 0;
    virtual void hostNameChanged(HostItem* itm) = 0;

    // --- Results ---
    // A handshake succeeded (before the engine shows the connection).
    virtual void hostConnected(HostItem* itm) = 0;
    // The host's last error changed (an attempt starts, fails or breaks).
    virtual void lastErrorChanged(HostItem* itm) = 0;

    // --- The viewer ---
    // The connection the viewer shows, or null.
    virtual VncObject* shownConnection() = 0;
    // Makes `vnc` the shown connection (hiding another), lays it out and asks for a full
    // picture; hides the shown one (and forgets it).
    virtual void showConnection(VncObject* vnc) = 0;
    virtual void hideShownConnection() = 0;
    // Whether the shown picture fits the viewer area without scrolling.
    virtual bool fitsViewer(const VncObject* vnc) = 0;
    // The connection is ending: the viewer leaves full screen and lets go of it if shown.
    virtual void connectionEnding(VncObject* vnc) = 0;
    // A frame buffer update of `vnc` is complete; its remote screen changed size.
    virtual void frameUpdated(VncObject* vnc) = 0;
    virtual void desktopResized(VncObject* vnc) = 0;
    // The server sent a new cursor shape.
    virtual void cursorShapeChanged(VncObject* vnc, const TNCursorShape& shape) = 0;
    // The server sent cut text (`length` bytes, UTF-8 when `utf8`, Latin-1 otherwise).
    virtual void cutTextReceived(VncObject* vnc, const char* text, int length, bool utf8) = 0;

    // --- Questions (any thread; the window opens on the window's thread) ---
    // An attempt of `itm` (null for none, as for an SSH host key) waits for the user's
    // answer to `question` (connection/user_question.h): the front end shows it without
    // waiting and answers it when the user has chosen; a question the worker withdraws
    // meanwhile closes unanswered. A front end without windows answers "Cancel".
    virtual void ask(HostItem* itm, std::shared_ptr<TNUserQuestion> question);
};

// The installed front end; until start-up installs one, a front end with no list and no
// viewer that hears nothing.
TNFrontEnd& tnFrontEnd();
void tnSetFrontEnd(TNFrontEnd* frontEnd);
