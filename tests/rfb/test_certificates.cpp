// Servers with certificates (VeNCrypt X509 types): TigerVNC's Xvnc with certificates made
// for each test, the program's authority file pointed at a test authority; the user's
// answers given through the modal-box hook or the real window. Also a server that asks for
// no password though one is stored.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "config/trust_store.h"
#include "connection/certificates.h"
#include "gui/quick_info.h"
#include "rfb/rfb_fixture.h"

namespace {

std::string tnToolPath(const char* name)
{
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/../tools/" + name;
}

// A free TCP port of 127.0.0.1 (free when asked; the server binds it right after).
int tnFreePort()
{
    const int fd = tnTestBindPort(0);
    sockaddr_in address{};
    socklen_t length = sizeof(address);
    const int port = fd >= 0 && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0
                         ? ntohs(address.sin_port)
                         : 0;
    if (fd >= 0)
        close(fd);
    return port;
}

// The SHA-256 fingerprint of a PEM certificate, as openssl prints it ("AB:CD:…").
std::string tnFingerprintOf(const std::string& pem)
{
    FILE* out = popen(("openssl x509 -noout -fingerprint -sha256 -in '" + pem + "'").c_str(), "r");
    if (!out)
        return "";
    char line[256] = "";
    const bool read = fgets(line, sizeof(line), out) != nullptr;
    pclose(out);
    const char* equals = read ? strchr(line, '=') : nullptr;
    std::string text = equals ? equals + 1 : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// TigerVNC's Xvnc on one port of 127.0.0.1 with the X509 types first, VNC password
// "secret12"; restarted with another certificate on the same port.
class TNTestXvnc {
public:
    explicit TNTestXvnc(const std::string& directory) : dir(directory), port(tnFreePort()) {}
    ~TNTestXvnc() { stop(); }

    // False with `why` set when it did not listen within 15 s.
    bool start(const std::string& certificate, std::string* why)
    {
        stop();
        const std::string password = dir + "/vncpw";
        if (system(("echo secret12 | vncpasswd -f > '" + password + "'").c_str()) != 0) {
            *why = "vncpasswd failed";
            return false;
        }
        // A display number that no other X server of this machine holds; a race with a
        // test running beside this one makes Xvnc end at once, and the next number is tried.
        for (int display = 70; display < 100; display++) {
            if (access(("/tmp/.X11-unix/X" + std::to_string(display)).c_str(), F_OK) == 0 ||
                access(("/tmp/.X" + std::to_string(display) + "-lock").c_str(), F_OK) == 0)
                continue;
            if (startOn(display, certificate, password))
                return true;
        }
        *why = "Xvnc did not listen on port " + std::to_string(port) + ": " + tnTestReadFile(dir + "/xvnc.log");
        return false;
    }

    void stop()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }

    std::string dir;
    int port;

private:
    pid_t pid = -1;

    bool startOn(int display, const std::string& certificate, const std::string& password)
    {
        const std::string log = dir + "/xvnc.log";
        const std::string name = ":" + std::to_string(display);
        const std::string rfbPort = std::to_string(port);
        const std::string cert = dir + "/" + certificate + ".pem";
        const std::string key = dir + "/" + certificate + ".key";
        pid = fork();
        if (pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            execlp("Xvnc", "Xvnc", name.c_str(), "-interface", "127.0.0.1", "-localhost", "-rfbport", rfbPort.c_str(),
                   "-geometry", "64x48", "-depth", "24", "-nolisten", "tcp", "-SecurityTypes",
                   "X509Vnc,X509None,TLSVnc,VncAuth", "-PasswordFile", password.c_str(), "-X509Cert", cert.c_str(),
                   "-X509Key", key.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int tenth = 0; tenth < 150; tenth++) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                return false;
            }
            if (tnTestPortIsListening(port))
                return true;
            usleep(100000);
        }
        stop();
        return false;
    }
};

class Certificates : public TNConnectionTest {
protected:
    std::string certs;
    std::string savedAuthorityFile;
    std::unique_ptr<TNTestXvnc> xvnc;
    // The questions the user was asked (title, text), and the answer to give.
    std::vector<std::pair<std::string, std::string>> questions;
    int answer = 0;

    void SetUp() override
    {
        TNConnectionTest::SetUp();
        savedAuthorityFile = tnCertificateAuthorityFile;
        certs = dir + "certs";
        ASSERT_EQ(mkdir(certs.c_str(), 0700), 0);
        ASSERT_EQ(system(("bash '" + tnToolPath("tn_make_certificates.sh") + "' '" + certs + "'").c_str()), 0);
        // Never the system's authorities: only the test authority is trusted.
        tnCertificateAuthorityFile = certs + "/ca.pem";
        xvnc = std::make_unique<TNTestXvnc>(certs);
        tnModalHooks().choice = [this](const std::string& title, const std::string& text) {
            questions.emplace_back(title, text);
            return answer;
        };
    }

    void TearDown() override
    {
        TNConnectionTest::TearDown();
        xvnc.reset();
        tnCertificateAuthorityFile = savedAuthorityFile;
    }

    void serve(const std::string& certificate)
    {
        std::string why;
        ASSERT_TRUE(xvnc->start(certificate, &why)) << why;
    }

    // Connects a new host line (selected, so the quick-info panel follows it) and waits for
    // the attempt's outcome; true when it connected.
    bool attempt(HostItem*& itm, const std::string& name, int port, const std::string& password)
    {
        itm = addHost(name, port, password);
        tnSelectHostLine(lineOf(itm));
        tnQuickInfoSetLabelAndText(itm);
        VncObject::createVNCObject(itm);
        const bool done = waitFor(
            [itm] {
                return !tnResultOwed(tnStateOf(itm)) &&
                       ((tnIsConnected(itm) && tnHostStatusImage(itm) == app->iconConnected) || (tnStateOf(itm) == TNConnectionState::Failed));
            },
            20.0);
        EXPECT_TRUE(done) << "no outcome: " << logText();
        return tnIsConnected(itm);
    }

    void disconnect(HostItem* itm)
    {
        if (!tnIsConnected(itm))
            return;
        tnDisconnect(itm);
        EXPECT_STREQ(app->quickInfoSecurity->label(), "") << "the panel still tells of an ended connection";
    }

    std::string stored() const { return tnReadTrustedFingerprint(tnTrustStorePath(), "127.0.0.1", xvnc->port); }
};

} // namespace

TEST_F(Certificates, EachCaseAgainstXvnc)
{
    const char* unknown = "Tandrel - Unknown certificate";
    const char* changed = "Tandrel - Certificate changed";
    const char* byYou = "Encrypted, certificate accepted by you";
    struct Case {
        const char* what;
        const char* certificate;
        const char* question;     // the window's title, or null: no window
        int answer;
        const char* error;        // the host's last error ("" when it connects)
        const char* security;     // the panel's line once connected
        const char* storedAfter;  // the certificate trusted for the host afterwards, or ""
    };
    const Case cases[] = {
        {"verified: silent", "good", nullptr, 0, "", "Encrypted, certificate verified", ""},
        {"another name: asked", "other", unknown, 0, "Certificate not accepted: The certificate was not issued for 127.0.0.1",
         "", ""},
        {"expired: refused with its reason", "expired", nullptr, 0,
         "The certificate has expired (valid until 2020-01-02 00:00:00 UTC)", "", ""},
        {"self-signed: Cancel", "self", unknown, 0, "Certificate not accepted: The certificate is self-signed", "", ""},
        {"self-signed: Connect once", "self", unknown, 1, "", byYou, ""},
        {"self-signed: Always trust", "self", unknown, 2, "", byYou, "self"},
        {"trusted: silent", "self", nullptr, 0, "", byYou, "self"},
        {"changed: refused by default", "replacement", changed, 0, "The certificate of 127.0.0.1 has changed", "", "self"},
        {"changed: replaced", "replacement", changed, 1, "", byYou, "replacement"},
        {"replaced: silent", "replacement", nullptr, 0, "", byYou, "replacement"},
    };
    std::string serving;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (serving != c.certificate)
            serve(c.certificate);
        serving = c.certificate;
        questions.clear();
        answer = c.answer;
        HostItem* itm = nullptr;
        const bool connected = attempt(itm, "xvnc" + std::to_string(n++), xvnc->port, "secret12");
        EXPECT_EQ(connected, *c.error == '\0') << tnLastErrorOf(itm);
        EXPECT_EQ(tnLastErrorOf(itm), c.error);
        if (c.question) {
            ASSERT_EQ(questions.size(), 1u);
            EXPECT_EQ(questions[0].first, c.question);
            const std::string& text = questions[0].second;
            // What the window shows: the host, the certificate, and for a changed one both
            // fingerprints.
            EXPECT_NE(text.find("127.0.0.1:" + std::to_string(xvnc->port)), std::string::npos) << text;
            EXPECT_NE(text.find(tnFingerprintOf(certs + "/" + c.certificate + ".pem")), std::string::npos) << text;
            EXPECT_NE(text.find("Valid until: "), std::string::npos) << text;
            if (c.question == changed) {
                EXPECT_NE(text.find(tnFingerprintOf(certs + "/self.pem")), std::string::npos) << text;
            }
        } else {
            EXPECT_TRUE(questions.empty()) << questions[0].second;
        }
        if (connected) {
            EXPECT_EQ(tnVncOf(itm)->securityText, c.security);
            EXPECT_STREQ(app->quickInfoSecurity->label(), c.security);
        }
        EXPECT_EQ(stored(), *c.storedAfter ? tnFingerprintOf(certs + "/" + c.storedAfter + ".pem") : "");
        disconnect(itm);
    }
    struct stat status {};
    ASSERT_EQ(stat(tnTrustStorePath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(tnTestReadFile(tnTrustStorePath()),
              "127.0.0.1 " + std::to_string(xvnc->port) + " " + tnFingerprintOf(certs + "/replacement.pem") + "\n");
}

TEST_F(Certificates, TheWindowAnswersAndEndingTheHostOrTheProgramWhileItIsOpenEndsTheAttempt)
{
    serve("self");
    tnModalHooks().choice = nullptr;
    const char* title = "Tandrel - Unknown certificate";
    // Ending the host, then shutting down (what closing the program does), with the window open.
    for (const bool shutDown : {false, true}) {
        SCOPED_TRACE(shutDown ? "shut-down" : "host ended");
        HostItem* itm = addHost(shutDown ? "closing" : "ending", xvnc->port, "secret12");
        tnSelectHostLine(lineOf(itm));
        VncObject::createVNCObject(itm);
        ASSERT_TRUE(waitFor([title] { return questionWindow(title) != nullptr; }, 20.0)) << logText();
        if (shutDown) {
            tnEndAllConnections();
            EXPECT_TRUE(tnWaitForWorkers(2.0)) << "the handshake worker still waits";
        } else {
            tnDisconnect(itm);
        }
        EXPECT_TRUE(waitFor([title] { return questionWindow(title) == nullptr; }, 5.0)) << "the window stays";
        EXPECT_TRUE(waitFor([itm] { return !tnResultOwed(tnStateOf(itm)); }, 5.0));
        EXPECT_FALSE(tnIsConnected(itm));
        EXPECT_EQ(stored(), "");
    }
    // The window's own button: trusted for good.
    HostItem* itm = addHost("answered", xvnc->port, "secret12");
    VncObject::createVNCObject(itm);
    ASSERT_TRUE(waitFor([title] { return questionWindow(title) != nullptr; }, 20.0)) << logText();
    Fl_Widget* always = childLabelled(questionWindow(title), "Always trust this certificate for this host");
    ASSERT_NE(always, nullptr);
    always->do_callback();
    EXPECT_TRUE(waitFor([itm] { return tnIsConnected(itm) && tnHostStatusImage(itm) == app->iconConnected; }, 20.0)) << logText();
    EXPECT_EQ(questionWindow(title), nullptr);
    EXPECT_EQ(stored(), tnFingerprintOf(certs + "/self.pem"));
}

TEST_F(Certificates, AServerThatAsksForNoPasswordThoughOneIsStoredIsRefusedUnlessTheUserSaysSo)
{
    TNTestServer* server = startServer();   // no authentication
    for (const int choice : {0, 1}) {
        SCOPED_TRACE(choice);
        questions.clear();
        answer = choice;
        HostItem* itm = nullptr;
        const bool connected = attempt(itm, "open" + std::to_string(choice), server->port(), "secret12");
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].first, "Tandrel - No authentication");
        EXPECT_EQ(connected, choice == 1);
        EXPECT_EQ(tnLastErrorOf(itm), choice == 1 ? "" : "The server asks for no password, though one is stored");
        if (connected) {
            EXPECT_STREQ(app->quickInfoSecurity->label(), "Not encrypted");
        }
        disconnect(itm);
    }
    // Without a stored password nobody is asked.
    questions.clear();
    HostItem* itm = nullptr;
    EXPECT_TRUE(attempt(itm, "no password", server->port(), ""));
    EXPECT_TRUE(questions.empty());
}
