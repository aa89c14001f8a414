#include "app_fixture.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "gui/main_window.h"
#include "connection/vnc_object.h"
#include "gui/modal.h"
#include "core/options.h"
#include "gui/main_loop.h"
#include "gui/main_window.h"
#include "startup/startup.h"

std::string tnTestMakeTempDir()
{
    char pattern[] = "/tmp/tandrel-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? std::string(made) + "/" : std::string();
}

void tnTestRemoveDir(const std::string& dir)
{
    if (dir.rfind("/tmp/tandrel-test-", 0) != 0)
        return;
    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) {
    }
}

void tnTestFreshApp(const std::string& configDir)
{
    if (app)
        app->hide();
    tnStopConnectionWatcher();
    // Earlier windows stay reachable: their widgets may still be referenced by the toolkit.
    static std::vector<TNMainWindow*>& earlierWindows = *new std::vector<TNMainWindow*>();
    if (app)
        earlierWindows.push_back(app);
    app = nullptr;
    appOptions = AppOptions();
    appOptions.configPath = configDir;
    if (appOptions.configPath.empty() || appOptions.configPath.back() != '/')
        appOptions.configPath += '/';
    appOptions.configPathAndFile = appOptions.configPath + "tandrel-fltk.conf";
    engine = TNEngineState();
    tnModalHooks() = TNModalHooks();
    // A fresh main window, built (not shown) with the fresh options.
    tnCreateGUI();
}

void tnTestStartApp(const std::string& configDir, const std::string* configText)
{
    tnTestFreshApp(configDir);
    if (configText)
        tnTestWriteFile(appOptions.configPathAndFile, *configText);
    static char name[] = "tandrel";
    static char* argv[] = {name, nullptr};
    tnStartUp(1, argv);
    tnTestPump(0.1);
}

void tnTestPump(double seconds)
{
    tnTestPumpUntil([] { return false; }, seconds);
}

std::string tnTestReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void tnTestWriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string tnTestWithFileSizeLimit(long bytes, const std::function<void()>& step)
{
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(bytes);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    testing::internal::CaptureStdout();
    step();
    const std::string said = testing::internal::GetCapturedStdout();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    return said;
}
