// The lifecycle of a host's connection: every event in every state.
#include <gtest/gtest.h>

#include "connection/connection_state.h"

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
    };
    int seen[5][5] = {};
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
    for (S state : {S::Idle, S::Connecting, S::Connected, S::Abandoned, S::Failed})
        EXPECT_EQ(tnResultOwed(state), state == S::Connecting || state == S::Abandoned)
            << tnConnectionStateName(state);
}

} // namespace
