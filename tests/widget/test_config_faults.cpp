// A configuration file the program cannot read or write: it starts, tells the user in a
// box, and never replaces what it could not read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "config/config.h"
#include "main_window_fixture.h"

namespace {

class ConfigFaultsTest : public TNMainWindowTest {
protected:
    void tellBoxes()
    {
        tnModalHooks().message = [this](const std::string& title, const std::string& text) {
            boxes.push_back(title + ": " + text);
        };
    }
    // A save that fails half-way: the note below is larger than the limit.
    static void saveOnAFullDisk(void (*save)()) { tnTestWithFileSizeLimit(4096, save); }
    std::vector<std::string> boxes;
};

TEST_F(ConfigFaultsTest, AFileThatCannotBeReadIsToldAndNeverWritten)
{
    struct Case {
        const char* what;
        int (*make)(const char* path);
        mode_t type;
    };
    const Case cases[] = {
        {"FIFO", [](const char* path) { return mkfifo(path, 0600); }, S_IFIFO},
        {"directory", [](const char* path) { return mkdir(path, 0700); }, S_IFDIR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir = tnTestMakeTempDir();
        tnTestFreshApp(dir);
        ASSERT_EQ(c.make(appOptions.configPathAndFile.c_str()), 0);
        // The start waited for ever on a FIFO; the alarm ends a hang as a failure.
        alarm(30);
        tnTestFreshApp(dir);
        boxes.clear();
        tellBoxes();
        static char name[] = "tandrel";
        static char* argv[] = {name, nullptr};
        testing::internal::CaptureStdout();
        tnStartUp(1, argv);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Tandrel - Could not read config file.  Using defaults, not saving\n");
        alarm(0);
        tnTestPump(0.1);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], "Tandrel - FLTK: Could not read the configuration file\n" + appOptions.configPathAndFile +
                                "\n(it is not a regular file).\n\nTandrel starts without the hosts of that file "
                                "and does not write it until it is started again, so that nothing in it is lost.");
        EXPECT_EQ(tnHostListTexts(), std::vector<std::string>{"(new connection)"});

        testing::internal::CaptureStdout();
        tnConfigWrite();
        tnPrepareShutDown();
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Tandrel ERROR - Not writing the config file, it could not be read at start-up\n"
                      "Tandrel ERROR - Not writing the config file, it could not be read at start-up\n");
        EXPECT_EQ(boxes.size(), 1u) << "the start-up box already said so";
        struct stat status {};
        ASSERT_EQ(lstat(appOptions.configPathAndFile.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & S_IFMT, c.type);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1)
            << "nothing was written beside it";
        tnTestRemoveDir(dir);
    }
    dir.clear();
}

TEST_F(ConfigFaultsTest, AFailedSaveIsToldOnceUntilASaveSucceedsAndAgainAtShutDown)
{
    startWith(tnHostBlock("alpha"));
    tellBoxes();
    const std::string before = tnTestReadFile(appOptions.configPathAndFile);
    tnItemFromLine(1)->quickNote = std::string(20000, 'n');

    saveOnAFullDisk(tnConfigWrite);
    saveOnAFullDisk(tnConfigWrite);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Tandrel - FLTK: Could not save the configuration file\n" + appOptions.configPathAndFile +
                            "\n(File too large).\n\nThe changes since the last save are not stored; the file keeps "
                            "what it held before.");
    EXPECT_EQ(tnTestReadFile(appOptions.configPathAndFile), before);

    // A save that works ends the silence.
    tnConfigWrite();
    EXPECT_EQ(boxes.size(), 1u);
    saveOnAFullDisk(tnConfigWrite);
    EXPECT_EQ(boxes.size(), 2u);

    // The last save before the program ends is always told, while the window is still there.
    bool windowShown = false;
    tnModalHooks().message = [&](const std::string& title, const std::string& text) {
        boxes.push_back(title + ": " + text);
        windowShown = app->shown();
    };
    saveOnAFullDisk(tnPrepareShutDown);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2], boxes[0]);
    EXPECT_TRUE(windowShown);
    EXPECT_NE(tnTestReadFile(appOptions.configPathAndFile).find("\nquicknote=bm5ubm5u"), std::string::npos)
        << "the successful save stays";
}

} // namespace
