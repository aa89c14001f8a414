// The programs a benchmark runs beside itself (this benchmark again in its client mode,
// TigerVNC's vncviewer), so that their CPU time can be read apart from the servers'. Each is
// started through the program's own process helper (core/process.h): it ends with the
// benchmark however that ends, and its standard output and error are kept in memory.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct TNBenchChild {
    pid_t pid = -1;
    int output = -1; // the captured standard output and error
    int errors = -1;
};

// Starts `args` (the first is looked up in PATH) with HOME set to `home`. False when it
// could not start.
bool tnStartBenchChild(const std::vector<std::string>& args, const std::string& home, TNBenchChild* child);
// The first line of the child's output that starts with "READY" or "FAILED"; "" when none
// comes within `seconds` or the child ends first.
std::string tnWaitForReadyLine(const TNBenchChild& child, double seconds);
// The last line the child wrote to its standard error, for a message when it failed.
std::string tnLastErrorLine(const TNBenchChild& child);
// SIGTERM, then SIGKILL when it has not ended within 5 seconds; reaps it and closes its files.
void tnStopBenchChild(TNBenchChild& child);
