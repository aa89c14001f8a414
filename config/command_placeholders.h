// The host's values in a custom command line: %h (address), %p (VNC port), %n (name),
// %u (SSH user) and %% (a percent sign), each value shell-quoted so that it reaches the
// command as one word and nothing in it is run; the same values are in the command's
// environment.
#pragma once

#include <string>
#include <vector>

class HostItem;

struct TNCommandValues {
    std::string address;
    std::string port;
    std::string name;
    std::string sshUser;
};

TNCommandValues tnCommandValuesOf(const HostItem& itm);

// `text` as one word of /bin/sh: in single quotes, each quote written as '\''.
std::string tnShellQuote(const std::string& text);

// `command` with its placeholders replaced; a '%' before any other character (or at the
// end) stays as it is, so a command line without placeholders is unchanged.
std::string tnExpandCommandPlaceholders(const std::string& command, const TNCommandValues& values);

// "TANDREL_HOST=…", "TANDREL_PORT=…", "TANDREL_NAME=…", "TANDREL_SSH_USER=…".
std::vector<std::string> tnCommandEnvironment(const TNCommandValues& values);
