// Programs the program starts: a shell command line in a child process that inherits no
// descriptor of the program beyond the standard streams, reaped by whoever waits for it.
// Used by the SSH tunnel and by the custom commands.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct TNProcessOptions {
    // The child's standard input: this descriptor, or -1 for the program's own.
    int standardInput = -1;
    // The child's standard error goes into a file in memory (TNProcess::errorFile) that the
    // caller reads with tnReadCapturedText, instead of the program's own standard error.
    bool captureStandardError = false;
    // The same for standard output (TNProcess::outputFile).
    bool captureStandardOutput = false;
    // The child leads a session (and so a process group) of its own: it and whatever it
    // starts can be signalled together, and it has no controlling terminal.
    bool ownSession = false;
    // The child gets SIGTERM when the program ends, however it ends (SIGKILL too).
    bool endWithProgram = false;
    // "NAME=value" entries added to the program's environment for the child (replacing
    // entries of the same names).
    std::vector<std::string> environment;
};

struct TNProcess {
    pid_t pid = -1;
    // The captured standard error (close-on-exec), or -1; the caller closes it.
    int errorFile = -1;
    int outputFile = -1;
};

// Starts `/bin/sh -c commandLine`. The child has the default action for every signal and no
// blocked signal. Any thread. False with errno set when no child could be started.
bool tnStartShell(const std::string& commandLine, const TNProcessOptions& options, TNProcess* started);

// The child's exit code from a wait status: its code, or 128 + the signal that ended it.
int tnExitCode(int waitStatus);

// Waits for the child to end and reaps it (retrying after signals). Returns its raw wait
// status, or -1 with errno set.
int tnWaitForProcess(pid_t pid);
// Reaps the child if it has ended, without waiting: true then, with its raw wait status in
// `waitStatus` (-1 when it had been reaped elsewhere).
bool tnReapIfEnded(pid_t pid, int* waitStatus);

// Runs `commandLine` with standard input from /dev/null and waits for it: its exit code
// (tnExitCode), or -1 with errno set when no child could be started.
int tnRunShellCommand(const std::string& commandLine);

// Runs `commandLine` with `input` as its standard input and waits for it: its exit code, or
// -1 when no child could be started. Its standard output goes into `output`, its standard
// error into `errors` (when not null; otherwise to the program's).
int tnRunShellForOutput(const std::string& commandLine, const std::string& input, std::string* output,
                        std::string* errors = nullptr);

// What a captured stream holds so far, at most its last `limit` bytes.
std::string tnReadCapturedText(int fd, size_t limit = 65536);
