#pragma once

#include <FL/Fl.H>

#include <chrono>

template <class F>
bool tnTestPumpUntil(F done, double timeoutSeconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return done();
        Fl::wait(0.01);
    }
    return true;
}
