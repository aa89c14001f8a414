// tn_port_listening PORT: exit status 0 when a socket listens on TCP PORT of this machine
// (IPv4 or IPv6), 1 when none does, 2 for a bad argument. For the end-to-end scripts.
#include <cstdlib>

#include "core/tcp_table.h"

int main(int argc, char** argv)
{
    char* end = nullptr;
    const long port = argc == 2 ? strtol(argv[1], &end, 10) : -1;
    if (port <= 0 || port > 65535 || *end != '\0')
        return 2;
    return tnTcpPortIsListening(static_cast<int>(port)) ? 0 : 1;
}
