// ssh's reasons and the pieces of trusting a host key, from ssh's own texts.
#include <gtest/gtest.h>

#include <string>

#include "connection/ssh_host_keys.h"

namespace {

const char kUnknownStrict[] =
    "No ED25519 host key is known for [127.0.0.1]:2222 and you have requested strict checking.\r\n"
    "Host key verification failed.\r\n";

const char kChanged[] =
    "@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@\n"
    "@    WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED!     @\n"
    "@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@\n"
    "IT IS POSSIBLE THAT SOMEONE IS DOING SOMETHING NASTY!\n"
    "The fingerprint for the ED25519 key sent by the remote host is\n"
    "SHA256:3S7W56O8eapp8wfuhlbUwFLFXho2mg0FY16A9pIaczs.\n"
    "Offending ED25519 key in /home/u/.ssh/known_hosts:1\n"
    "Host key for [127.0.0.1]:2222 has changed and you have requested strict checking.\n"
    "Host key verification failed.\n";

} // namespace

TEST(SSHErrors, ReasonAndKindOfFailure)
{
    const struct {
        const char* what;
        std::string errors;
        TNSSHFailure kind;
        std::string text;
    } cases[] = {
        {"unknown key, strict checking", kUnknownStrict, TNSSHFailure::UnknownHostKey, "Host key verification failed."},
        {"unknown key, no terminal to ask on", "Host key verification failed.\n", TNSSHFailure::UnknownHostKey,
         "Host key verification failed."},
        {"changed key", kChanged, TNSSHFailure::ChangedHostKey,
         "WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED! Host key verification failed."},
        {"refused connection", "ssh: connect to host 127.0.0.1 port 1: Connection refused\r\n", TNSSHFailure::Other,
         "ssh: connect to host 127.0.0.1 port 1: Connection refused"},
        {"key with wrong permissions",
         "@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@\n"
         "@         WARNING: UNPROTECTED PRIVATE KEY FILE!          @\n"
         "@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@\n"
         "Permissions 0644 for '/k' are too open.\n"
         "This private key will be ignored.\n"
         "Load key \"/k\": bad permissions\n"
         "u@127.0.0.1: Permission denied (publickey).\n\n",
         TNSSHFailure::Other, "u@127.0.0.1: Permission denied (publickey)."},
        {"closing line after the reason", "channel 2: open failed\nConnection to 127.0.0.1 closed.\n",
         TNSSHFailure::Other, "channel 2: open failed"},
        {"nothing said", "\n\r\n", TNSSHFailure::Other, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tnClassifySSHFailure(c.errors), c.kind) << c.what;
        EXPECT_EQ(tnSSHFailureText(c.errors), c.text) << c.what;
    }
    // The log gets every line that says something, the warning's frame left out.
    const std::vector<std::string> lines = tnSSHErrorLines(kChanged);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED!");
    EXPECT_EQ(lines[6], "Host key verification failed.");
}

TEST(SSHHostKeys, FingerprintsKnownHostsFileAndHashing)
{
    const auto keys = tnParseFingerprints(
        "256 SHA256:3S7W56O8eapp8wfuhlbUwFLFXho2mg0FY16A9pIaczs [127.0.0.1]:2222 (ED25519)\n"
        "3072 SHA256:abcDEF+/0123 gate.example.org (RSA)\n"
        "not a key\n"
        "256 MD5:aa:bb gate (ECDSA)\n");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].type, "ED25519");
    EXPECT_EQ(keys[0].fingerprint, "SHA256:3S7W56O8eapp8wfuhlbUwFLFXho2mg0FY16A9pIaczs");
    EXPECT_EQ(keys[1].type, "RSA");

    const struct {
        std::string settings;
        std::string path;
        bool hash;
    } settings[] = {
        {"", "/home/u/.ssh/known_hosts", false},
        {"user u\nhashknownhosts yes\nuserknownhostsfile ~/.ssh/known_hosts ~/.ssh/known_hosts2\n",
         "/home/u/.ssh/known_hosts", true},
        {"userknownhostsfile /tmp/t/known_hosts\nhashknownhosts no\n", "/tmp/t/known_hosts", false},
        {"userknownhostsfile %d/.ssh/hosts\n", "/home/u/.ssh/hosts", false},
    };
    for (const auto& c : settings) {
        const TNKnownHostsFile file = tnParseKnownHostsSetting(c.settings, "/home/u");
        EXPECT_EQ(file.path, c.path) << c.settings;
        EXPECT_EQ(file.hashNames, c.hash) << c.settings;
    }

    EXPECT_FALSE(tnKnownHostsUsesHashedNames(""));
    EXPECT_FALSE(tnKnownHostsUsesHashedNames("# |1|comment\ngate ssh-ed25519 AAAA\n"));
    EXPECT_TRUE(tnKnownHostsUsesHashedNames("gate ssh-ed25519 AAAA\n|1|c2FsdA==|aGFzaA== ssh-ed25519 AAAA\n"));
}

TEST(SSHHostKeys, TheFirstAnswerCountsAndAWithdrawnQuestionStaysWithdrawn)
{
    const TNQuestionText text = tnHostKeyQuestionText("[127.0.0.1]:2222", {{"ED25519", "SHA256:xyz"}});
    EXPECT_NE(text.text.find("[127.0.0.1]:2222"), std::string::npos);
    EXPECT_NE(text.text.find("ED25519 key fingerprint:\nSHA256:xyz"), std::string::npos);
    EXPECT_STREQ(text.buttons[1], "Trust and connect");

    TNUserQuestion answered(text);
    answered.answer(1, {"user", "secret", true});
    answered.answer(0);
    EXPECT_EQ(answered.waitForAnswer([] { return true; }), 1) << "an answer given is kept";
    EXPECT_EQ(answered.credentials().password, "secret");
    EXPECT_FALSE(answered.isOpen());

    TNUserQuestion withdrawn(text);
    EXPECT_TRUE(withdrawn.isOpen());
    EXPECT_EQ(withdrawn.waitForAnswer([] { return true; }), 0);
    withdrawn.answer(1);
    EXPECT_TRUE(withdrawn.isWithdrawn());
    EXPECT_EQ(withdrawn.waitForAnswer(nullptr), 0) << "no answer after the withdrawal";
}
