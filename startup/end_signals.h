// SIGTERM, SIGHUP and SIGINT end the program through its normal shut-down (configuration
// saved, connections ended, tunnels closed) on the main thread.
#pragma once

// The exit status after the shut-down that `signal` asked for: 0 for SIGTERM and SIGHUP (an
// ordinary end: a desktop logging out, a service manager), 128 + 2 for SIGINT (as a shell
// reports an interrupted program).
int tnExitStatusForSignal(int signal);

// Installs the handlers (main thread, once the main window exists). A handler only writes
// the signal's number into a pipe that the main loop watches; the shut-down runs there. A
// signal that the program was started with ignored (nohup) stays ignored.
void tnHandleEndSignals();
