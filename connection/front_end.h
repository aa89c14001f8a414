// What the connection engine reports to the program's front end (the host list, the viewer,
// the quick-info panel), and the little it asks of it. The engine includes no widget and
// runs no event loop: the front end installs its implementation at start-up. Every call
// comes on the window's thread, except post() and ask(): the workers and
// readers hand their news to the window's thread through post().
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class HostItem;
class TNUserQuestion;
class VncObject;
struct TNCursorShape;

// The state a host's line shows.
enum class TNHostIcon {
    Disconnected,
    DisconnectedError,
    DisconnectedBigError,
    Connected,
    NoConnect,
    Connecting,
    Reconnecting
};

class TNFrontEnd {
public:
    virtual ~TNFrontEnd() = default;

    // --- The window's thread ---
    // Any thread: `work` runs on the window's thread, in the order posted, and is never
    // dropped (see tnRunPostedWork).
    void post(std::function<void()> work);
    // A message box, with a beep before it for an error; it runs an event loop of its own,
    // so the engine asks for it last, once its own state is consistent.
    virtual void reportError(const std::string& text, const std::string& title) = 0;
    virtual void tell(const std::string& text, const std::string& title) = 0;

    // --- The host list's lines (its hosts, order and selection: config/host_list_model.h) ---
    // A new listening line at the end of the list, scrolled into view.
    virtual void addListeningLine(std::shared_ptr<HostItem> itm) = 0;
    // The host's line goes; its record stays while a connection holds it.
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
    // The connection is ending: the viewer leaves full screen and lets go of it if shown.
    virtual void connectionEnding(VncObject* vnc) = 0;
    // The attempt's object is about to be freed: nothing may be kept of it.
    virtual void connectionReleased(const VncObject* vnc) = 0;
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

    // Any thread (post() calls it): work was posted while none was waiting; the window's
    // thread should call tnRunPostedWork soon. A wake that is lost costs only time: the
    // window's thread also runs the posted work once a second (tnConnectionWatcher).
    virtual void wake() {}

    // A dropped host's next attempt is due in `seconds`: the window's thread should call
    // tnRunDueReconnects then (the watcher also does, once a second).
    virtual void reconnectDueIn(double seconds) {}
};

// Runs the work posted so far (window's thread).
void tnRunPostedWork();

// The installed front end; until start-up installs one, a front end with no list and no
// viewer that hears nothing.
TNFrontEnd& tnFrontEnd();
void tnSetFrontEnd(TNFrontEnd* frontEnd);
