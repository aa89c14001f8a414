// Start-up: the program's state, the front end and window openers it installs, the main window.
#include "startup/startup.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>

#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <list>

#include "connection/front_end.h"
#include "connection/pixel_rows.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "core/environment.h"
#include "gui/modal.h"
#include "core/options.h"
#include "commands/custom_command.h"
#include "core/descriptors.h"
#include "dialogs/about.h"
#include "dialogs/app_options.h"
#include "dialogs/connection_options.h"
#include "dialogs/remote_actions.h"
#include "gui/config_io.h"
#include "gui/front_end.h"
#include "gui/host_list.h"
#include "gui/main_loop.h"
#include "gui/main_window.h"
#include "gui/openers.h"
#include "startup/end_signals.h"
#include "viewer/remote_input.h"
#include "viewer/vnc_viewer.h"
#include "viewer/x_blit.h"

void tnSetUpState()
{
    const std::string login = tnLoginNameFromEnvironment();
    if (login.empty()) {
        fputs("Tandrel - FLTK: CRITICAL - Could not get user's login name from environment\n\nExiting\n", stdout);
        fflush(stdout);
        tnShowMessageBox("Tandrel - FLTK", "CRITICAL ERROR - Could not get user's login name from environment\n\nExiting\n");
        exit(1);
    }
    appOptions.configPath = tnConfigDirFromEnvironment(login);
    appOptions.configPathAndFile = appOptions.configPath + "tandrel-fltk.conf";
}

void tnStartUp(int argc, char** argv)
{
    tnMarkMainThread();
    // Blocks of 1 MiB and more (frame buffers, the picture a connection has while it is
    // shown) are mapped on their own and go back to the system when freed. Without a fixed
    // threshold the allocator raises it after the first such block is freed and keeps the
    // next ones in its heaps: each connection shown once and hidden again held on to its
    // picture's memory.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    tnSetFrontEnd(&tnGuiFrontEnd());
    TNWindowOpeners& openers = tnWindowOpeners();
    openers.help = tnShowAboutHelp;
    openers.itemOptions = tnShowItemOptions;
    openers.appOptions = tnShowAppOptions;
    openers.runCommand = tnRunCommand;
    tnRemoteActionsOpener = tnShowF8Window;
    // The main thread keeps the toolkit lock from here on (taken once per process).
    static bool haveLock = false;
    if (!haveLock) {
        Fl::lock();
        haveLock = true;
    }
    Fl::visual(FL_DOUBLE);
    // Servers send pixels as the display takes them, before any connection starts.
    tnSetPixelLayout(tnDisplayPixelLayout());
    tnCreateGUI();
    tnConfigReadCreateHostList();
    tnSetAppTooltips();
    if (app->hostList->size() == 0) {
        tnInsertEmptyItem();
        app->hostList->resize(app->hostList->x(), app->hostList->y(), 170, app->hostList->h());
    }
    // The toolkit keeps the name's pointer, not a copy, and may read it whenever it opens the
    // font at a new size; listFont itself can change later (the options window).
    static std::list<std::string>& listFontNames = *new std::list<std::string>();
    listFontNames.push_back(appOptions.listFont);
    Fl::set_font(31, listFontNames.back().c_str());
    app->hostList->textfont(31);
    app->hostList->textsize(appOptions.listFontSize);
    appOptions.menuFontSize = appOptions.listFontSize;
    tnCreateAppIcons(false);
    tnPositionWidgets();
    app->end();
    tnRestoreWindowSizePosition();
    app->layOut();
    app->show(argc, argv);
    // Fl::focus() refuses widgets without visible focus, which the host list is.
    app->hostList->set_visible_focus();
    Fl::focus(app->hostList);
    app->hostList->clear_visible_focus();
    signal(SIGPIPE, SIG_IGN);
    tnHandleEndSignals();
    // The toolkit's own descriptors (its wake-up pipe, the display) exist now: no program
    // started from here (a custom command, an ssh client) inherits them.
    tnMarkDescriptorsCloseOnExec();
    tnStartConnectionWatcher();
    Fl::add_clipboard_notify(tnHandleLocalClipboard, app->vncViewer);
    Fl::event_dispatch(tnDispatchEvent);
    app->layOut();
    Fl::redraw();
    Fl::wait();
}

