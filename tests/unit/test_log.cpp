#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/options.h"
#include "core/log.h"
#include "core/log_text.h"

namespace {

// Points the options at a configuration directory that is a new temporary one.
class EventLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tandrel-log-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = std::string(pattern) + "/";
        saved = appOptions;
        appOptions.configPath = dir;
        appOptions.logToFile = true;
    }
    void TearDown() override
    {
        appOptions = saved;
        std::filesystem::remove_all(dir);
    }
    std::string logText() const
    {
        std::ifstream in(dir + "tandrel-fltk.log", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool logExists() const { return std::filesystem::exists(dir + "tandrel-fltk.log"); }

    std::string dir;
    AppOptions saved;
};

const std::string kStamp = "[0-9]{4}-[0-9]{2}-[0-9]{2}--[0-9]{2}:[0-9]{2}:[0-9]{2}";

} // namespace

// Every entry is one line, whatever its text holds: what a server says cannot forge a line
// or reach a terminal as an escape sequence.
TEST(LogFormat, EveryEntryIsOneLineWithItsControlCharactersEscaped)
{
    const struct {
        std::string message;
        std::string line;
    } cases[] = {
        {"Connected to 'office' - 10.0.0.5", "S- Connected to 'office' - 10.0.0.5\n"},
        {"ends with a feed\n", "S- ends with a feed\n"},
        {"ends with two\r\n\n", "S- ends with two\n"},
        {"VNC connection failed: x\n2026-01-01--00:00:00- Connected to 'bank'",
         "S- VNC connection failed: x\\x0a2026-01-01--00:00:00- Connected to 'bank'\n"},
        {"title \x1b]0;owned\x07 red \x1b[31m", "S- title \\x1b]0;owned\\x07 red \\x1b[31m\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tnFormatLogLine("S", c.message), c.line) << c.message;
    // Cut at the longest entry.
    EXPECT_EQ(tnFormatLogLine("S", std::string(5000, 'x')), "S- " + std::string(tnMaxLogEntry, 'x') + "\n");
}

TEST(LogFormat, TimeStampForms)
{
    EXPECT_TRUE(std::regex_match(tnMakeTimeStamp(true), std::regex(kStamp))) << tnMakeTimeStamp(true);
    EXPECT_TRUE(std::regex_match(tnMakeTimeStamp(false),
                                 std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}  [0-9]{2}:[0-9]{2}:[0-9]{2}")))
        << tnMakeTimeStamp(false);
}

TEST_F(EventLog, AppendsStampedLinesToTheFileInTheConfigDirectory)
{
    EXPECT_EQ(tnLogFilePath(), dir + "/tandrel-fltk.log");
    tnLogToFile("first");
    tnLogToFile("");   // never written
    tnLogToFile("half\nline");
    tnLogToFile("second");
    EXPECT_TRUE(std::regex_match(logText(), std::regex(kStamp + "- first\n" + kStamp + "- half\\\\x0aline\n" + kStamp +
                                                       "- second\n")))
        << logText();
}

TEST_F(EventLog, DebugLinesNeedBothOptions)
{
    appOptions.debugMode = false;
    tnDebugLog("tnQuiet - not written");
    EXPECT_FALSE(logExists());

    appOptions.debugMode = true;
    tnDebugLog("tnResizeScroller");
    EXPECT_TRUE(std::regex_match(logText(), std::regex(kStamp + "- DEBUG - tnResizeScroller\n"))) << logText();
}

TEST_F(EventLog, LoggingOffCreatesNoFile)
{
    appOptions.logToFile = false;
    appOptions.debugMode = true;
    tnLogToFile("--- Program started up ---");
    tnDebugLog("tnSomething - step");
    EXPECT_FALSE(logExists());
}

TEST_F(EventLog, UnwritableLogIsReportedOnStandardOutput)
{
    appOptions.configPath = dir + "missing/";
    testing::internal::CaptureStdout();
    tnLogToFile("lost");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Tandrel ERROR - Could not open log file for writing\n");
}

TEST_F(EventLog, LinesFromSeveralThreadsNeverInterleave)
{
    constexpr int kThreads = 6;
    constexpr int kLines = 300;
    const std::string padding(400, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &padding] {
            for (int n = 0; n < kLines; ++n)
                tnLogToFile("thread " + std::to_string(t) + " line " + std::to_string(n) + " " + padding);
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    const std::regex whole(kStamp + "- thread ([0-9]+) line ([0-9]+) x{400}");
    std::istringstream lines(logText());
    std::set<std::pair<int, int>> seen;
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, whole)) << line.substr(0, 120);
        EXPECT_TRUE(seen.emplace(std::stoi(match[1]), std::stoi(match[2])).second) << line.substr(0, 60);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

// Anything in the log's place that is not a regular file is left alone and named on standard
// error: a FIFO (whose open would wait for a reader), a directory, and a symbolic link, even
// one to a regular file (it would redirect the appends).
TEST_F(EventLog, ALogPathThatIsNotARegularFileIsRefusedOnStandardError)
{
    const std::string path = dir + "tandrel-fltk.log";
    const std::string refusal =
        "Tandrel ERROR - The log file " + tnLogFilePath() + " is not a regular file: nothing is logged\n";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    // Opening a FIFO for writing waits for a reader; the alarm ends a hang as a failure.
    EXPECT_EXIT(
        {
            alarm(10);
            tnLogToFile("line");
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "is not a regular file: nothing is logged");
    std::filesystem::remove(path);

    std::filesystem::create_directory(path);
    testing::internal::CaptureStderr();
    tnLogToFile("line");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), refusal);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    std::filesystem::remove(path);

    const std::string target = dir + "elsewhere";
    std::ofstream(target) << "kept\n";
    std::filesystem::create_symlink(target, path);
    testing::internal::CaptureStderr();
    tnLogToFile("line");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), refusal);
    std::ifstream in(target);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "kept\n");
}
