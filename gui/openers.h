// The windows of the dialogs layer that the main window opens (Help and the like): start-up
// installs the openers, so that nothing here depends on the dialogs.
#pragma once

#include <functional>

struct TNWindowOpeners {
    // The About/Help window.
    std::function<void()> help;
};

inline TNWindowOpeners& tnWindowOpeners()
{
    static TNWindowOpeners openers;
    return openers;
}
