// The kernel's TCP tables, as the tunnel and the tests read them.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/tcp_table.h"

TEST(TcpTable, LinesOfBothTables)
{
    const struct {
        const char* line;
        bool parsed;
        std::string address;
        int port;
        unsigned state;
        unsigned long inode;
    } cases[] = {
        {"  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode", false,
         "", 0, 0, 0},
        {"   0: 0100007F:157C 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 123456 1 "
         "0000000000000000 100 0 0 10 0",
         true, "0100007F", 5500, 0x0A, 123456},
        {"   3: 0100007F:A2D4 0100007F:157C 01 00000000:00000000 00:00000000 00000000  1000        0 98765 1",
         true, "0100007F", 41684, 0x01, 98765},
        {"   1: 00000000000000000000000001000000:157C 00000000000000000000000000000000:0000 0A 00000000:00000000 "
         "00:00000000 00000000  1000        0 4242 1",
         true, "00000000000000000000000001000000", 5500, 0x0A, 4242},
        {"   2: 0100007F 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 1 1", false, "", 0, 0, 0},
        {"", false, "", 0, 0, 0},
    };
    for (const auto& c : cases) {
        TNTcpTableEntry entry;
        ASSERT_EQ(tnParseTcpTableLine(c.line, &entry), c.parsed) << c.line;
        if (!c.parsed)
            continue;
        EXPECT_EQ(entry.localAddress, c.address);
        EXPECT_EQ(entry.localPort, c.port);
        EXPECT_EQ(entry.state, c.state);
        EXPECT_EQ(entry.inode, c.inode);
    }
}

TEST(TcpTable, SeesAListeningSocketAndNotAClosedOne)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    socklen_t length = sizeof(address);
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);
    EXPECT_FALSE(tnTcpPortIsListening(port));
    ASSERT_EQ(listen(fd, 1), 0);
    EXPECT_TRUE(tnTcpPortIsListening(port));
    EXPECT_EQ(tnListeningSocketInodes(port).size(), 1u);
    close(fd);
    EXPECT_FALSE(tnTcpPortIsListening(port));
}
