// The window's thread's loop: it sleeps until the user, a timer or work posted by the
// engine's threads wakes it, and runs the engine's watcher once a second.
#pragma once

// Runs the loop until the engine is shutting down (engine.isShuttingDown).
void tnRunMainLoop();
// The once-a-second watcher (connection/vnc_object.h tnConnectionWatcher).
void tnStartConnectionWatcher();
void tnStopConnectionWatcher();
bool tnConnectionWatcherRuns();
