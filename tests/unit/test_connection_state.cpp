// The lifecycle of a host's connection: every event in every state.
#include <gtest/gtest.h>

#include "connection/connection_state.h"
#include "connection/reconnect_schedule.h"

namespace {

using S = TNConnectionState;
using E = TNConnectionEvent;

TEST(ConnectionState, EveryEventInEveryState)
{
    struct Row {
        S state;
        E event;
        S next;
        unsigned effects;
    };
    const unsigned ended = tnStopWorker | tnUncount;
    const Row rows[] = {
        // An attempt starts from rest, releasing what an earlier one left; while a worker
        // runs or a connection is up, it is refused.
        {S::Idle, E::Start, S::Connecting, tnReleaseAttempt | tnStartWorker},
        {S::Failed, E::Start, S::Connecting, tnReleaseAttempt | tnStartWorker},
        {S::Connecting, E::Start, S::Connecting, tnRefuse},
        {S::Connected, E::Start, S::Connected, tnRefuse},
        {S::Abandoned, E::Start, S::Abandoned, tnRefuse},
        // The worker's result: shown, or failed; one that nobody waits for any more
        // releases its attempt. No result comes in any other state.
        {S::Connecting, E::HandshakeSucceeded, S::Connected, tnResultHandled | tnShowConnected},
        {S::Abandoned, E::HandshakeSucceeded, S::Idle, tnResultHandled | tnReleaseAttempt},
        {S::Idle, E::HandshakeSucceeded, S::Idle, 0},
        {S::Connected, E::HandshakeSucceeded, S::Connected, 0},
        {S::Failed, E::HandshakeSucceeded, S::Failed, 0},
        {S::Connecting, E::HandshakeFailed, S::Failed, tnResultHandled | tnUncount | tnShowFailure},
        {S::Abandoned, E::HandshakeFailed, S::Idle, tnResultHandled | tnReleaseAttempt},
        {S::Idle, E::HandshakeFailed, S::Idle, 0},
        {S::Connected, E::HandshakeFailed, S::Connected, 0},
        {S::Failed, E::HandshakeFailed, S::Failed, 0},
        // Asked to end: a connection ends at once; a handshake is abandoned until its
        // worker returns. Either way the line shows a plain disconnected icon.
        {S::Connected, E::Disconnect, S::Idle, ended | tnIconDisconnected},
        {S::Connecting, E::Disconnect, S::Abandoned, ended | tnIconDisconnected},
        {S::Abandoned, E::Disconnect, S::Abandoned, 0},
        {S::Idle, E::Disconnect, S::Idle, 0},
        {S::Failed, E::Disconnect, S::Failed, 0},
        // Ending by itself: the error icon for a connection that was up.
        {S::Connected, E::Broken, S::Idle, ended | tnIconDisconnectedError},
        {S::Connecting, E::Broken, S::Abandoned, ended},
        {S::Abandoned, E::Broken, S::Abandoned, 0},
        {S::Idle, E::Broken, S::Idle, 0},
        {S::Failed, E::Broken, S::Failed, 0},
        {S::Reconnecting, E::Broken, S::Reconnecting, 0},
        // A host that reconnects by itself: dropped, it waits for its next attempt (which
        // starts as any other, or at once when the user asks); a failed try waits again;
        // the user's disconnect stops it.
        {S::Connected, E::Dropped, S::Reconnecting, ended | tnScheduleRetry},
        {S::Connecting, E::Dropped, S::Abandoned, ended},
        {S::Abandoned, E::Dropped, S::Abandoned, 0},
        {S::Idle, E::Dropped, S::Idle, 0},
        {S::Failed, E::Dropped, S::Failed, 0},
        {S::Reconnecting, E::Dropped, S::Reconnecting, 0},
        {S::Reconnecting, E::Start, S::Connecting, tnReleaseAttempt | tnStartWorker},
        {S::Connecting, E::RetryFailed, S::Reconnecting, tnResultHandled | tnUncount | tnScheduleRetry},
        {S::Abandoned, E::RetryFailed, S::Idle, tnResultHandled | tnReleaseAttempt},
        {S::Idle, E::RetryFailed, S::Idle, 0},
        {S::Connected, E::RetryFailed, S::Connected, 0},
        {S::Failed, E::RetryFailed, S::Failed, 0},
        {S::Reconnecting, E::RetryFailed, S::Reconnecting, 0},
        {S::Reconnecting, E::Disconnect, S::Idle, tnCancelRetry | tnIconDisconnected},
        {S::Reconnecting, E::HandshakeSucceeded, S::Reconnecting, 0},
        {S::Reconnecting, E::HandshakeFailed, S::Reconnecting, 0},
    };
    int seen[6][7] = {};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(tnConnectionStateName(row.state)) + " x " + tnConnectionEventName(row.event));
        const TNTransition t = tnConnectionTransition(row.state, row.event);
        EXPECT_STREQ(tnConnectionStateName(t.next), tnConnectionStateName(row.next));
        EXPECT_EQ(t.effects, row.effects);
        seen[static_cast<int>(row.state)][static_cast<int>(row.event)]++;
    }
    // The table covers every pair once.
    for (const auto& state : seen) {
        for (int count : state)
            EXPECT_EQ(count, 1);
    }
}

// A worker is owed its result exactly while one runs for the host.
TEST(ConnectionState, ResultOwedWhileAWorkerRuns)
{
    for (S state : {S::Idle, S::Connecting, S::Connected, S::Abandoned, S::Failed, S::Reconnecting})
        EXPECT_EQ(tnResultOwed(state), state == S::Connecting || state == S::Abandoned)
            << tnConnectionStateName(state);
}

// A dropped host's attempts, on a clock the test moves: the waits double from 1 s up to
// 30 s and stay there; the countdown rounds up; a try made late plans from when it failed.
TEST(ReconnectSchedule, BackOffAndCountdownOnAGivenClock)
{
    const TNClock::time_point start{};
    using std::chrono::milliseconds;
    using std::chrono::seconds;
    TNReconnect reconnect;
    reconnect.reason = "Connection reset by peer";
    struct Step {
        TNClock::duration failedAt; // when the attempt before this one failed (the drop for the first)
        int attempt;
        int wait;
    };
    const Step steps[] = {
        {seconds(0), 1, 1},   {seconds(1), 2, 2},   {seconds(3), 3, 4},    {seconds(7), 4, 8},
        {seconds(15), 5, 16}, {seconds(31), 6, 30}, {seconds(61), 7, 30},  {seconds(95), 8, 30},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE("attempt " + std::to_string(step.attempt));
        const TNClock::time_point now = start + step.failedAt;
        tnPlanNextReconnect(reconnect, now);
        EXPECT_EQ(reconnect.attempt, step.attempt);
        EXPECT_EQ(tnReconnectDelaySeconds(reconnect.attempt), step.wait);
        EXPECT_EQ(tnReconnectSecondsLeft(reconnect, now), step.wait);
        EXPECT_EQ(tnReconnectSecondsLeft(reconnect, now + seconds(step.wait) - milliseconds(1)), 1);
        EXPECT_EQ(tnReconnectSecondsLeft(reconnect, now + seconds(step.wait)), 0);
        EXPECT_EQ(tnReconnectSecondsLeft(reconnect, now + seconds(step.wait + 5)), 0);
    }
    const TNClock::time_point lastPlan = start + seconds(95);
    EXPECT_EQ(tnReconnectText(reconnect, lastPlan + milliseconds(100)),
              "Reconnecting in 30 s (attempt 8)\nConnection reset by peer");
    EXPECT_EQ(tnReconnectText(reconnect, lastPlan + milliseconds(29500)),
              "Reconnecting in 1 s (attempt 8)\nConnection reset by peer");
    reconnect.reason.clear();
    EXPECT_EQ(tnReconnectText(reconnect, lastPlan + seconds(40)), "Reconnecting in 0 s (attempt 8)");
}

} // namespace
