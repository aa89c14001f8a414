#include "core/environment.h"

#include <cstdlib>
#include <initializer_list>

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

} // namespace

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
