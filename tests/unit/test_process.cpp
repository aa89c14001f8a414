// Child processes: what they inherit, what is captured of them, and that a child tied to the
// program's life does not die with the thread that asked for it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "core/process.h"

namespace {

// The state letter of /proc/PID/stat ('Z' for a zombie), or 0 when there is no such process.
char tnProcessState(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const size_t paren = stat.rfind(')');
    return paren == std::string::npos || paren + 2 >= stat.size() ? 0 : stat[paren + 2];
}

} // namespace

TEST(ChildProcess, ExitCodesOutputsAndInput)
{
    const struct {
        const char* command;
        std::string input;
        int code;
        std::string output;
        std::string errors;
    } cases[] = {
        {"echo out; echo err >&2; exit 3", "", 3, "out\n", "err\n"},
        {"tr a-z A-Z", "abc", 0, "ABC", ""},
        {"kill -9 $$", "", 128 + SIGKILL, "", ""},
        {"no-such-command-here", "", 127, "", "not found"},
        // Nothing of the program's beyond the three standard streams.
        {"ls /proc/self/fd | sort -n | tr '\\n' ' '", "", 0, "0 1 2 3 ", ""},
    };
    for (const auto& c : cases) {
        std::string output, errors;
        EXPECT_EQ(tnRunShellForOutput(c.command, c.input, &output, &errors), c.code) << c.command;
        EXPECT_EQ(output, c.output) << c.command;
        EXPECT_NE(errors.find(c.errors), std::string::npos) << c.command << ": " << errors;
    }
}

// The kernel's "parent died" signal follows the thread that forked: a child asked for by a
// thread that ends (a handshake worker) must outlive that thread, and end with the program.
TEST(ChildProcess, AChildTiedToTheProgramOutlivesTheThreadThatStartedIt)
{
    TNProcess child;
    std::thread worker([&child] {
        TNProcessOptions options;
        options.ownSession = true;
        options.endWithProgram = true;
        options.captureStandardError = true;
        ASSERT_TRUE(tnStartShell("echo started >&2; exec sleep 30", options, &child));
    });
    worker.join();
    ASSERT_GT(child.pid, 0);
    // The child makes its session between fork and exec.
    for (int i = 0; i < 200 && getsid(child.pid) != child.pid; i++)
        usleep(10000);
    EXPECT_EQ(getsid(child.pid), child.pid);
    usleep(300000);
    const char state = tnProcessState(child.pid);
    EXPECT_TRUE(state != 0 && state != 'Z') << "the child ended with its thread (state " << state << ")";
    EXPECT_EQ(tnReadCapturedText(child.errorFile), "started\n");
    kill(child.pid, SIGKILL);
    EXPECT_EQ(tnExitCode(tnWaitForProcess(child.pid)), 128 + SIGKILL);
    close(child.errorFile);
}

TEST(ChildProcess, CapturedTextKeepsTheEnd)
{
    std::string output;
    ASSERT_EQ(tnRunShellForOutput("head -c 100000 /dev/zero | tr '\\0' x; echo end", "", &output), 0);
    TNProcess child;
    TNProcessOptions options;
    options.captureStandardOutput = true;
    ASSERT_TRUE(tnStartShell("head -c 100000 /dev/zero | tr '\\0' x; echo end", options, &child));
    tnWaitForProcess(child.pid);
    const std::string end = tnReadCapturedText(child.outputFile, 10);
    close(child.outputFile);
    EXPECT_EQ(end, "xxxxxxend\n");
    EXPECT_EQ(output.size(), 100004u);
}
