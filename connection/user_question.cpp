#include "connection/user_question.h"

#include <chrono>

void TNUserQuestion::answer(int button, TNCredentials credentials)
{
    std::lock_guard<std::mutex> hold(lock);
    if (chosen >= 0 || withdrawn)
        return;
    chosen = button;
    typed = std::move(credentials);
    answered.notify_all();
}

bool TNUserQuestion::isOpen() const
{
    std::lock_guard<std::mutex> hold(lock);
    return chosen < 0 && !withdrawn;
}

bool TNUserQuestion::isWithdrawn() const
{
    std::lock_guard<std::mutex> hold(lock);
    return withdrawn;
}

int TNUserQuestion::waitForAnswer(const std::function<bool()>& stopped)
{
    std::unique_lock<std::mutex> hold(lock);
    // Woken by the answer; nothing wakes this wait when the attempt ends, so that is looked
    // at ten times a second.
    while (chosen < 0 && !withdrawn) {
        if (stopped && stopped()) {
            withdrawn = true;
            return 0;
        }
        answered.wait_for(hold, std::chrono::milliseconds(100));
    }
    return withdrawn ? 0 : chosen;
}

TNCredentials TNUserQuestion::credentials() const
{
    std::lock_guard<std::mutex> hold(lock);
    return typed;
}
