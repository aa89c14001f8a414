// The configuration file on disk: reading it into the options and the host list, writing it back.
#include "gui/config_io.h"

#include <FL/Fl_Hold_Browser.H>

#include <cstdio>
#include <sstream>
#include <vector>

#include "config/config.h"
#include "config/host_item.h"
#include "config/host_list_model.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "core/log.h"
#include "gui/modal.h"
#include "core/options.h"
#include "gui/host_list.h"

void tnCreateConfigDirOrExit()
{
    const std::string reason = tnConfigCreateNewDir();
    if (reason.empty())
        return;
    fputs("Tandrel - ERROR - Cannot create config file directory\n", stdout);
    fflush(stdout);
    tnMessageWindow("Could not create the configuration directory\n" + appOptions.configPath + "\n(" + reason +
                        ").\n\nExiting",
                    "Tandrel - FLTK");
    exit(255);
}

void tnConfigReadCreateHostList()
{
    tnClearHostList();
    const TNConfigFileText file = tnReadConfigFile(appOptions.configPathAndFile);
    if (file.status == TNConfigReadStatus::Missing) {
        fputs("Tandrel - Could not open config file.  Using defaults\n", stdout);
        fflush(stdout);
        tnCreateConfigDirOrExit();
        return;
    }
    if (file.status == TNConfigReadStatus::Failed) {
        // Whatever the file holds is still there; a save would replace it with an empty list.
        app->configFileUnread = true;
        fputs("Tandrel - Could not read config file.  Using defaults, not saving\n", stdout);
        fflush(stdout);
        tnMessageWindow("Could not read the configuration file\n" + appOptions.configPathAndFile + "\n(" + file.reason +
                            ").\n\nTandrel starts without the hosts of that file and does not write it until it is "
                            "started again, so that nothing in it is lost.",
                        "Tandrel - FLTK");
        return;
    }
    std::istringstream in(file.text);
    for (const TNConfigLine& line : tnConfigParse(in, appOptions)) {
        if (line.item)
            tnAddHostLine(std::shared_ptr<HostItem>(line.item));
        else
            tnAddSeparatorLine(line.text);
    }
    tnLogToFile("--- Program started up ---");
}

void tnConfigWrite()
{
    // A save requested while one is under way (a dialog callback during the write) is dropped.
    static bool isWriting = false;
    if (isWriting)
        return;
    if (app->configFileUnread) {
        fputs("Tandrel ERROR - Not writing the config file, it could not be read at start-up\n", stdout);
        fflush(stdout);
        return;
    }
    isWriting = true;

    std::vector<const HostItem*> hosts;
    for (const HostItem* item : tnHostList().hosts()) {
        if (!item->isListener)
            hosts.push_back(item);
    }
    std::string reason;
    const bool written = tnWriteFileAtomically(appOptions.configPathAndFile, tnConfigSerialize(appOptions, hosts), &reason);
    isWriting = false;
    if (written) {
        app->saveFailureTold = false;
        return;
    }
    fputs("Tandrel ERROR - Could not open config file for writing\n", stdout);
    fflush(stdout);
    // Told once until a save succeeds again, and always by the last save before the program ends.
    if (app->saveFailureTold && !engine.isShuttingDown)
        return;
    app->saveFailureTold = true;
    tnMessageWindow("Could not save the configuration file\n" + appOptions.configPathAndFile + "\n(" + reason +
                        ").\n\nThe changes since the last save are not stored; the file keeps what it held before.",
                    "Tandrel - FLTK");
}
