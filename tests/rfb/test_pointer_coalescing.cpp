// Pointer motion on its way to a real server: a burst of motion arrives as fewer events
// ending at the last position, and every press and release arrives, in order.
#include <chrono>
#include <thread>

#include "viewer_fixture.h"

namespace {

using namespace std::chrono_literals;

class PointerCoalescing : public ViewerTest {
protected:
    int sent = 0;

    void send(int event, int x, int y, int button, bool held)
    {
        tnTestSetMouseState(x, y, button, 0, held);
        Fl::handle(event, app->viewerWindow);
        sent++;
        // A person's mouse reports every millisecond or so: the reader could keep up with
        // each event if it did not hold motion back.
        std::this_thread::sleep_for(1ms);
    }
};

TEST_F(PointerCoalescing, BurstOfMotionArrivesThinnedWithEveryButtonInOrder)
{
    TNTestServer* server = startServerOfSize(640, 480);
    showHost(server, 's');
    // Events go to the viewer's own window, in its coordinates.
    const int originX = app->scroller->x(), originY = app->scroller->y();
    server->clearRecords();

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 150; i++)
        send(FL_MOVE, originX + 10 + i, originY + 20, 1, false);
    // A drag with the left button, then a click of the right one, then motion again.
    send(FL_PUSH, originX + 200, originY + 50, 1, true);
    for (int i = 0; i < 100; i++)
        send(FL_DRAG, originX + 200 + i, originY + 50 + i, 1, true);
    send(FL_RELEASE, originX + 300, originY + 150, 1, false);
    send(FL_PUSH, originX + 300, originY + 150, 3, true);
    send(FL_RELEASE, originX + 300, originY + 150, 3, false);
    for (int i = 0; i < 50; i++)
        send(FL_MOVE, originX + 300 + i, originY + 150 - i, 1, false);

    // The last position arrives (the reader sends held motion once its turn comes).
    ASSERT_TRUE(waitFor([server] {
        const std::vector<TNPointerEvent> events = server->pointerEvents();
        return !events.empty() && events.back().x == 349 && events.back().y == 101 && events.back().mask == 0;
    }));
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    const std::vector<TNPointerEvent> events = server->pointerEvents();
    std::vector<int> buttonStates;
    int motions = 0;
    for (size_t i = 0; i < events.size(); i++) {
        if (buttonStates.empty() || buttonStates.back() != events[i].mask)
            buttonStates.push_back(events[i].mask);
        else
            motions++;
    }
    // Left down, up, right down, up: each once, in order.
    EXPECT_EQ(buttonStates, (std::vector<int>{0, 1, 0, 4, 0}));
    // Motion goes at most once per 10 ms (plus the first one), however fast it comes.
    EXPECT_LE(motions, elapsedMs / 10 + 1) << events.size() << " events in " << elapsedMs << " ms";
    // ... so fewer arrive than were sent (as long as the burst is one: quicker than 10 ms
    // an event on average).
    EXPECT_LT(static_cast<int>(events.size()), sent) << "in " << elapsedMs << " ms";
}

} // namespace
