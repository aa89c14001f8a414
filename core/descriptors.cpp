#include "core/descriptors.h"

#include <dirent.h>
#include <fcntl.h>

#include <cstdlib>
#include <vector>

void tnMarkDescriptorsCloseOnExec()
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    std::vector<int> open;
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && fd > 2 && fd != dirfd(dir))
            open.push_back(static_cast<int>(fd));
    }
    closedir(dir);
    for (const int fd : open) {
        const int flags = fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

bool tnIsCloseOnExec(int fd)
{
    const int flags = fcntl(fd, F_GETFD);
    return flags >= 0 && (flags & FD_CLOEXEC);
}
