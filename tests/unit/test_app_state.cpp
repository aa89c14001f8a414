// The login name and the configuration directory, as the state object's creation finds them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "core/environment.h"

namespace {

// Sets (or, with nullopt, unsets) environment variables and puts them back afterwards.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const std::map<std::string, std::optional<std::string>>& values)
    {
        for (const auto& [name, value] : values) {
            const char* old = getenv(name.c_str());
            saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
            apply(name, value);
        }
    }
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : saved)
            apply(name, value);
    }

private:
    static void apply(const std::string& name, const std::optional<std::string>& value)
    {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    std::map<std::string, std::optional<std::string>> saved;
};

} // namespace

TEST(AppStatePaths, LoginNameAndConfigurationDirectory)
{
    using Value = std::optional<std::string>;
    const struct {
        const char* what;
        Value user, logname, username, home;
        const char* login;
        const char* dir;
    } cases[] = {
        {"USER first", "ann", "bob", "cid", "/home/ann", "ann", "/home/ann/.tandrel/"},
        {"empty USER, unset LOGNAME", "", std::nullopt, "cid", std::nullopt, "cid", "/home/cid/.tandrel/"},
        {"LOGNAME before USERNAME", std::nullopt, "bob", "cid", std::nullopt, "bob", "/home/bob/.tandrel/"},
        {"none set", "", "", std::nullopt, "/root", "", nullptr},
        {"HOME with a trailing slash", "ann", std::nullopt, std::nullopt, "/srv/ann/", "ann", "/srv/ann/.tandrel/"},
        {"HOME is the root", "ann", std::nullopt, std::nullopt, "/", "ann", "/.tandrel/"},
        {"empty HOME", "ann", std::nullopt, std::nullopt, "", "ann", "/home/ann/.tandrel/"},
        {"relative HOME", "ann", std::nullopt, std::nullopt, "ann-home", "ann", "/home/ann/.tandrel/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedEnvironment environment(
            {{"USER", c.user}, {"LOGNAME", c.logname}, {"USERNAME", c.username}, {"HOME", c.home}});
        const std::string login = tnLoginNameFromEnvironment();
        EXPECT_EQ(login, c.login);
        if (c.dir) {
            EXPECT_EQ(tnConfigDirFromEnvironment(login), c.dir);
        }
    }
}
