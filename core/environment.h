// What the program takes from its environment at start-up.
#pragma once

#include <string>

// Login name from USER, LOGNAME, USERNAME (the first set and non-empty); "" when none is.
std::string tnLoginNameFromEnvironment();
// Configuration directory, with a trailing slash: $HOME/.tandrel/ when HOME is set,
// non-empty and absolute, else /home/<login>/.tandrel/.
std::string tnConfigDirFromEnvironment(const std::string& loginName);
