// Per-host custom commands: a shell command line run on a worker thread of its own.
#pragma once

#include <string>
#include <vector>

// What a worker receives: copies made on the main thread, owned by the worker.
struct CustomCommandJob {
    std::string label;
    std::string command;
    std::vector<std::string> environment;
};

// Starts the command line through the shell without waiting for it (main thread). An empty
// label or command line is refused with a message box.
// `environment` ("NAME=value") is added to the program's own for this command.
void tnRunCommand(const std::string& label, const std::string& command,
                  const std::vector<std::string>& environment = {});
// The worker's body; its argument is a CustomCommandJob, which it frees.
void* tnRunCommandHelper(void* job);

// Runs `command` through /bin/sh and waits for it. The shell inherits the standard streams,
// the environment and the working directory, and no other descriptor of the program (no
// host connection, no listening socket, no pipe), with the default action for every signal.
// Returns the shell's exit status when it ended normally, otherwise the raw wait status
// (127 when the shell could not be started). Any thread.
int tnRunCommandThroughShell(const std::string& command, const std::vector<std::string>& environment = {});

// The message of a failed command: "Command failed: '<label>'\n\nExit code: <code>\n",
// cut to 1022 characters.
std::string tnCommandFailureText(const std::string& label, int exitCode);

// Shows a failure text in a message box on the main thread (commands end on their own
// threads). While the program is shutting down the text goes to standard output instead,
// so no box holds up the end. Any thread.
void tnReportCommandFailure(const std::string& text);
