// When a dropped host's next attempt is due, and how its line tells it meanwhile. Pure:
// the caller gives the time (the engine its steady clock, the tests any they like).
#pragma once

#include <chrono>
#include <string>

using TNClock = std::chrono::steady_clock;

struct TNReconnect {
    // The attempt that comes next, counted from 1 after the drop; 0 while none is planned.
    int attempt = 0;
    TNClock::time_point due{};
    // Why the connection was lost.
    std::string reason;
};

// The wait before attempt `attempt` (1, 2, 4, 8, 16 seconds, then 30 for every later one).
int tnReconnectDelaySeconds(int attempt);
// Plans the next attempt from `now`: the first after a drop, or the one after a failed try.
void tnPlanNextReconnect(TNReconnect& reconnect, TNClock::time_point now);
// Whole seconds until the attempt is due, rounded up (0 once it is due).
int tnReconnectSecondsLeft(const TNReconnect& reconnect, TNClock::time_point now);
// "Reconnecting in N s (attempt K)", and the reason on the next line when there is one.
std::string tnReconnectText(const TNReconnect& reconnect, TNClock::time_point now);
