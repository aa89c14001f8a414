// The library's hooks: error texts, password and credential answers, the remote cursor
// and the library's log lines.
#include <FL/Fl_RGB_Image.H>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "rfb_fixture.h"

namespace {

TEST(HandshakeErrorText, FromTheSystemMessage)
{
    struct Case {
        std::string error;
        char hostType;
        bool sshReady;
        std::string text;
    };
    const std::string eagain = strerror(EAGAIN);
    const std::string einprogress = strerror(EINPROGRESS);
    const Case cases[] = {
        {eagain, 'v', false, "Bad / missing password or Resource temporarily unavailable"},
        {"read: " + eagain + " (11)", 's', true, "Bad / missing password or Resource temporarily unavailable"},
        {einprogress, 'v', false, "Unable to connect to VNC server"},
        {einprogress, 's', true, "Unable to connect to VNC server"},
        {einprogress, 's', false, "Unable to connect to host's SSH server"},
        {strerror(ECONNREFUSED), 'v', false, strerror(ECONNREFUSED)},
        {"resource temporarily unavailable", 'v', false, "resource temporarily unavailable"},
        {"", 'v', false, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tnErrorTextForHandshake(c.error, c.hostType, c.sshReady), c.text) << c.error << " " << c.hostType;
}

class LibraryHooks : public TNConnectionTest {
protected:
    HostItem host;
    VncObject* vnc = nullptr;
    rfbClient* client = nullptr;

    void SetUp() override
    {
        TNConnectionTest::SetUp();
        host.name = "hooked";
        vnc = new VncObject();
        client = rfbGetClient(8, 3, 4);
        vnc->vncClient = client;
        vnc->itm = &host;
        tnConnectionFor(&host).vnc = vnc;
        rfbClientSetClientData(client, tnLibVncTag, vnc);
    }

    // The library's cursor hook on the reader, then the window's thread taking its message.
    void changeShape(int xhot, int yhot, int size)
    {
        VncObject::handleCursorShapeChange(client, xhot, yhot, size, size, 4);
        VncObject::checkVNCMessages(vnc);
    }

    void TearDown() override
    {
        tnConnectionFor(&host).vnc = nullptr;
        delete vnc;   // also releases the client, which never connected
        TNConnectionTest::TearDown();
    }

    // The hooks answer from the copy that an attempt takes of its host when it starts.
    std::string password()
    {
        vnc->handshakeHost = tnHandshakeHostOf(host, "");
        char* answer = VncObject::handlePassword(client);
        std::string text = answer ? answer : "(null)";
        free(answer);
        return text;
    }
};

TEST_F(LibraryHooks, PasswordAnswers)
{
    host.vncPassword = "abcdefghijkl";
    EXPECT_EQ(password(), "abcdefghi") << "the first 9 characters";
    // With no password the user is asked; an attempt that has ended asks nobody.
    host.vncPassword = "";
    vnc->stopReading = true;
    EXPECT_EQ(password(), "") << "an empty string, not null";

    EXPECT_EQ(VncObject::handlePassword(nullptr), nullptr);
    vnc->itm = nullptr;
    EXPECT_EQ(VncObject::handlePassword(client), nullptr);
    rfbClient* stranger = rfbGetClient(8, 3, 4);
    EXPECT_EQ(VncObject::handlePassword(stranger), nullptr);
    rfbClientCleanup(stranger);
    const std::string log = logText();
    EXPECT_NE(log.find("ERROR - handlePassword: vnc->vncClient is null\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR - handlePassword: itm is null\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR - handlePassword: vnc is null\n"), std::string::npos);
}

TEST_F(LibraryHooks, CredentialAnswers)
{
    host.vncLoginUser = "anna";
    host.vncLoginPassword = std::string(9000, 'p');
    vnc->handshakeHost = tnHandshakeHostOf(host, "");
    rfbCredential* credential = VncObject::handleCredential(client, rfbCredentialTypeUser);
    ASSERT_NE(credential, nullptr);
    EXPECT_STREQ(credential->userCredential.username, "anna");
    EXPECT_EQ(std::string(credential->userCredential.password), std::string(8191, 'p'));
    free(credential->userCredential.username);
    free(credential->userCredential.password);
    free(credential);

    // X509: the authority file the attempt took, no client certificate; the server's
    // certificate is decided about afterwards.
    tnCertificateAuthorityFile = "/tmp/authorities.pem";
    vnc->handshakeHost = tnHandshakeHostOf(host, host.hostAddress + ":" + host.vncPort);
    tnCertificateAuthorityFile = "/etc/ssl/certs/ca-certificates.crt";
    credential = VncObject::handleCredential(client, rfbCredentialTypeX509);
    ASSERT_NE(credential, nullptr);
    EXPECT_STREQ(credential->x509Credential.x509CACertFile, "/tmp/authorities.pem");
    EXPECT_EQ(credential->x509Credential.x509CACrlFile, nullptr);
    EXPECT_EQ(credential->x509Credential.x509ClientCertFile, nullptr);
    EXPECT_EQ(credential->x509Credential.x509ClientKeyFile, nullptr);
    free(credential->x509Credential.x509CACertFile);
    free(credential);

    EXPECT_EQ(VncObject::handleCredential(client, 99), nullptr);
    EXPECT_NE(logText().find("ERROR - handleCredential: Non-username / password required for authentication\n"),
              std::string::npos);
}

// Both hooks refuse a client without a connection or a connection without a host, each
// with its own line in the log.
TEST_F(LibraryHooks, PasswordAndCredentialRefuseWhatIsMissing)
{
    const auto askPassword = [](rfbClient* c) { return VncObject::handlePassword(c) != nullptr; };
    const auto askCredential = [](rfbClient* c) {
        return VncObject::handleCredential(c, rfbCredentialTypeUser) != nullptr;
    };
    rfbClient* stranger = rfbGetClient(8, 3, 4);
    struct Case {
        const char* hook;
        std::function<bool(rfbClient*)> ask;
        rfbClient* client;
        bool hostGone;
        const char* line;
    };
    const Case cases[] = {
        {"password", askPassword, nullptr, false, "ERROR - handlePassword: vnc->vncClient is null\n"},
        {"password", askPassword, stranger, false, "ERROR - handlePassword: vnc is null\n"},
        {"password", askPassword, client, true, "ERROR - handlePassword: itm is null\n"},
        {"credential", askCredential, nullptr, false, "ERROR - handleCredential: vnc->vncClient is null\n"},
        {"credential", askCredential, stranger, false, "ERROR - handleCredential: vnc is null\n"},
        {"credential", askCredential, client, true, "ERROR - handleCredential: itm is null\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hook) + ": " + c.line);
        vnc->itm = c.hostGone ? nullptr : &host;
        const size_t logged = logText().size();
        EXPECT_FALSE(c.ask(c.client));
        const std::string added = logText().substr(logged);
        EXPECT_NE(added.find(c.line), std::string::npos) << added;
    }
    vnc->itm = &host;
    rfbClientCleanup(stranger);
}

TEST_F(LibraryHooks, CursorShapeBecomesAnImageWithTheMaskAsAlpha)
{
    const int size = 16;
    client->rcSource = static_cast<uint8_t*>(malloc(size * size * 4));
    client->rcMask = static_cast<uint8_t*>(calloc(size * size, 1));
    memset(client->rcSource, 0x40, size * size * 4);
    for (int i = 0; i < size; i++)
        client->rcMask[i * size + i] = 1;
    // Shown in the viewer.
    app->vncViewer->vnc = vnc;
    const TNViewMemory& memory = app->vncViewer->memoryOf(vnc);

    // Dropped while the pointer is over the host list.
    Fl::belowmouse(app->hostList);
    changeShape(3, 4, size);
    EXPECT_EQ(memory.cursor, nullptr);

    Fl::belowmouse(app->vncViewer);
    changeShape(3, 4, size);
    ASSERT_NE(memory.cursor, nullptr);
    EXPECT_EQ(memory.cursor->w(), size);
    EXPECT_EQ(memory.cursor->h(), size);
    EXPECT_EQ(memory.cursor->d(), 4);
    EXPECT_EQ(memory.cursorHotX, 3);
    EXPECT_EQ(memory.cursorHotY, 4);
    const auto* pixels = reinterpret_cast<const uint8_t*>(memory.cursor->data()[0]);
    int opaque = 0;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            const uint8_t* pixel = pixels + (y * size + x) * 4;
            EXPECT_EQ(pixel[3], x == y ? 255 : 0) << x << "," << y;
            EXPECT_EQ(pixel[0], 0x40);
            opaque += pixel[3] == 255;
        }
    }
    EXPECT_EQ(opaque, size);

    // A later shape replaces it; one that arrives while the viewer is hidden does not.
    changeShape(5, 6, size);
    ASSERT_NE(memory.cursor, nullptr);
    EXPECT_EQ(memory.cursorHotX, 5);
    app->vncViewer->vnc = nullptr;
    changeShape(7, 7, size);
    EXPECT_EQ(memory.cursorHotX, 5);
    Fl::belowmouse(nullptr);
}

using LibraryLog = TNConnectionTest;

TEST_F(LibraryLog, ReachesTheLogOnlyInDebugMode)
{
    TNTestServer* server = startServer();
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "debug" : "no debug");
        appOptions.debugMode = debug;
        tnTestWriteFile(tnLogFilePath(), "");
        HostItem* itm = addHost(debug ? "debug" : "quiet", server->port());
        ASSERT_TRUE(connectAndWait(itm));
        const std::string log = logText();
        EXPECT_NE(log.find("Connected to '"), std::string::npos);
        // The library's own lines, as it wrote them (no prefix of the program's).
        EXPECT_EQ(log.find("- VNC server supports protocol version") != std::string::npos, debug);
        EXPECT_EQ(log.find("VNC server supports protocol version") != std::string::npos, debug);
        tnDisconnect(itm);
    }
    appOptions.debugMode = false;
}

} // namespace
