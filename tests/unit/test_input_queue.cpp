// The queue of input for a connection's reader: coalescing and its bound.
#include <gtest/gtest.h>

#include "connection/input_queue.h"

namespace {

using Kind = TNInputEvent::Kind;
using namespace std::chrono_literals;

// A time on the queue's clock, in milliseconds from an arbitrary start.
TNInputQueue::Clock::time_point at(int ms)
{
    return TNInputQueue::Clock::time_point{} + 1h + std::chrono::milliseconds(ms);
}

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
         "P50,100/0 | "},
        {"a press and a release between motions are kept, in order; the motion before the press is "
         "superseded by it",
         [](TNInputQueue& q) {
             q.pointer(1, 1, 0);
             q.pointer(2, 2, 0);
             q.pointer(2, 2, 1);
             q.pointer(3, 3, 1);
             q.pointer(4, 4, 1);
             q.pointer(4, 4, 0);
             q.pointer(9, 9, 0);
         },
         "P4,4/1 P9,9/0 | "},
        {"steps of a deliberate path stay, and later motion merges after them and waits its turn",
         [](TNInputQueue& q) {
             q.pointer(7, 7, 0);
             q.pointer(0, 0, 0, false);
             q.pointer(100, 100, 0, false);
             q.pointer(0, 0, 0, false);
             q.pointer(5, 5, 0);
             q.pointer(6, 6, 0);
         },
         "P0,0/0 P100,100/0 P0,0/0 | P6,6/0 "},
        {"keys are never merged",
         [](TNInputQueue& q) {
             q.key(65, true);
             q.key(65, false);
             q.key(65, true);
             q.key(65, false);
         },
         "K+65 K-65 K+65 K-65 | "},
        {"motion across a key stays on its side of it",
         [](TNInputQueue& q) {
             q.pointer(1, 1, 0);
             q.key(13, true);
             q.pointer(2, 2, 0);
             q.pointer(3, 3, 0);
         },
         "P1,1/0 K+13 | P3,3/0 "},
        {"only the newest cut text",
         [](TNInputQueue& q) {
             q.cutText("one");
             q.key(1, true);
             q.cutText("two");
         },
         "K+1 C:two | "},
        {"a full update covers incremental ones",
         [](TNInputQueue& q) {
             q.incrementalUpdate();
             q.incrementalUpdate();
             q.fullUpdate();
             q.incrementalUpdate();
             q.fullUpdate();
         },
         "Full | "},
        {"show and hide: the last one counts",
         [](TNInputQueue& q) {
             q.show();
             q.hide();
             q.show();
         },
         "Show | "},
    };
    for (const auto& c : cases) {
        TNInputQueue queue;
        c.fill(queue);
        // What goes at once, then what goes once motion's turn has come.
        const std::string now = describe(queue.take(at(0)));
        EXPECT_EQ(now + "| " + describe(queue.take(at(100))), c.queued) << c.name;
        EXPECT_TRUE(queue.empty()) << c.name;
    }
}

// The reader takes what is due at each of its wake-ups: motion goes out at most once per
// interval with its newest position; button changes, steps and keys never wait, and
// nothing changes places with a key.
TEST(InputQueue, ThrottlesMotionButNeverButtonsOrKeys)
{
    // Each step: what the window queues, then what the reader takes at `ms`.
    struct Step {
        int ms;
        std::function<void(TNInputQueue&)> fill;
        const char* taken;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"the first motion goes at once, the next waits its turn with the newest position",
         {{0, [](TNInputQueue& q) { q.pointer(1, 1, 0); }, "P1,1/0 "},
          {3, [](TNInputQueue& q) { q.pointer(2, 2, 0); }, ""},
          {6, [](TNInputQueue& q) { q.pointer(3, 3, 0); }, ""},
          {9, [](TNInputQueue&) {}, ""},
          {10, [](TNInputQueue&) {}, "P3,3/0 "},
          {12, [](TNInputQueue&) {}, ""}}},
        {"motion after a quiet spell goes at once",
         {{0, [](TNInputQueue& q) { q.pointer(1, 1, 0); }, "P1,1/0 "},
          {50, [](TNInputQueue& q) { q.pointer(2, 2, 0); }, "P2,2/0 "}}},
        {"a press goes at once with its own position and supersedes the waiting motion",
         {{0, [](TNInputQueue& q) { q.pointer(1, 1, 0); }, "P1,1/0 "},
          {2, [](TNInputQueue& q) { q.pointer(5, 5, 0); }, ""},
          {4, [](TNInputQueue& q) { q.pointer(6, 6, 1); }, "P6,6/1 "},
          {6, [](TNInputQueue& q) { q.pointer(7, 7, 1); }, ""},
          {8, [](TNInputQueue& q) { q.pointer(8, 8, 0); }, "P8,8/0 "},
          {30, [](TNInputQueue&) {}, ""}}},
        {"a drag: motion with the button held is throttled, the release is not",
         {{0, [](TNInputQueue& q) { q.pointer(0, 0, 1); }, "P0,0/1 "},
          {1,
           [](TNInputQueue& q) {
               q.pointer(1, 0, 1);
               q.pointer(2, 0, 1);
           },
           ""},
          {10, [](TNInputQueue& q) { q.pointer(3, 0, 1); }, "P3,0/1 "},
          {15, [](TNInputQueue& q) { q.pointer(4, 0, 1); }, ""},
          {16, [](TNInputQueue& q) { q.pointer(4, 0, 0); }, "P4,0/0 "}}},
        {"a key sends the waiting motion first; update requests do not",
         {{0, [](TNInputQueue& q) { q.pointer(1, 1, 0); }, "P1,1/0 "},
          {2,
           [](TNInputQueue& q) {
               q.pointer(2, 2, 0);
               q.incrementalUpdate();
           },
           "Inc "},
          {4,
           [](TNInputQueue& q) {
               q.pointer(3, 3, 0);
               q.key(65, true);
               q.pointer(4, 4, 0);
           },
           "P3,3/0 K+65 "},
          {14, [](TNInputQueue&) {}, "P4,4/0 "}}},
        {"steps of a deliberate path never wait",
         {{0, [](TNInputQueue& q) { q.pointer(1, 1, 0); }, "P1,1/0 "},
          {1,
           [](TNInputQueue& q) {
               q.pointer(0, 0, 0, false);
               q.pointer(9, 9, 0, false);
           },
           "P0,0/0 P9,9/0 "}}},
        {"a wheel click is two button changes, both at once",
         {{0, [](TNInputQueue& q) { q.pointer(1, 1, 0); }, "P1,1/0 "},
          {1,
           [](TNInputQueue& q) {
               q.pointer(1, 1, 8);
               q.pointer(1, 1, 0);
           },
           "P1,1/8 P1,1/0 "}}},
    };
    for (const auto& c : cases) {
        TNInputQueue queue;
        for (const Step& step : c.steps) {
            step.fill(queue);
            EXPECT_EQ(describe(queue.take(at(step.ms))), step.taken) << c.name << " at " << step.ms << " ms";
            if (!queue.empty()) {
                EXPECT_GT(queue.motionDue(), at(step.ms)) << c.name << " at " << step.ms << " ms";
            }
        }
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
    const std::deque<TNInputEvent> events = queue.take(at(0));
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(describe({events.end() - 3, events.end()}), "K-7 P5,5/4 C:kept ");
}

} // namespace
