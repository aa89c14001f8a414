#include "connection/input_queue.h"

#include <algorithm>

void TNInputQueue::removeKind(TNInputEvent::Kind kind)
{
    events.erase(std::remove_if(events.begin(), events.end(), [kind](const TNInputEvent& e) { return e.kind == kind; }),
                 events.end());
}

bool TNInputQueue::hasKind(TNInputEvent::Kind kind) const
{
    return std::any_of(events.begin(), events.end(), [kind](const TNInputEvent& e) { return e.kind == kind; });
}

// Room for one more event: at the limit the oldest motion or key press goes when the new
// event must be kept; otherwise the new event is refused.
bool TNInputQueue::makeRoom(bool mustKeep)
{
    if (events.size() < maxEvents)
        return true;
    if (!mustKeep)
        return false;
    for (auto it = events.begin(); it != events.end(); ++it) {
        if (it->kind == TNInputEvent::Kind::Pointer || (it->kind == TNInputEvent::Kind::Key && it->down)) {
            events.erase(it);
            return true;
        }
    }
    events.pop_front();
    return true;
}

bool TNInputQueue::pointer(int x, int y, int buttons, bool merge)
{
    if (merge && !lastIsStep && !events.empty() && events.back().kind == TNInputEvent::Kind::Pointer &&
        events.back().buttons == buttons) {
        events.back().x = x;
        events.back().y = y;
        return true;
    }
    // A press or release is never dropped; plain motion may be, when the queue is full.
    if (!makeRoom(buttons != lastButtons))
        return false;
    TNInputEvent input;
    input.kind = TNInputEvent::Kind::Pointer;
    input.x = x;
    input.y = y;
    input.buttons = buttons;
    input.isMotion = merge && buttons == lastButtons;
    events.push_back(input);
    lastButtons = buttons;
    lastIsStep = !merge;
    return false;
}

void TNInputQueue::key(uint32_t keysym, bool down)
{
    // A release is kept, so that no key stays held on the host.
    if (!makeRoom(!down))
        return;
    TNInputEvent input;
    input.kind = TNInputEvent::Kind::Key;
    input.keysym = keysym;
    input.down = down;
    events.push_back(input);
}

void TNInputQueue::cutText(const std::string& text, bool utf8)
{
    removeKind(TNInputEvent::Kind::CutText);
    makeRoom(true);
    TNInputEvent input;
    input.kind = TNInputEvent::Kind::CutText;
    input.text = text;
    input.utf8 = utf8;
    events.push_back(std::move(input));
}

void TNInputQueue::fullUpdate()
{
    removeKind(TNInputEvent::Kind::IncrementalUpdate);
    if (hasKind(TNInputEvent::Kind::FullUpdate))
        return;
    makeRoom(true);
    TNInputEvent input;
    input.kind = TNInputEvent::Kind::FullUpdate;
    events.push_back(input);
}

void TNInputQueue::incrementalUpdate()
{
    if (hasKind(TNInputEvent::Kind::FullUpdate) || hasKind(TNInputEvent::Kind::IncrementalUpdate))
        return;
    if (!makeRoom(false))
        return;
    TNInputEvent input;
    input.kind = TNInputEvent::Kind::IncrementalUpdate;
    events.push_back(input);
}

// Only the newest of show and hide counts.
void TNInputQueue::queueVisibility(TNInputEvent::Kind kind)
{
    removeKind(TNInputEvent::Kind::Show);
    removeKind(TNInputEvent::Kind::Hide);
    makeRoom(true);
    TNInputEvent input;
    input.kind = kind;
    events.push_back(input);
}

void TNInputQueue::show()
{
    queueVisibility(TNInputEvent::Kind::Show);
}

void TNInputQueue::hide()
{
    queueVisibility(TNInputEvent::Kind::Hide);
}

std::deque<TNInputEvent> TNInputQueue::take(Clock::time_point now)
{
    std::deque<TNInputEvent> ready;
    TNInputEvent waiting;
    bool isWaiting = false;
    auto sendPointer = [&](const TNInputEvent& event) {
        ready.push_back(event);
        pointerSent = true;
        lastPointerSent = now;
    };
    for (TNInputEvent& event : events) {
        switch (event.kind) {
        case TNInputEvent::Kind::Pointer:
            if (event.isMotion) {
                waiting = event;
                isWaiting = true;
            } else {
                isWaiting = false;
                sendPointer(event);
            }
            break;
        case TNInputEvent::Kind::Key:
        case TNInputEvent::Kind::CutText:
            if (isWaiting) {
                isWaiting = false;
                sendPointer(waiting);
            }
            ready.push_back(std::move(event));
            break;
        default:
            // Update requests and visibility do not depend on where the pointer is.
            ready.push_back(event);
            break;
        }
    }
    events.clear();
    if (isWaiting) {
        if (!pointerSent || now >= motionDue())
            sendPointer(waiting);
        else
            events.push_back(waiting);
    }
    return ready;
}
