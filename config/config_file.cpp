// The configuration file on disk: reading its text, replacing it safely.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "config/config.h"
#include "config/host_item.h"
#include "core/options.h"

namespace {

const char kNotRegularFile[] = "it is not a regular file";

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

bool tnWriteFileAtomically(const std::string& path, const std::string& text, std::string* reason)
{
    auto fail = [reason](const std::string& why) {
        if (reason)
            *reason = why;
        return false;
    };
    // A file that this process may not write stays as it is, as it would with a rewrite in
    // place: renaming over it would get round its permissions (a file made read-only, or one
    // left behind by another user) and drop hosts that could not even be read at start-up.
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        return fail(strerror(errno));
    // Nor is anything but a regular file replaced (a FIFO, a directory, a device).
    struct stat status;
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        return fail(kNotRegularFile);
    std::string temporary = path + ".XXXXXX";
    // mkostemp creates the file with mode 0600; it holds passwords, so keep it that way.
    const int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0)
        return fail(strerror(errno));
    int error = 0;
    if (fchmod(fd, 0600) != 0 || !writeAll(fd, text) || fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        return fail(strerror(error));
    }
    syncDirectoryOf(path);
    return true;
}

TNConfigFileText tnReadConfigFile(const std::string& path)
{
    TNConfigFileText file;
    // Without O_NONBLOCK the open of a FIFO would wait for a writer for ever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        file.status = errno == ENOENT ? TNConfigReadStatus::Missing : TNConfigReadStatus::Failed;
        file.reason = strerror(errno);
        return file;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        file.status = TNConfigReadStatus::Failed;
        file.reason = kNotRegularFile;
        close(fd);
        return file;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            file.status = TNConfigReadStatus::Failed;
            file.reason = strerror(errno);
            file.text.clear();
            break;
        }
        if (got == 0)
            break;
        file.text.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return file;
}

std::string tnConfigCreateNewDir()
{
    struct stat status;
    if (stat(appOptions.configPath.c_str(), &status) == 0)
        return "";
    if (mkdir(appOptions.configPath.c_str(), 0700) != 0)
        return strerror(errno);
    return "";
}
