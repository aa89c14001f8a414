// The configuration file on disk: reading it into app and the host list, writing it back.
#include <FL/Fl_Hold_Browser.H>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "config/config.h"
#include "config/host_item.h"
#include "core/app.h"
#include "core/log.h"

namespace {

bool writeAll(int fd, const std::string& text)
{
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

// Makes a finished rename survive a crash; a failure here leaves a correct file behind.
void syncDirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

} // namespace

bool tnWriteFileAtomically(const std::string& path, const std::string& text)
{
    // A file that this process may not write stays as it is, as it would with a rewrite in
    // place: renaming over it would get round its permissions (a file made read-only, or one
    // left behind by another user) and drop hosts that could not even be read at start-up.
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        return false;
    std::string temporary = path + ".XXXXXX";
    // mkostemp creates the file with mode 0600; it holds passwords, so keep it that way.
    const int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, 0600) == 0 && writeAll(fd, text) && fsync(fd) == 0;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(temporary.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    syncDirectoryOf(path);
    return true;
}

void tnConfigCreateNewDir()
{
    struct stat status;
    if (stat(app->configPath.c_str(), &status) == 0)
        return;
    if (mkdir(app->configPath.c_str(), 0700) != 0) {
        fputs("Tandrel - ERROR - Cannot create config file directory\n", stdout);
        fflush(stdout);
        exit(255);
    }
}

void tnConfigReadCreateHostList()
{
    app->hostList->clear();
    std::ifstream in(app->configPathAndFile, std::ios::binary);
    if (!in.is_open()) {
        fputs("Tandrel - Could not open config file.  Using defaults\n", stdout);
        fflush(stdout);
        tnConfigCreateNewDir();
        return;
    }
    for (const TNConfigLine& line : tnConfigParse(in, *app))
        app->hostList->add(line.text.c_str(), line.item);
    tnLogToFile("--- Program started up ---");
}

void tnConfigWrite()
{
    // A save requested while one is under way (a dialog callback during the write) is dropped.
    static bool isWriting = false;
    if (isWriting)
        return;
    isWriting = true;

    std::vector<const HostItem*> hosts;
    if (app->hostList) {
        const int lineCount = app->hostList->size();
        hosts.reserve(static_cast<size_t>(lineCount));
        for (int line = 1; line <= lineCount; ++line) {
            const HostItem* item = static_cast<const HostItem*>(app->hostList->data(line));
            if (item && !item->isListener)
                hosts.push_back(item);
        }
    }
    if (!tnWriteFileAtomically(app->configPathAndFile, tnConfigSerialize(*app, hosts))) {
        fputs("Tandrel ERROR - Could not open config file for writing\n", stdout);
        fflush(stdout);
    }
    isWriting = false;
}
