#include "commands/custom_command.h"

#include <FL/Fl.H>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <mutex>

#include "connection/vnc_object.h"
#include "core/modal.h"

extern char** environ;

namespace {

const char kTitle[] = "Tandrel - Custom command";

// Failure texts waiting for the main thread, which shows them one box at a time.
std::mutex failuresLock;
std::deque<std::string>& pendingFailures()
{
    static std::deque<std::string>& failures = *new std::deque<std::string>();
    return failures;
}

bool tnTakePendingFailure(std::string* text)
{
    std::lock_guard<std::mutex> hold(failuresLock);
    if (pendingFailures().empty())
        return false;
    *text = pendingFailures().front();
    pendingFailures().pop_front();
    return true;
}

// Main thread (the toolkit's awake queue).
void tnShowCommandFailures(void*)
{
    // A box runs an event loop of its own, in which the next failure may arrive: the box
    // already up shows it when it is closed.
    static bool showing = false;
    if (showing)
        return;
    showing = true;
    std::string text;
    while (tnTakePendingFailure(&text)) {
        if (engine.isShuttingDown) {
            fputs((text + "\n").c_str(), stdout);
            fflush(stdout);
            continue;
        }
        tnMessageWindow(text, kTitle);
    }
    showing = false;
}

} // namespace

std::string tnCommandFailureText(const std::string& label, int exitCode)
{
    char text[1024] = {0};
    snprintf(text, 1023, "Command failed: '%s'\n\nExit code: %i\n", label.c_str(), exitCode);
    return text;
}

int tnRunCommandThroughShell(const std::string& command, const std::vector<std::string>& environment)
{
    // The program's environment, less the names `environment` sets, then those.
    std::vector<char*> envp;
    for (char** entry = environ; entry && *entry; entry++) {
        const std::string current = *entry;
        const std::string name = current.substr(0, current.find('=') + 1);
        bool replaced = false;
        for (const std::string& added : environment)
            replaced = replaced || added.compare(0, name.size(), name) == 0;
        if (!replaced)
            envp.push_back(*entry);
    }
    for (const std::string& added : environment)
        envp.push_back(const_cast<char*>(added.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Nothing of ours beyond the standard streams: a command that runs on must not keep a
    // host's connection, the reverse-connection port or the toolkit's pipes open.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The program ignores SIGPIPE, and an ignored signal stays ignored across exec.
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    char* argv[] = {shell, dashC, const_cast<char*>(command.c_str()), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, shell, &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return 127;
    int status = 0;
    for (;;) {
        if (waitpid(child, &status, 0) == child)
            break;
        if (errno != EINTR)
            return 127;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : status;
}

void tnReportCommandFailure(const std::string& text)
{
    {
        std::lock_guard<std::mutex> hold(failuresLock);
        pendingFailures().push_back(text);
    }
    Fl::awake(tnShowCommandFailures, nullptr);
}

void tnRunCommand(const std::string& label, const std::string& command, const std::vector<std::string>& environment)
{
    if (label.empty() || command.empty()) {
        tnMessageWindow("Command or command label is empty", kTitle);
        return;
    }
    auto* job = new CustomCommandJob{label, command, environment};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, tnRunCommandHelper, job) != 0) {
        delete job;
        tnMessageWindow("Error: Couldn't create custom command thread", kTitle);
    }
}

void* tnRunCommandHelper(void* data)
{
    pthread_detach(pthread_self());
    auto* job = static_cast<CustomCommandJob*>(data);
    if (!job) {
        tnReportCommandFailure("Command or command label is NULL");
        return nullptr;
    }
    const int exitCode = tnRunCommandThroughShell(job->command, job->environment);
    if (exitCode != 0)
        tnReportCommandFailure(tnCommandFailureText(job->label, exitCode));
    delete job;
    return nullptr;
}
