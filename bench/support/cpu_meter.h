// CPU time, wake-ups and resident size of a process, read from /proc; the X server the run
// draws on; and the figures the throughput runs report: updates a second and CPU time per
// update of a client and of the X server, and the medians over rounds.
#pragma once

#include <sys/types.h>

#include <functional>
#include <vector>

// User and system time of all of a process's threads, in seconds (ticks of 10 ms).
double tnCpuSecondsOf(pid_t pid);
// The same to the nanosecond (the scheduler's own account, for an idle process).
double tnPreciseCpuSecondsOf(pid_t pid);
// Voluntary context switches of all of a process's threads: each is a sleep a thread woke from.
long tnWakeUpsOf(pid_t pid);
// This process's resident size in kilobytes.
long tnResidentKilobytesOfSelf();

// The X server this run draws on: the Xvfb that tests/with-xvfb.sh started (it names it in
// TN_XVFB_PID; otherwise the Xvfb child of our parent); 0 when there is none.
pid_t tnFindXServer();

struct TNThroughput {
    double updatesPerSecond = 0;
    double cpuMsPerUpdate = 0;
    double cpuPercent = 0;
    double xMsPerUpdate = -1; // the X server's CPU per update (its share of the drawing); -1: unknown
    double wakeUpsPerUpdate = 0; // the client's voluntary context switches per update
    bool ok = false;
};

// Lets the client settle for `settleSeconds`, then counts the updates `updates` reports
// over `seconds` against the CPU time and wake-ups of `client` and the CPU time of `xServer`
// (0: none).
TNThroughput tnMeasureThroughput(pid_t client, pid_t xServer, const std::function<long()>& updates,
                                 double settleSeconds, double seconds);
// The median of each figure over the rounds that took updates.
TNThroughput tnMedianThroughput(const std::vector<TNThroughput>& rounds);

struct TNIdle {
    double cpuPercent = -1;
    double wakeUpsPerSecond = -1;
};
// The medians over `windows` consecutive windows of `windowSeconds`.
TNIdle tnMeasureIdle(pid_t pid, int windows, double windowSeconds);

// -1 for none.
double tnMedian(std::vector<double> values);
// The value at fraction `p` (0..1) of the sorted values, the nearest one; 0 for none.
double tnPercentile(std::vector<double> values, double p);
