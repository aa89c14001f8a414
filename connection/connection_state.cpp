#include "connection/connection_state.h"

using S = TNConnectionState;
using E = TNConnectionEvent;

TNTransition tnConnectionTransition(S state, E event)
{
    switch (event) {
    case E::Start:
        // A host whose worker still runs (an ended attempt that has not returned yet) is
        // refused like a connecting one; what an ended or failed attempt left goes first.
        if (state == S::Idle || state == S::Failed)
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
    case E::Disconnect:
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
    }
    return "?";
}
