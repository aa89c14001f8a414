#include "connection/reconnect_schedule.h"

int tnReconnectDelaySeconds(int attempt)
{
    if (attempt < 1)
        return 1;
    if (attempt >= 6)
        return 30;
    return 1 << (attempt - 1);
}

void tnPlanNextReconnect(TNReconnect& reconnect, TNClock::time_point now)
{
    // The count stops growing long before it could overflow: every later wait is the same.
    if (reconnect.attempt < 1000000)
        reconnect.attempt++;
    reconnect.due = now + std::chrono::seconds(tnReconnectDelaySeconds(reconnect.attempt));
}

int tnReconnectSecondsLeft(const TNReconnect& reconnect, TNClock::time_point now)
{
    if (now >= reconnect.due)
        return 0;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(reconnect.due - now).count();
    return static_cast<int>((left + 999) / 1000);
}

std::string tnReconnectText(const TNReconnect& reconnect, TNClock::time_point now)
{
    std::string text = "Reconnecting in " + std::to_string(tnReconnectSecondsLeft(reconnect, now)) + " s (attempt " +
                       std::to_string(reconnect.attempt) + ")";
    if (!reconnect.reason.empty())
        text += "\n" + reconnect.reason;
    return text;
}
