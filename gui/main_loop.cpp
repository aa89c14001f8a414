#include "gui/main_loop.h"

#include <FL/Fl.H>

#include "connection/vnc_object.h"

namespace {

void tnWatch(void*)
{
    tnConnectionWatcher();
    Fl::repeat_timeout(1.0, tnWatch);
}

// Once: a wait nested in the shut-down's own work must not be woken over and over.
void tnWakeToShutDown(void*)
{
    if (engine.isShuttingDown) {
        Fl::remove_check(tnWakeToShutDown);
        Fl::awake();
    }
}

} // namespace

void tnRunMainLoop()
{
    // Each connection is read on its own thread; the readers wake this wait with their news
    // (posted work), and timers and the user's events wake it as well: with nothing to do
    // the thread sleeps. Shut-down may be asked for by a timer, which the toolkit runs before
    // it waits: the check that runs right after the timers makes that wait return at once.
    Fl::add_check(tnWakeToShutDown);
    while (!engine.isShuttingDown)
        Fl::wait();
    Fl::remove_check(tnWakeToShutDown);
}

void tnStartConnectionWatcher()
{
    if (!Fl::has_timeout(tnWatch))
        Fl::add_timeout(1.0, tnWatch);
}

void tnStopConnectionWatcher()
{
    Fl::remove_timeout(tnWatch);
}

bool tnConnectionWatcherRuns()
{
    return Fl::has_timeout(tnWatch) != 0;
}
