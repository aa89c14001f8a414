// The kernel's tables of TCP sockets (/proc/net/tcp and /proc/net/tcp6): which sockets
// listen on a port of this machine. Read-only: nothing connects to the port.
#pragma once

#include <set>
#include <string>

// One line of a table, as far as it is needed.
struct TNTcpTableEntry {
    std::string localAddress;   // hexadecimal, as the kernel writes it
    int localPort = 0;
    unsigned state = 0;         // 0x0A: listening
    unsigned long inode = 0;
};

// Parses one line of a table; false for the heading and anything else that is not an entry.
bool tnParseTcpTableLine(const std::string& line, TNTcpTableEntry* entry);

// The inodes of the sockets that listen on TCP `port` (IPv4 and IPv6).
std::set<unsigned long> tnListeningSocketInodes(int port);
// Whether a socket listens on TCP `port` (IPv4 or IPv6).
bool tnTcpPortIsListening(int port);

// Whether a socket can be bound to the IPv6 loopback address ::1 on this machine.
bool tnHasIPv6Loopback();
