// Host values in custom command lines: substituted shell-quoted, so that hostile values
// reach the command as single words and run nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "config/command_placeholders.h"

namespace {

// What /bin/sh makes of `command`: its standard output.
std::string tnShellOutput(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "<popen failed>";
    std::string out;
    char buffer[256];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    pclose(pipe);
    return out;
}

TEST(CommandPlaceholders, SubstitutesOnlyItsOwnPlaceholders)
{
    const TNCommandValues values{"10.0.0.7", "5901", "Office PC", "ann"};
    const struct {
        const char* command;
        const char* expanded;
    } cases[] = {
        {"vncviewer 10.0.0.7::5901", "vncviewer 10.0.0.7::5901"},  // no '%': unchanged
        {"ping -c1 %h", "ping -c1 '10.0.0.7'"},
        {"ssh -l %u %h # %n:%p", "ssh -l 'ann' '10.0.0.7' # 'Office PC':'5901'"},
        {"date +%Y-%m-%d", "date +%Y-%m-%d"},  // not ours: left alone
        {"echo 100%%", "echo 100%"},
        {"echo %%h", "echo %h"},
        {"trailing %", "trailing %"},
        {"%h%h", "'10.0.0.7''10.0.0.7'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(tnExpandCommandPlaceholders(c.command, values), c.expanded);
    }
}

TEST(CommandPlaceholders, HostileValuesArriveAsSingleWordsAndRunNothing)
{
    char dirTemplate[] = "/tmp/tandrel-placeholders-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    const std::string marker = dir + "/ran";
    const std::string hostile[] = {
        "it's",
        "a'b\"c",
        "x; touch " + marker,
        "$(touch " + marker + ")",
        "`touch " + marker + "`",
        "line\ntouch " + marker,
        "$HOME * ?",
        "'",
        "",
        "%h %%",
    };
    for (const std::string& value : hostile) {
        SCOPED_TRACE(value);
        const TNCommandValues values{value, value, value, value};
        for (const char* placeholder : {"%h", "%p", "%n", "%u"}) {
            const std::string command =
                tnExpandCommandPlaceholders(std::string("printf '<%s>' ") + placeholder, values);
            EXPECT_EQ(tnShellOutput(command), "<" + value + ">") << command;
        }
        struct stat info;
        EXPECT_NE(stat(marker.c_str(), &info), 0) << "a value was run as a command";
    }
    rmdir(dir.c_str());
}

TEST(CommandPlaceholders, EnvironmentNamesEachValue)
{
    const TNCommandValues values{"h", "5900", "n=1", "u"};
    EXPECT_EQ(tnCommandEnvironment(values), (std::vector<std::string>{"TANDREL_HOST=h", "TANDREL_PORT=5900",
                                                                      "TANDREL_NAME=n=1", "TANDREL_SSH_USER=u"}));
}

} // namespace
