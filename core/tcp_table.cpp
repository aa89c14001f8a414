#include "core/tcp_table.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned tnTcpListen = 0x0A;

} // namespace

bool tnParseTcpTableLine(const std::string& line, TNTcpTableEntry* entry)
{
    char local[128] = {0};
    unsigned state = 0;
    unsigned long inode = 0;
    // sl: local rem st tx:rx tr:when retrnsmt uid timeout inode
    if (sscanf(line.c_str(), " %*d: %127s %*s %x %*s %*s %*s %*s %*s %lu", local, &state, &inode) != 3)
        return false;
    const char* colon = strrchr(local, ':');
    if (!colon || colon == local)
        return false;
    char* end = nullptr;
    const long port = strtol(colon + 1, &end, 16);
    if (end == colon + 1 || *end != '\0' || port < 0 || port > 65535)
        return false;
    entry->localAddress.assign(local, static_cast<size_t>(colon - local));
    entry->localPort = static_cast<int>(port);
    entry->state = state;
    entry->inode = inode;
    return true;
}

std::set<unsigned long> tnListeningSocketInodes(int port)
{
    std::set<unsigned long> inodes;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        FILE* file = fopen(table, "re");
        if (!file)
            continue;
        char line[512];
        while (fgets(line, sizeof(line), file)) {
            TNTcpTableEntry entry;
            if (tnParseTcpTableLine(line, &entry) && entry.state == tnTcpListen && entry.localPort == port &&
                entry.inode != 0)
                inodes.insert(entry.inode);
        }
        fclose(file);
    }
    return inodes;
}

bool tnTcpPortIsListening(int port)
{
    return !tnListeningSocketInodes(port).empty();
}

bool tnHasIPv6Loopback()
{
    const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return bound;
}
