#include "core/app.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>

#include "config/config.h"
#include "connection/vnc_object.h"
#include "core/log.h"
#include "core/modal.h"
#include "dialogs/about.h"
#include "dialogs/remote_actions.h"
#include "gui/host_list.h"
#include "gui/main_window.h"
#include "viewer/remote_input.h"
#include "viewer/vnc_viewer.h"

namespace {

std::string firstSetVariable(std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const char* value = getenv(name);
        if (value && *value)
            return value;
    }
    return "";
}

AppState* tnCreateAppState()
{
    AppState* state = new AppState();
    const std::string login = tnLoginNameFromEnvironment();
    if (login.empty()) {
        fputs("Tandrel - FLTK: CRITICAL - Could not get user's login name from environment\n\nExiting\n", stdout);
        fflush(stdout);
        tnShowMessageBox("Tandrel - FLTK", "CRITICAL ERROR - Could not get user's login name from environment\n\nExiting\n");
        exit(1);
    }
    state->configPath = tnConfigDirFromEnvironment(login);
    state->configPathAndFile = state->configPath + "tandrel-fltk.conf";
    return state;
}

} // namespace

AppState::AppState() : libVncTag(strdup("VncObject")), mainThread(pthread_self()) {}

AppState* app = tnCreateAppState();

std::string tnLoginNameFromEnvironment()
{
    return firstSetVariable({"USER", "LOGNAME", "USERNAME"});
}

std::string tnConfigDirFromEnvironment(const std::string& loginName)
{
    const char* home = getenv("HOME");
    if (home && home[0] == '/') {
        std::string dir = home;
        if (dir.back() != '/')
            dir += '/';
        return dir + ".tandrel/";
    }
    return "/home/" + loginName + "/.tandrel/";
}

bool tnIsMainThread()
{
    return pthread_equal(pthread_self(), app->mainThread) != 0;
}

void tnStartUp(int argc, char** argv)
{
    app->mainThread = pthread_self();
    // The main thread keeps the toolkit lock from here on (taken once per process).
    static bool haveLock = false;
    if (!haveLock) {
        Fl::lock();
        haveLock = true;
    }
    Fl::visual(FL_DOUBLE);
    tnCreateGUI();
    tnConfigReadCreateHostList();
    tnSetAppTooltips();
    tnRemoteActionsOpener = tnShowF8Window;
    if (app->hostList->size() == 0) {
        tnInsertEmptyItem();
        app->hostList->resize(app->hostList->x(), app->hostList->y(), 170, app->hostList->h());
    }
    // The toolkit keeps the name's pointer, not a copy, and may read it whenever it opens the
    // font at a new size; listFont itself can change later (the options window).
    static std::list<std::string>& listFontNames = *new std::list<std::string>();
    listFontNames.push_back(app->listFont);
    Fl::set_font(31, listFontNames.back().c_str());
    app->hostList->textfont(31);
    app->hostList->textsize(app->listFontSize);
    app->menuFontSize = app->listFontSize;
    tnCreateAppIcons(false);
    tnPositionWidgets();
    app->mainWin->end();
    app->mainWin->show(argc, argv);
    // Fl::focus() refuses widgets without visible focus, which the host list is.
    app->hostList->set_visible_focus();
    Fl::focus(app->hostList);
    app->hostList->clear_visible_focus();
    signal(SIGPIPE, SIG_IGN);
    Fl::add_timeout(1.0, tnConnectionWatcher);
    Fl::add_clipboard_notify(tnHandleLocalClipboard);
    tnResizeScroller();
    Fl::redraw();
    Fl::wait();
    Fl::add_timeout(0.7, tnRestoreWindowSizePosition);
}

void tnRestoreWindowSizePosition(void*)
{
    app->mainWin->resize(app->savedX, app->savedY, app->savedW, app->savedH);
    app->mainWin->redraw();
}

void tnPrepareShutDown()
{
    app->isShuttingDown = true;
    VncObject::endAllViewers();
    tnLogToFile("--- Program shutting down ---");
    app->savedX = app->mainWin->x();
    app->savedY = app->mainWin->y();
    app->savedW = app->mainWin->w();
    app->savedH = app->mainWin->h();
    tnConfigWrite();
}

void tnHandleMainWindowEvents(Fl_Widget*, void*)
{
    // The toolkit also calls a window's callback for Escape; only a close request ends the program.
    if (Fl::event() != FL_CLOSE)
        return;
    tnPrepareShutDown();
    Fl::check();
    exit(0);
}

void tnMessageWindow(const std::string& message, const std::string& title)
{
    // The main thread already holds the toolkit lock; taking it a second time would keep
    // every worker waiting for the lock until the box is closed.
    const bool otherThread = !tnIsMainThread();
    if (otherThread)
        Fl::lock();
    tnShowMessageBox(title, message);
    if (otherThread)
        Fl::unlock();
}

void tnCloseChildWindow(Fl_Widget*, void* window)
{
    if (window)
        static_cast<Fl_Window*>(window)->hide();
    app->childWindowVisible = false;
}
