// The thread that runs the program's event loop: only it opens windows and changes what
// the window shows.
#pragma once

// Start-up marks the calling thread as the main thread (the one that loaded the program
// is marked until then).
void tnMarkMainThread();
bool tnIsMainThread();
