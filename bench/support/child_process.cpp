#include "support/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "connection/ssh_tunnel.h"
#include "core/process.h"

namespace {

using Clock = std::chrono::steady_clock;

// The line of `text` that starts with `prefix`, without its line end; "" for none.
std::string tnLineStarting(const std::string& text, const std::string& prefix)
{
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return ""; // not finished yet
        if (text.compare(at, prefix.size(), prefix) == 0)
            return text.substr(at, end - at);
        at = end + 1;
    }
    return "";
}

// True once the child has ended (it is left to be reaped).
bool tnHasEnded(pid_t pid)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid;
}

} // namespace

bool tnStartBenchChild(const std::vector<std::string>& args, const std::string& home, TNBenchChild* child)
{
    // `exec`: the program itself is the child whose CPU time is read, not a shell.
    std::string line = "exec";
    for (const std::string& arg : args)
        line += " " + tnQuoteForShell(arg);
    TNProcessOptions options;
    options.captureStandardOutput = true;
    options.captureStandardError = true;
    options.endWithProgram = true;
    options.environment = {"HOME=" + home};
    TNProcess process;
    if (!tnStartShell(line, options, &process))
        return false;
    child->pid = process.pid;
    child->output = process.outputFile;
    child->errors = process.errorFile;
    return true;
}

std::string tnWaitForReadyLine(const TNBenchChild& child, double seconds)
{
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const std::string text = tnReadCapturedText(child.output);
        for (const char* prefix : {"READY", "FAILED"}) {
            const std::string line = tnLineStarting(text, prefix);
            if (!line.empty())
                return line;
        }
        if (Clock::now() >= deadline || tnHasEnded(child.pid))
            return "";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::string tnLastErrorLine(const TNBenchChild& child)
{
    std::string text = tnReadCapturedText(child.errors, 4096);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const size_t start = text.rfind('\n');
    return start == std::string::npos ? text : text.substr(start + 1);
}

void tnStopBenchChild(TNBenchChild& child)
{
    if (child.pid > 0) {
        kill(child.pid, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 50 && !(ended = tnReapIfEnded(child.pid, &status)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!ended) {
            kill(child.pid, SIGKILL);
            tnWaitForProcess(child.pid);
        }
    }
    for (int fd : {child.output, child.errors}) {
        if (fd >= 0)
            close(fd);
    }
    child = TNBenchChild();
}
