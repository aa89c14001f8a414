// What the window's thread hands a connection's reader to send: pointer events, keys, cut
// text, update requests, and whether the connection is shown. Bounded and coalescing, so a
// server that stops reading never makes it grow; pure (the connection locks it, the reader
// hands in the time).
#pragma once

#include <chrono>
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
    std::string text;   // cut text, Latin-1 (UTF-8 when utf8)
    bool utf8 = false;
    // A pointer event that only moves (same buttons as the one before, not a step): it may
    // wait for its turn and be replaced by later motion.
    bool isMotion = false;
};

class TNInputQueue {
public:
    using Clock = std::chrono::steady_clock;
    // Pointer motion goes out at most this often; the newest position is what goes.
    static constexpr std::chrono::milliseconds motionInterval{10};

    // Events kept at most; beyond that new pointer motion and key presses are dropped
    // (releases and the rest are still kept, by dropping the oldest motion or press).
    static constexpr size_t maxEvents = 4096;

    // A pointer position with its button mask: it replaces a queued motion with the same
    // buttons at the end of the queue, so a burst of motion becomes its last position; a
    // change of buttons is always kept. With `merge` false the position is a step of its
    // own that is neither merged nor replaced (a deliberate path, like the scan's nudge).
    // True when the position went into motion already queued (the reader knows of it).
    bool pointer(int x, int y, int buttons, bool merge = true);
    void key(uint32_t keysym, bool down);
    // Only the newest cut text matters: it replaces one still queued.
    void cutText(const std::string& text, bool utf8 = false);
    // A full request covers an incremental one; each is queued at most once.
    void fullUpdate();
    void incrementalUpdate();
    // Shown: the server is asked for updates again (and for a full one); hidden: not.
    void show();
    void hide();

    bool empty() const { return events.empty(); }
    size_t size() const { return events.size(); }
    // What is to be sent at `now`, oldest first. Motion sent less than motionInterval
    // after the previous pointer event waits in the queue (see motionDue); a later pointer
    // event that goes out supersedes it (a button change carries its own, newer position);
    // a key or cut text sends it first, so that nothing changes places with it.
    std::deque<TNInputEvent> take(Clock::time_point now);
    // When the motion left waiting by take() may go; only meaningful while !empty().
    Clock::time_point motionDue() const { return lastPointerSent + motionInterval; }

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
    // When take() last handed out a pointer event.
    bool pointerSent = false;
    Clock::time_point lastPointerSent;
};
