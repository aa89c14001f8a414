// The file of certificates the user chose to trust: its lines, lookups, writes and a file
// that is damaged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "config/trust_store.h"

namespace {

// A fingerprint whose every byte is `byte` ("AA:AA:…").
std::string fingerprintOf(const char* byte)
{
    std::string text = byte;
    for (int i = 1; i < 32; i++)
        text += std::string(":") + byte;
    return text;
}

const std::string kA = fingerprintOf("AA");
const std::string kB = fingerprintOf("0B");

class TrustFile : public ::testing::Test {
protected:
    std::string dir;
    std::string path;

    void SetUp() override
    {
        char pattern[] = "/tmp/tandrel-trust-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/" + tnTrustStoreFileName;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string read() const
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void write(const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }
};

} // namespace

TEST(TrustStoreText, LinesThatNameAHostAndLinesThatDoNot)
{
    struct Case {
        std::string line;
        std::string address;   // "" when the line names no certificate
        int port;
    };
    const Case cases[] = {
        {"127.0.0.1 5961 " + kA, "127.0.0.1", 5961},
        {"::1 0 " + kA, "::1", 0},
        {"  host.example\t5900   " + kA + "  ", "host.example", 5900},
        {"host 65535 " + kA, "host", 65535},
        {"host 65536 " + kA, "", 0},
        {"host -1 " + kA, "", 0},
        {"host +5 " + kA, "", 0},
        {"host 59x0 " + kA, "", 0},
        {"host 5900", "", 0},
        {"host 5900 " + kA + " extra", "", 0},
        {"host 5900 " + fingerprintOf("aa"), "", 0},           // lower case
        {"host 5900 " + kA.substr(3), "", 0},                  // 31 bytes
        {"host 5900 " + kA.substr(0, 92) + "-AA", "", 0},      // wrong separator
        {"", "", 0},
        {"# a note", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto lines = tnParseTrustStore(c.line);
        ASSERT_EQ(lines.size(), c.line.empty() ? 0u : 1u);
        if (c.line.empty())
            continue;
        EXPECT_EQ(lines[0].text, c.line);
        EXPECT_EQ(lines[0].certificate.address, c.address);
        if (!c.address.empty()) {
            EXPECT_EQ(lines[0].certificate.port, c.port);
            EXPECT_EQ(lines[0].certificate.fingerprint, kA);
        }
    }
}

TEST(TrustStoreText, StoringReplacesTheHostsLineInPlaceAndKeepsEverythingElse)
{
    const std::string text = "a 1 " + kA + "\n# kept as it is\nb 2 " + kA + "\nbroken line\na 1 " + kB + "\n";
    // Lookup: the first line of a host and port counts; the port is part of the key.
    const auto lines = tnParseTrustStore(text);
    EXPECT_EQ(tnStoredFingerprint(lines, "a", 1), kA);
    EXPECT_EQ(tnStoredFingerprint(lines, "a", 2), "");
    EXPECT_EQ(tnStoredFingerprint(lines, "b", 2), kA);
    EXPECT_EQ(tnStoredFingerprint(lines, "c", 1), "");

    std::string replaced = text;
    ASSERT_TRUE(tnStoreInTrustText(replaced, {"a", 1, kB}));
    EXPECT_EQ(replaced, "a 1 " + kB + "\n# kept as it is\nb 2 " + kA + "\nbroken line\n");
    std::string added = "b 2 " + kA;   // no final line feed
    ASSERT_TRUE(tnStoreInTrustText(added, {"c", 5900, kB}));
    EXPECT_EQ(added, "b 2 " + kA + "\nc 5900 " + kB + "\n");

    // What cannot stand on a line is not stored.
    for (const TNTrustedCertificate& bad : {TNTrustedCertificate{"", 1, kA}, TNTrustedCertificate{"a b", 1, kA},
                                            TNTrustedCertificate{"a\n", 1, kA}, TNTrustedCertificate{"a", 70000, kA},
                                            TNTrustedCertificate{"a", 1, "AA"}}) {
        std::string unchanged = text;
        EXPECT_FALSE(tnStoreInTrustText(unchanged, bad)) << bad.address;
        EXPECT_EQ(unchanged, text);
    }
}

TEST_F(TrustFile, WrittenWithMode0600AndReadBack)
{
    EXPECT_EQ(tnReadTrustedFingerprint(path, "host", 5900), "") << "no file: nothing trusted";
    const mode_t oldMask = umask(0);
    std::string reason;
    const bool written = tnWriteTrustedCertificate(path, {"host", 5900, kA}, &reason);
    umask(oldMask);
    ASSERT_TRUE(written) << reason;
    ASSERT_TRUE(tnWriteTrustedCertificate(path, {"::1", 5901, kB}, &reason)) << reason;
    ASSERT_TRUE(tnWriteTrustedCertificate(path, {"host", 5900, kB}, &reason)) << reason;
    EXPECT_EQ(read(), "host 5900 " + kB + "\n::1 5901 " + kB + "\n");
    EXPECT_EQ(tnReadTrustedFingerprint(path, "host", 5900), kB);
    EXPECT_EQ(tnReadTrustedFingerprint(path, "::1", 5901), kB);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1)
        << "a temporary file was left behind";
}

TEST_F(TrustFile, ADamagedFileTrustsOnlyItsGoodLinesAndKeepsTheRest)
{
    // Binary garbage, a line cut short, NUL bytes and no final line feed.
    const std::string damaged = std::string("\x01\xff\xfe garbage\nhost 5900 ") + kA.substr(0, 40) + "\nok 1 " + kA +
                                std::string("\n\0\0 5900 ", 8) + kB;
    write(damaged);
    EXPECT_EQ(tnReadTrustedFingerprint(path, "host", 5900), "");
    EXPECT_EQ(tnReadTrustedFingerprint(path, "ok", 1), kA);
    std::string reason;
    ASSERT_TRUE(tnWriteTrustedCertificate(path, {"host", 5900, kB}, &reason)) << reason;
    EXPECT_EQ(read(), damaged + "\nhost 5900 " + kB + "\n");
    EXPECT_EQ(tnReadTrustedFingerprint(path, "host", 5900), kB);

    // Something that is not a regular file in its place is neither read nor replaced.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(tnReadTrustedFingerprint(path, "ok", 1), "");
    EXPECT_FALSE(tnWriteTrustedCertificate(path, {"host", 5900, kB}, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(std::filesystem::is_directory(path));
}
