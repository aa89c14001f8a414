#include "connection/connection_state.h"

using S = TNConnectionState;
using E = TNConnectionEvent;

TNTransition tnConnectionTransition(S state, E event)
{
    switch (event) {
    case E::Start:
        // A host whose worker still runs (an ended attempt that has not returned yet) is
        // refused like a connecting one; what an ended or failed attempt left goes first.
        // A reconnecting host's attempt is due, or the user did not want to wait for it.
        if (state == S::Idle || state == S::Failed || state == S::Reconnecting)
            return {S::Connecting, tnReleaseAttempt | tnStartWorker};
        return {state, tnRefuse};
    case E::HandshakeSucceeded:
        if (state == S::Connecting)
            return {S::Connected, tnResultHandled | tnShowConnected};
        if (state == S::Abandoned)
            return {S::Idle, tnResultHandled | tnReleaseAttempt};
        return {state, 0};
    case E::HandshakeFailed:
        if (state == S::Connecting)
            return {S::Failed, tnResultHandled | tnUncount | tnShowFailure};
        if (state == S::Abandoned)
            return {S::Idle, tnResultHandled | tnReleaseAttempt};
        return {state, 0};
    case E::RetryFailed:
        if (state == S::Connecting)
            return {S::Reconnecting, tnResultHandled | tnUncount | tnScheduleRetry};
        if (state == S::Abandoned)
            return {S::Idle, tnResultHandled | tnReleaseAttempt};
        return {state, 0};
    case E::Disconnect:
        if (state == S::Reconnecting)
            return {S::Idle, tnCancelRetry | tnIconDisconnected};
        if (state == S::Connected)
            return {S::Idle, tnStopWorker | tnUncount | tnIconDisconnected};
        if (state == S::Connecting)
            return {S::Abandoned, tnStopWorker | tnUncount | tnIconDisconnected};
        return {state, 0};
    case E::Broken:
        if (state == S::Connected)
            return {S::Idle, tnStopWorker | tnUncount | tnIconDisconnectedError};
        if (state == S::Connecting)
            return {S::Abandoned, tnStopWorker | tnUncount};
        return {state, 0};
    case E::Dropped:
        if (state == S::Connected)
            return {S::Reconnecting, tnStopWorker | tnUncount | tnScheduleRetry};
        if (state == S::Connecting)
            return {S::Abandoned, tnStopWorker | tnUncount};
        return {state, 0};
    }
    return {state, 0};
}

const char* tnConnectionStateName(S state)
{
    switch (state) {
    case S::Idle:
        return "Idle";
    case S::Connecting:
        return "Connecting";
    case S::Connected:
        return "Connected";
    case S::Abandoned:
        return "Abandoned";
    case S::Failed:
        return "Failed";
    case S::Reconnecting:
        return "Reconnecting";
    }
    return "?";
}

const char* tnConnectionEventName(E event)
{
    switch (event) {
    case E::Start:
        return "Start";
    case E::HandshakeSucceeded:
        return "HandshakeSucceeded";
    case E::HandshakeFailed:
        return "HandshakeFailed";
    case E::Disconnect:
        return "Disconnect";
    case E::Broken:
        return "Broken";
    case E::Dropped:
        return "Dropped";
    case E::RetryFailed:
        return "RetryFailed";
    }
    return "?";
}
