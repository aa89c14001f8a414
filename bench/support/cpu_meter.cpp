#include "support/cpu_meter.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double tnSecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string tnCommandNameOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// The fields of /proc/<pid>/stat after the command name (the first is field 3, the state).
std::vector<std::string> tnStatFields(const std::string& path, std::string* command = nullptr)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 > line.size())
        return {};
    if (command)
        *command = line.substr(open + 1, close - open - 1);
    std::istringstream fields(line.substr(close + 2));
    std::vector<std::string> tokens;
    for (std::string t; fields >> t;)
        tokens.push_back(t);
    return tokens;
}

// Adds up `perThread` over the files /proc/<pid>/task/*/<file>.
template <typename T, typename Read>
T tnSumOverThreads(pid_t pid, const char* file, Read perThread)
{
    T total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream in(tasks + "/" + entry->d_name + "/" + file);
        total += perThread(in);
    }
    closedir(dir);
    return total;
}

} // namespace

double tnCpuSecondsOf(pid_t pid)
{
    const std::vector<std::string> tokens = tnStatFields("/proc/" + std::to_string(pid) + "/stat");
    if (tokens.size() < 13)
        return 0;
    // Fields 14 and 15 of the file (utime, stime).
    return (std::stod(tokens[11]) + std::stod(tokens[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double tnPreciseCpuSecondsOf(pid_t pid)
{
    return tnSumOverThreads<double>(pid, "schedstat", [](std::ifstream& in) {
        double ns = 0;
        return in >> ns ? ns / 1e9 : 0.0;
    });
}

long tnWakeUpsOf(pid_t pid)
{
    return tnSumOverThreads<long>(pid, "status", [](std::ifstream& in) {
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                return std::atol(line.c_str() + 24);
        }
        return 0L;
    });
}

long tnResidentKilobytesOfSelf()
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

pid_t tnFindXServer()
{
    if (const char* named = getenv("TN_XVFB_PID")) {
        const pid_t pid = atoi(named);
        if (pid > 0 && tnCommandNameOf(pid) == "Xvfb")
            return pid;
    }
    const pid_t parent = getppid();
    DIR* proc = opendir("/proc");
    if (!proc)
        return 0;
    pid_t found = 0;
    while (dirent* entry = readdir(proc)) {
        const int pid = atoi(entry->d_name);
        if (pid <= 0)
            continue;
        std::string command;
        const std::vector<std::string> tokens = tnStatFields(std::string("/proc/") + entry->d_name + "/stat", &command);
        if (command == "Xvfb" && tokens.size() > 1 && atol(tokens[1].c_str()) == parent) {
            found = pid;
            break;
        }
    }
    closedir(proc);
    return found;
}

TNThroughput tnMeasureThroughput(pid_t client, pid_t xServer, const std::function<long()>& updates,
                                 double settleSeconds, double seconds)
{
    TNThroughput result;
    std::this_thread::sleep_for(std::chrono::duration<double>(settleSeconds));
    const long updates0 = updates();
    const double cpu0 = tnCpuSecondsOf(client);
    const long wakes0 = tnWakeUpsOf(client);
    const double x0 = xServer ? tnCpuSecondsOf(xServer) : 0;
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double elapsed = tnSecondsSince(start);
    const long taken = updates() - updates0;
    const double cpu = tnCpuSecondsOf(client) - cpu0;
    const long wakes = tnWakeUpsOf(client) - wakes0;
    const double x = xServer ? tnCpuSecondsOf(xServer) - x0 : 0;
    if (taken <= 0)
        return result;
    result.updatesPerSecond = taken / elapsed;
    result.cpuMsPerUpdate = cpu * 1000.0 / taken;
    result.cpuPercent = cpu * 100.0 / elapsed;
    result.wakeUpsPerUpdate = static_cast<double>(wakes) / taken;
    if (xServer)
        result.xMsPerUpdate = x * 1000.0 / taken;
    result.ok = true;
    return result;
}

double tnMedian(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double tnPercentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5));
    return values[at];
}

TNThroughput tnMedianThroughput(const std::vector<TNThroughput>& rounds)
{
    std::vector<double> rate, cpu, percent, x, wakes;
    for (const TNThroughput& t : rounds) {
        if (!t.ok)
            continue;
        rate.push_back(t.updatesPerSecond);
        cpu.push_back(t.cpuMsPerUpdate);
        percent.push_back(t.cpuPercent);
        wakes.push_back(t.wakeUpsPerUpdate);
        if (t.xMsPerUpdate >= 0)
            x.push_back(t.xMsPerUpdate);
    }
    TNThroughput result;
    if (rate.empty())
        return result;
    result.updatesPerSecond = tnMedian(rate);
    result.cpuMsPerUpdate = tnMedian(cpu);
    result.cpuPercent = tnMedian(percent);
    result.xMsPerUpdate = tnMedian(x);
    result.wakeUpsPerUpdate = tnMedian(wakes);
    result.ok = true;
    return result;
}

TNIdle tnMeasureIdle(pid_t pid, int windows, double windowSeconds)
{
    std::vector<double> percents, wakeUps;
    for (int window = 0; window < windows; ++window) {
        const double cpu0 = tnPreciseCpuSecondsOf(pid);
        const long wakes0 = tnWakeUpsOf(pid);
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(windowSeconds));
        const double seconds = tnSecondsSince(start);
        percents.push_back((tnPreciseCpuSecondsOf(pid) - cpu0) * 100.0 / seconds);
        wakeUps.push_back((tnWakeUpsOf(pid) - wakes0) / seconds);
    }
    TNIdle idle;
    idle.cpuPercent = tnMedian(percents);
    idle.wakeUpsPerSecond = tnMedian(wakeUps);
    return idle;
}
