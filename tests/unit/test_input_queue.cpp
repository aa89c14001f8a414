// The queue of input for a connection's reader: coalescing and its bound.
#include <gtest/gtest.h>

#include "connection/input_queue.h"

namespace {

using Kind = TNInputEvent::Kind;

std::string describe(const std::deque<TNInputEvent>& events)
{
    std::string text;
    for (const TNInputEvent& e : events) {
        switch (e.kind) {
        case Kind::Pointer:
            text += "P" + std::to_string(e.x) + "," + std::to_string(e.y) + "/" + std::to_string(e.buttons) + " ";
            break;
        case Kind::Key:
            text += std::string(e.down ? "K+" : "K-") + std::to_string(e.keysym) + " ";
            break;
        case Kind::CutText:
            text += "C:" + e.text + " ";
            break;
        case Kind::FullUpdate:
            text += "Full ";
            break;
        case Kind::IncrementalUpdate:
            text += "Inc ";
            break;
        case Kind::Show:
            text += "Show ";
            break;
        case Kind::Hide:
            text += "Hide ";
            break;
        }
    }
    return text;
}

TEST(InputQueue, CoalescesMotionUpdatesAndCutTextButKeepsButtonsAndKeysInOrder)
{
    const struct {
        const char* name;
        std::function<void(TNInputQueue&)> fill;
        const char* queued;
    } cases[] = {
        {"a burst of motion is its last position",
         [](TNInputQueue& q) {
             for (int i = 0; i <= 50; i++)
                 q.pointer(i, 2 * i, 0);
         },
         "P50,100/0 "},
        {"a press and a release between motions are kept, in order",
         [](TNInputQueue& q) {
             q.pointer(1, 1, 0);
             q.pointer(2, 2, 0);
             q.pointer(2, 2, 1);
             q.pointer(3, 3, 1);
             q.pointer(4, 4, 1);
             q.pointer(4, 4, 0);
             q.pointer(9, 9, 0);
         },
         "P2,2/0 P4,4/1 P9,9/0 "},
        {"steps of a deliberate path stay, and later motion merges after them",
         [](TNInputQueue& q) {
             q.pointer(7, 7, 0);
             q.pointer(0, 0, 0, false);
             q.pointer(100, 100, 0, false);
             q.pointer(0, 0, 0, false);
             q.pointer(5, 5, 0);
             q.pointer(6, 6, 0);
         },
         "P7,7/0 P0,0/0 P100,100/0 P0,0/0 P6,6/0 "},
        {"keys are never merged",
         [](TNInputQueue& q) {
             q.key(65, true);
             q.key(65, false);
             q.key(65, true);
             q.key(65, false);
         },
         "K+65 K-65 K+65 K-65 "},
        {"motion across a key stays on its side of it",
         [](TNInputQueue& q) {
             q.pointer(1, 1, 0);
             q.key(13, true);
             q.pointer(2, 2, 0);
             q.pointer(3, 3, 0);
         },
         "P1,1/0 K+13 P3,3/0 "},
        {"only the newest cut text",
         [](TNInputQueue& q) {
             q.cutText("one");
             q.key(1, true);
             q.cutText("two");
         },
         "K+1 C:two "},
        {"a full update covers incremental ones",
         [](TNInputQueue& q) {
             q.incrementalUpdate();
             q.incrementalUpdate();
             q.fullUpdate();
             q.incrementalUpdate();
             q.fullUpdate();
         },
         "Full "},
        {"show and hide: the last one counts",
         [](TNInputQueue& q) {
             q.show();
             q.hide();
             q.show();
         },
         "Show "},
    };
    for (const auto& c : cases) {
        TNInputQueue queue;
        c.fill(queue);
        EXPECT_EQ(describe(queue.take()), c.queued) << c.name;
        EXPECT_TRUE(queue.empty()) << c.name;
    }
}

// A server that stops reading: the queue stays bounded, and what must not be lost (button
// changes, key releases, the newest cut text) is kept at the cost of motion and presses.
TEST(InputQueue, StaysBoundedAndKeepsReleases)
{
    TNInputQueue queue;
    for (int i = 0; i < 3 * static_cast<int>(TNInputQueue::maxEvents); i++) {
        queue.key(100 + i, true);
        queue.pointer(i, i, i % 2);
    }
    EXPECT_LE(queue.size(), TNInputQueue::maxEvents);
    queue.key(7, false);
    queue.pointer(5, 5, 4);
    queue.cutText("kept");
    EXPECT_LE(queue.size(), TNInputQueue::maxEvents);
    const std::deque<TNInputEvent> events = queue.take();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(describe({events.end() - 3, events.end()}), "K-7 P5,5/4 C:kept ");
}

} // namespace
