#include "config/command_placeholders.h"

#include "config/host_item.h"

TNCommandValues tnCommandValuesOf(const HostItem& itm)
{
    return TNCommandValues{itm.hostAddress, itm.vncPort, itm.name, itm.sshUser};
}

std::string tnShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string tnExpandCommandPlaceholders(const std::string& command, const TNCommandValues& values)
{
    std::string out;
    out.reserve(command.size());
    for (size_t i = 0; i < command.size(); i++) {
        if (command[i] != '%' || i + 1 == command.size()) {
            out += command[i];
            continue;
        }
        const std::string* value = nullptr;
        switch (command[i + 1]) {
        case 'h':
            value = &values.address;
            break;
        case 'p':
            value = &values.port;
            break;
        case 'n':
            value = &values.name;
            break;
        case 'u':
            value = &values.sshUser;
            break;
        case '%':
            out += '%';
            i++;
            continue;
        default:
            out += '%';
            continue;
        }
        out += tnShellQuote(*value);
        i++;
    }
    return out;
}

std::vector<std::string> tnCommandEnvironment(const TNCommandValues& values)
{
    return {"TANDREL_HOST=" + values.address, "TANDREL_PORT=" + values.port, "TANDREL_NAME=" + values.name,
            "TANDREL_SSH_USER=" + values.sshUser};
}
