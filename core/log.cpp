#include "core/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "core/log_text.h"
#include "core/options.h"

std::string tnMakeTimeStamp(bool forLog)
{
    char buffer[50] = {0};
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(buffer, sizeof(buffer), forLog ? "%Y-%m-%d--%H:%M:%S" : "%Y-%m-%d  %H:%M:%S", &local);
    return buffer;
}

std::string tnLogFilePath()
{
    char path[2048];
    snprintf(path, sizeof(path), "%s/tandrel-fltk.log", appOptions.configPath.c_str());
    return path;
}

std::string tnFormatLogLine(const std::string& stamp, const std::string& message)
{
    size_t end = message.size();
    while (end > 0 && (message[end - 1] == '\n' || message[end - 1] == '\r'))
        end--;
    return stamp + "- " + tnSanitisedText(message.substr(0, end)) + "\n";
}

void tnLogToFile(const std::string& message)
{
    if (!appOptions.logToFile || message.empty())
        return;
    // Only a regular file is written: O_NOFOLLOW refuses a symbolic link in its place (which
    // would redirect the appends), O_NONBLOCK keeps the open of a FIFO from waiting for a
    // reader for ever, and whatever else stands in the file's place is left alone.
    const std::string path = tnLogFilePath();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW, 0600);
    // Something that is there and is not a regular file (a link, a FIFO, a directory) is
    // refused with its own message, whether or not it could be opened.
    struct stat status;
    const bool notRegular = fd >= 0 ? fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
                                    : lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
    if (notRegular) {
        if (fd >= 0)
            close(fd);
        fputs(("Tandrel ERROR - The log file " + path + " is not a regular file: nothing is logged\n").c_str(),
              stderr);
        return;
    }
    if (fd < 0) {
        fputs("Tandrel ERROR - Could not open log file for writing\n", stdout);
        fflush(stdout);
        return;
    }
    // One write in append mode, so lines from different threads never interleave.
    const std::string line = tnFormatLogLine(tnMakeTimeStamp(true), message);
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t written = write(fd, data, left);
        if (written <= 0)
            break;
        data += written;
        left -= static_cast<size_t>(written);
    }
    close(fd);
}

void tnDebugLog(const std::string& message)
{
    if (appOptions.debugMode)
        tnLogToFile("DEBUG - " + message);
}
