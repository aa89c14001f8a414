#include "commands/custom_command.h"

#include <FL/Fl.H>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <mutex>

#include "connection/vnc_object.h"
#include "gui/modal.h"
#include "core/process.h"

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
    // The standard streams are the program's; nothing else of ours is inherited (a command
    // that runs on must not keep a host's connection, the reverse-connection port or the
    // toolkit's pipes open).
    TNProcessOptions options;
    options.environment = environment;
    TNProcess child;
    if (!tnStartShell(command, options, &child))
        return 127;
    const int status = tnWaitForProcess(child.pid);
    if (status < 0)
        return 127;
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
