// The benchmark's client mode: the program itself (its start-up, connection engine, viewer
// and main loop) in a process the benchmark started, connected to a number of hosts on one
// server and laid out one way, so that the benchmark can read its CPU time and size.
#pragma once

#include <string>
#include <vector>

enum class TNClientLayout {
    Full,   // the first host shown 1:1 in a 1280x720 full-window view
    Scaled, // the first host scaled (bilinear) into a 1000x562 viewer
    Cycle,  // each host shown until it has taken a new screen from the server, then none
    Overview, // every host a tile of the overview (refreshed once a second) in a 1000x562 area
};

// The command line that starts `self` (this benchmark's program) in the client mode.
std::vector<std::string> tnBenchClientCommand(const std::string& self, int port, int hosts, TNClientLayout layout,
                                              double maxSeconds);
// When `argv` is such a command line: runs the client mode and returns its exit code (it
// prints "READY <kB after start-up> <kB all connected> <kB after the cycle>", or "FAILED
// <why>", then runs its main loop for at most maxSeconds); otherwise -1.
int tnRunBenchClientIfAsked(int argc, char** argv);

// The program in this process for a benchmark that drives it itself: HOME becomes a new
// temporary folder (its path is returned, "" when none could be made; USER is set when
// missing), then the program starts up as it does from main, with an empty host list and
// its window w x h.
std::string tnStartProgramHere(int w, int h);
// Removes the folder tnStartProgramHere made.
void tnRemoveBenchHome(const std::string& home);
