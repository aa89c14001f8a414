// What the host list opens or starts that lives in a higher layer (the dialogs, the custom
// command runner). Start-up installs the functions; a null one does nothing.
#pragma once

#include <string>

class HostItem;

struct TNOpeners {
    // The connection options window for a host, or for a new host (null).
    void (*itemOptions)(HostItem* itm) = nullptr;
    void (*appOptions)() = nullptr;
    void (*aboutHelp)() = nullptr;
    // Runs a host's custom command (label, command line).
    void (*runCommand)(const std::string& label, const std::string& command) = nullptr;
};
TNOpeners& tnOpeners();
