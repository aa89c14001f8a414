// What the window's thread hands a connection's reader to send: pointer events, keys, cut
// text, update requests, and whether the connection is shown. Bounded and coalescing, so a
// server that stops reading never makes it grow; pure (the connection locks it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

struct TNInputEvent {
    enum class Kind { Pointer, Key, CutText, FullUpdate, IncrementalUpdate, Show, Hide };
    Kind kind = Kind::Pointer;
    int x = 0;
    int y = 0;
    int buttons = 0;
    uint32_t keysym = 0;
    bool down = false;
    std::string text;   // cut text, Latin-1
};

class TNInputQueue {
public:
    // Events kept at most; beyond that new pointer motion and key presses are dropped
    // (releases and the rest are still kept, by dropping the oldest motion or press).
    static constexpr size_t maxEvents = 4096;

    // A pointer position with its button mask: it replaces a queued motion with the same
    // buttons at the end of the queue, so a burst of motion becomes its last position; a
    // change of buttons is always kept. With `merge` false the position is a step of its
    // own that is neither merged nor replaced (a deliberate path, like the scan's nudge).
    void pointer(int x, int y, int buttons, bool merge = true);
    void key(uint32_t keysym, bool down);
    // Only the newest cut text matters: it replaces one still queued.
    void cutText(const std::string& latin1);
    // A full request covers an incremental one; each is queued at most once.
    void fullUpdate();
    void incrementalUpdate();
    // Shown: the server is asked for updates again (and for a full one); hidden: not.
    void show();
    void hide();

    bool empty() const { return events.empty(); }
    size_t size() const { return events.size(); }
    // Everything queued, oldest first; the queue is empty afterwards.
    std::deque<TNInputEvent> take();

private:
    bool makeRoom(bool mustKeep);
    void queueVisibility(TNInputEvent::Kind kind);
    void removeKind(TNInputEvent::Kind kind);
    bool hasKind(TNInputEvent::Kind kind) const;
    std::deque<TNInputEvent> events;
    // The button mask of the newest pointer event queued (or already taken).
    int lastButtons = 0;
    // The newest pointer event queued is a step that later motion must not replace.
    bool lastIsStep = false;
};
