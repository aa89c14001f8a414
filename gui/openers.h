// The windows of the dialogs layer that the main window opens, and the custom command
// runner that the host list starts: start-up installs the openers, so that nothing here
// depends on the dialogs or the commands. An opener that is not installed does nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

class HostItem;

struct TNWindowOpeners {
    // The About/Help window.
    std::function<void()> help;
    // The connection options window for a host, or for a new host (null).
    std::function<void(HostItem*)> itemOptions;
    // The application options window.
    std::function<void()> appOptions;
    // Runs a host's custom command (label, command line, variables added to its environment).
    std::function<void(const std::string& label, const std::string& command,
                       const std::vector<std::string>& environment)>
        runCommand;
};

inline TNWindowOpeners& tnWindowOpeners()
{
    static TNWindowOpeners openers;
    return openers;
}
