// The life of one host's connection as one value, and the rule for every change of it:
// what each event does in each state, and what the engine does on the way. Pure: the
// engine (connection/vnc_object.cpp, watcher.cpp, reader.cpp) applies the effects.
#pragma once

// The state the main thread keeps for a host (it alone changes it). A handshake worker is
// owed a result in Connecting and Abandoned; in every other state no worker of the host
// waits for the main thread.
enum class TNConnectionState {
    Idle,       // no connection: never tried, or ended (a left-over attempt may await release)
    Connecting, // a worker runs the tunnel, the handshake or a listening line's wait
    Connected,  // the handshake succeeded and its result has been handled
    Abandoned,  // ended while its worker still runs: the result releases the attempt
    Failed,     // the last attempt failed; kept until the next one
    Reconnecting, // dropped by the server or the network: the next attempt starts when due
};

enum class TNConnectionEvent {
    Start,            // the user (or a listening line) starts an attempt
    HandshakeSucceeded, // the worker's result, handled on the main thread
    HandshakeFailed,  // the same for a failure, or an attempt that could not start
    Disconnect,       // the user (or shut-down, or a deleted line) ends the connection
    Broken,           // the connection ended by itself (the reader stopped, the tunnel went)
    Dropped,          // the same, for a host that reconnects by itself
    RetryFailed,      // a reconnecting host's attempt failed in a way another try may mend
};

// What the engine does on a transition (bits of TNTransition::effects).
enum TNConnectionEffect : unsigned {
    tnRefuse = 1u << 0,          // "Could not create VNC connection": nothing else changes
    tnReleaseAttempt = 1u << 1,  // the host's attempt object is released
    tnStartWorker = 1u << 2,     // a new attempt object and its worker
    tnResultHandled = 1u << 3,   // one attempt less is pending
    tnShowConnected = 1u << 4,   // Connected icon, time stamp, log line, shown if selected
    tnShowFailure = 1u << 5,     // NoConnect or big-error icon, the attempt's error
    tnStopWorker = 1u << 6,      // reader stopped, tunnel closed, a listening wait cancelled
    tnUncount = 1u << 7,         // the worker no longer counts as an active connection
    tnIconDisconnected = 1u << 8,      // and the "Manually disconnected" log line
    tnIconDisconnectedError = 1u << 9, // and the "Unexpectedly disconnected" log line
    tnScheduleRetry = 1u << 10,  // the next attempt is due after the back-off
    tnCancelRetry = 1u << 11,    // no attempt is due any more
};

struct TNTransition {
    TNConnectionState next;
    unsigned effects;
};

// The transition of `event` in `state`. An event that means nothing in a state leaves the
// state as it is with no effect.
TNTransition tnConnectionTransition(TNConnectionState state, TNConnectionEvent event);

// A worker is owed a result (its attempt's object must not be released).
inline bool tnResultOwed(TNConnectionState state)
{
    return state == TNConnectionState::Connecting || state == TNConnectionState::Abandoned;
}

// Names for log lines and test output.
const char* tnConnectionStateName(TNConnectionState state);
const char* tnConnectionEventName(TNConnectionEvent event);
