// Child processes: started from one thread that lives as long as the program, reaped by
// whoever waits for them.
#include "core/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// Closes every descriptor from 3 on, in a child between fork and exec (async-signal-safe).
void tnCloseDescriptorsFrom3(int limit)
{
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3U, ~0U, 0U) == 0)
        return;
#endif
    for (int fd = 3; fd < limit; fd++)
        close(fd);
}

int tnDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 1048576)
        return static_cast<int>(limit.rlim_cur);
    return 65536;
}

// The kernel sends a child's "parent died" signal when the THREAD that forked it ends, not
// the process: every child is forked on this one thread, which is never ended, so the signal
// comes exactly when the program ends. Requests are run one at a time, in order.
class TNSpawnerThread {
public:
    void run(const std::function<void()>& work)
    {
        std::unique_lock<std::mutex> hold(lock);
        if (!started) {
            std::thread([this] { loop(); }).detach();
            started = true;
        }
        bool done = false;
        queue.push_back({&work, &done});
        wake.notify_all();
        finished.wait(hold, [&done] { return done; });
    }

private:
    struct Request {
        const std::function<void()>* work;
        bool* done;
    };

    void loop()
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            wake.wait(hold, [this] { return !queue.empty(); });
            const Request request = queue.front();
            queue.pop_front();
            hold.unlock();
            (*request.work)();
            hold.lock();
            *request.done = true;
            finished.notify_all();
        }
    }

    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable finished;
    std::deque<Request> queue;
    bool started = false;
};

// Never destroyed: the thread waits on it until the process ends.
TNSpawnerThread& tnSpawner()
{
    static TNSpawnerThread& spawner = *new TNSpawnerThread();
    return spawner;
}

// fork + exec on the calling thread; returns the child's id or -1 with errno set.
pid_t tnForkShell(const char* line, const TNProcessOptions& options, char* const* environment, int outputFile,
                  int errorFile, int limit, pid_t parent)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    // The child: only async-signal-safe calls until exec.
    if (options.endWithProgram) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The program may have ended before the line above.
        if (getppid() != parent)
            _exit(127);
    }
    if (options.ownSession)
        setsid();
    if (options.standardInput >= 0 && options.standardInput != STDIN_FILENO &&
        dup2(options.standardInput, STDIN_FILENO) < 0)
        _exit(127);
    if (outputFile >= 0 && dup2(outputFile, STDOUT_FILENO) < 0)
        _exit(127);
    if (errorFile >= 0 && dup2(errorFile, STDERR_FILENO) < 0)
        _exit(127);
    tnCloseDescriptorsFrom3(limit);
    // The program ignores SIGPIPE, and an ignored signal stays ignored across exec.
    signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (environment)
        execle("/bin/sh", "sh", "-c", line, static_cast<char*>(nullptr), environment);
    else
        execl("/bin/sh", "sh", "-c", line, static_cast<char*>(nullptr));
    _exit(127);
}

// The program's environment less the names `added` sets, then `added`, null-terminated
// (made before the fork: the child may not allocate).
std::vector<char*> tnChildEnvironment(const std::vector<std::string>& added)
{
    std::vector<char*> entries;
    for (char** entry = environ; entry && *entry; entry++) {
        const std::string current = *entry;
        const std::string name = current.substr(0, current.find('=') + 1);
        bool replaced = false;
        for (const std::string& addition : added)
            replaced = replaced || addition.compare(0, name.size(), name) == 0;
        if (!replaced)
            entries.push_back(*entry);
    }
    for (const std::string& addition : added)
        entries.push_back(const_cast<char*>(addition.c_str()));
    entries.push_back(nullptr);
    return entries;
}

// A file in memory for a child's captured stream, or -1.
int tnMemoryFile(const char* name)
{
    return static_cast<int>(syscall(SYS_memfd_create, name, MFD_CLOEXEC));
}

} // namespace

bool tnStartShell(const std::string& commandLine, const TNProcessOptions& options, TNProcess* started)
{
    int outputFile = -1;
    int errorFile = -1;
    const auto closeFiles = [&] {
        if (outputFile >= 0)
            close(outputFile);
        if (errorFile >= 0)
            close(errorFile);
    };
    if ((options.captureStandardOutput && (outputFile = tnMemoryFile("tandrel-stdout")) < 0) ||
        (options.captureStandardError && (errorFile = tnMemoryFile("tandrel-stderr")) < 0)) {
        const int error = errno;
        closeFiles();
        errno = error;
        return false;
    }
    const int limit = tnDescriptorLimit();
    const pid_t parent = getpid();
    std::vector<char*> environment;
    if (!options.environment.empty())
        environment = tnChildEnvironment(options.environment);
    pid_t pid = -1;
    int error = 0;
    tnSpawner().run([&] {
        pid = tnForkShell(commandLine.c_str(), options, environment.empty() ? nullptr : environment.data(),
                          outputFile, errorFile, limit, parent);
        error = errno;
    });
    if (pid < 0) {
        closeFiles();
        errno = error;
        return false;
    }
    started->pid = pid;
    started->outputFile = outputFile;
    started->errorFile = errorFile;
    return true;
}

int tnExitCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

int tnWaitForProcess(pid_t pid)
{
    int status = 0;
    for (;;) {
        if (waitpid(pid, &status, 0) == pid)
            return status;
        if (errno != EINTR)
            return -1;
    }
}

bool tnReapIfEnded(pid_t pid, int* waitStatus)
{
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == pid) {
        *waitStatus = status;
        return true;
    }
    if (done < 0 && errno == ECHILD) {
        *waitStatus = -1;
        return true;
    }
    return false;
}

int tnRunShellCommand(const std::string& commandLine)
{
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull < 0)
        return -1;
    TNProcessOptions options;
    options.standardInput = devNull;
    TNProcess child;
    const bool started = tnStartShell(commandLine, options, &child);
    const int error = errno;
    close(devNull);
    if (!started) {
        errno = error;
        return -1;
    }
    const int status = tnWaitForProcess(child.pid);
    return status < 0 ? -1 : tnExitCode(status);
}

std::string tnReadCapturedText(int fd, size_t limit)
{
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || info.st_size <= 0)
        return "";
    const off_t size = info.st_size;
    const off_t from = static_cast<size_t>(size) > limit ? size - static_cast<off_t>(limit) : 0;
    std::string text(static_cast<size_t>(size - from), '\0');
    const ssize_t got = pread(fd, &text[0], text.size(), from);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

int tnRunShellForOutput(const std::string& commandLine, const std::string& input, std::string* output,
                        std::string* errors)
{
    const int in = tnMemoryFile("tandrel-stdin");
    if (in < 0)
        return -1;
    bool written = true;
    for (size_t done = 0; written && done < input.size();) {
        const ssize_t n = write(in, input.data() + done, input.size() - done);
        written = n > 0;
        done += written ? static_cast<size_t>(n) : 0;
    }
    if (!written || lseek(in, 0, SEEK_SET) != 0) {
        close(in);
        return -1;
    }
    TNProcessOptions options;
    options.standardInput = in;
    options.captureStandardOutput = true;
    options.captureStandardError = errors != nullptr;
    TNProcess child;
    const bool started = tnStartShell(commandLine, options, &child);
    close(in);
    if (!started)
        return -1;
    const int status = tnWaitForProcess(child.pid);
    *output = tnReadCapturedText(child.outputFile, size_t(1) << 20);
    close(child.outputFile);
    if (errors) {
        *errors = tnReadCapturedText(child.errorFile);
        close(child.errorFile);
    }
    return status < 0 ? -1 : tnExitCode(status);
}
