// The library's hooks: password and credential requests, finished updates, the remote
// cursor and cut text (handed to the front end), the library's log lines, and the text
// shown for a failed handshake.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/host_item.h"
#include "config/keyring.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/pixel_rows.h"
#include "connection/vnc_object.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/options.h"

VncObject* tnObjectOfClient(rfbClient* client)
{
    return client ? static_cast<VncObject*>(rfbClientGetClientData(client, tnLibVncTag)) : nullptr;
}

namespace {

// A malloc'ed copy of at most `limit` characters of `text`, in a buffer of `size` bytes.
char* tnMallocCopy(const std::string& text, size_t limit, size_t size)
{
    char* copy = static_cast<char*>(malloc(size));
    if (!copy)
        return nullptr;
    const size_t length = text.size() < limit ? text.size() : limit;
    memcpy(copy, text.data(), length);
    copy[length] = '\0';
    return copy;
}

// An empty password handed to the library on this thread, which the library will not free.
thread_local char* refusedEmptyPassword = nullptr;

// The connection whose library calls run on this thread right now: the library's log hook
// is process-wide, so this is how its messages find their connection.
thread_local VncObject* messageTarget = nullptr;

// Lines kept per connection: the failure is told in the last few.
constexpr size_t tnMaxLibraryMessages = 64;

bool tnStartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, strlen(prefix), prefix) == 0;
}

// Writes "[Error] '<name>' - <address>: <error>" to the log.
void tnLogConnectionError(const std::string& name, const std::string& address, const std::string& error)
{
    char line[2048] = {0};
    snprintf(line, sizeof(line), "[Error] '%s' - %s: %s", name.c_str(), address.c_str(), error.c_str());
    tnLogToFile(line);
}

// The attempt's password of `field`: the host's own, or the keyring's while passwords are
// kept there (read here, on the worker). A keyring that could not give it is told as the
// attempt's failure; the attempt goes on without a password.
std::string tnAttemptPassword(VncObject* vnc, TNPasswordField field)
{
    const TNHandshakeHost& host = vnc->handshakeHost;
    const std::string& held = field == TNPasswordField::Vnc ? host.vncPassword : host.vncLoginPassword;
    if (host.isListener || host.typedPassword)
        return held;
    std::string problem;
    const std::string password =
        tnPasswordForAttempt({host.name, host.hostAddress, host.vncPort}, field, held, problem);
    if (!problem.empty()) {
        tnLogConnectionError(host.name, host.hostAddress, problem);
        vnc->refusal = problem;
    }
    return password;
}

// The connection of a client that asks for a password or credentials, or null (with an
// error line in the log naming `hook`) when the client, its connection or its host is missing.
VncObject* tnObjectAskingForSecret(rfbClient* client, const char* hook)
{
    VncObject* vnc = tnObjectOfClient(client);
    const char* missing = !client ? "vnc->vncClient" : !vnc ? "vnc" : !vnc->itm ? "itm" : nullptr;
    if (!missing)
        return vnc;
    tnLogToFile(std::string("ERROR - ") + hook + ": " + missing + " is null");
    return nullptr;
}

} // namespace

void tnFreeRefusedEmptyPassword()
{
    free(refusedEmptyPassword);
    refusedEmptyPassword = nullptr;
}

std::string tnErrorTextForHandshake(const std::string& error, char hostType, bool sshReady)
{
    if (error.find("Resource temporarily unavailable") != std::string::npos)
        return tnPasswordRefusedText;
    if (error.find("Operation now in progress") != std::string::npos) {
        if (hostType == 's' && !sshReady)
            return "Unable to connect to host's SSH server";
        return "Unable to connect to VNC server";
    }
    return error;
}

std::string tnHandshakeFailureText(const std::vector<std::string>& messages, const std::string& refusal,
                                   double seconds, int connectTimeout, bool listening)
{
    if (!refusal.empty())
        return refusal;
    bool sawVersion = false;
    bool authenticated = false;
    bool authFailed = false;
    bool timedOut = false;
    bool unreachable = false;
    int scheme = -1;              // the security type chosen, -1 before one was
    std::string serverReason;     // the server's own text of a failure
    for (const std::string& message : messages) {
        if (tnStartsWith(message, "VNC server supports protocol version"))
            sawVersion = true;
        else if (tnStartsWith(message, "Selected Security Scheme "))
            scheme = atoi(message.c_str() + strlen("Selected Security Scheme "));
        else if (message == "VNC authentication succeeded" || message == "No authentication needed")
            authenticated = true;
        else if (tnStartsWith(message, "VNC authentication failed") || message == "Reading password failed")
            authFailed = true;
        else if (tnStartsWith(message, "VNC connection failed: "))
            serverReason = message.substr(strlen("VNC connection failed: "));
        else if (message == "Connection timed out")
            timedOut = true;
        else if (message == "Unable to connect to VNC server")
            unreachable = true;
    }
    // A server that says no before any authentication (3.3: security type 0 with a reason;
    // 3.7 and later: an empty list of types with a reason).
    if (!serverReason.empty() && scheme <= 0)
        return "VNC connection failed: " + serverReason;
    // Its answer to the password (3.8 adds a reason, usually "Authentication failed").
    if (scheme > 0 && !authenticated && (authFailed || !serverReason.empty()))
        return tnPasswordRefusedText;
    if (timedOut)
        return tnHandshakeTimeOutText;
    // The library sets no error number of its own when a connect goes unanswered: the
    // attempt that lasted the whole connect time-out without a word from a server timed out.
    if (!sawVersion && !listening && connectTimeout > 0 && seconds + 0.25 >= connectTimeout)
        return tnHandshakeTimeOutText;
    // Anything else after the connection was made: the library's last line says what broke.
    if (!unreachable && !messages.empty())
        return messages.back();
    return "";
}

bool tnRefusalIsFinal(const std::vector<std::string>& messages, const std::string& refusal, const std::string& reason)
{
    // The program's own refusals (a certificate, the screen's size, a password the keyring
    // could not give) stand until somebody changes something; only a handshake that ran
    // out of time may go through the next time.
    if (!refusal.empty())
        return refusal != tnHandshakeTimeOutText;
    if (reason == tnPasswordRefusedText)
        return true;
    for (const std::string& message : messages) {
        if (tnStartsWith(message, "Unknown authentication scheme"))
            return true;
    }
    return false;
}

std::string tnScreenSizeRefusal(int width, int height, int bytesPerPixel)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width <= 0 || height <= 0)
        return "Remote screen is empty: " + size;
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                           static_cast<uint64_t>(bytesPerPixel > 0 ? bytesPerPixel : 1);
    if (width > tnMaxScreenSide || height > tnMaxScreenSide || bytes > tnMaxFrameBufferBytes)
        return "Remote screen too large: " + size;
    return "";
}

TNLibraryMessageScope::TNLibraryMessageScope(VncObject* vnc) : previous(messageTarget)
{
    if (vnc) {
        vnc->libraryMessages.clear();
        vnc->refusal.clear();
    }
    messageTarget = vnc;
}

TNLibraryMessageScope::~TNLibraryMessageScope()
{
    messageTarget = previous;
}

void tnReportConnectionError(HostItem* itm, const std::string& text)
{
    if (!itm || text.empty())
        return;
    tnLogConnectionError(itm->name, itm->hostAddress, text);
    tnConnectionFor(itm).lastError = text;
    tnFrontEnd().lastErrorChanged(itm);
}

char* VncObject::handlePassword(rfbClient* client)
{
    VncObject* vnc = tnObjectAskingForSecret(client, "handlePassword");
    if (!vnc)
        return nullptr;
    // The host's password, or the one the user types when it has none.
    std::string given = tnAttemptPassword(vnc, TNPasswordField::Vnc);
    std::string noUser;
    if (given.empty())
        tnAskForMissingPassword(vnc, TNPasswordField::Vnc, noUser, given);
    if (!given.empty())
        vnc->passwordAsking.sent = TNPasswordField::Vnc;
    // VNC authentication uses 8 characters; the library cuts the rest.
    char* password = tnMallocCopy(given, 9, 10);
    if (password && !*password)
        refusedEmptyPassword = password;
    return password;
}

rfbCredential* VncObject::handleCredential(rfbClient* client, int credentialType)
{
    if (client && credentialType != rfbCredentialTypeUser && credentialType != rfbCredentialTypeX509) {
        tnLogToFile("ERROR - handleCredential: Non-username / password required for authentication");
        return nullptr;
    }
    VncObject* vnc = tnObjectAskingForSecret(client, "handleCredential");
    if (!vnc)
        return nullptr;
    // The library frees the record and its strings with free().
    auto* credential = static_cast<rfbCredential*>(calloc(1, sizeof(rfbCredential)));
    if (credential && credentialType == rfbCredentialTypeX509) {
        // The server's certificate is checked against the authorities (no client certificate);
        // the program decides about one that does not verify (tnVerifyServerCertificate).
        credential->x509Credential.x509CACertFile = strdup(vnc->handshakeHost.authorityFile.c_str());
        if (!credential->x509Credential.x509CACertFile) {
            free(credential);
            return nullptr;
        }
        return credential;
    }
    // The host's user name and password, or what the user types when one is missing.
    std::string givenUser = vnc->handshakeHost.vncLoginUser;
    std::string givenPassword = tnAttemptPassword(vnc, TNPasswordField::VncLogin);
    if (givenUser.empty() || givenPassword.empty())
        tnAskForMissingPassword(vnc, TNPasswordField::VncLogin, givenUser, givenPassword);
    vnc->passwordAsking.sent = TNPasswordField::VncLogin;
    vnc->passwordAsking.sentUser = givenUser;
    char* user = tnMallocCopy(givenUser, 8191, 8192);
    char* password = tnMallocCopy(givenPassword, 8191, 8192);
    if (!credential || !user || !password) {
        free(credential);
        free(user);
        free(password);
        return nullptr;
    }
    credential->userCredential.username = user;
    credential->userCredential.password = password;
    return credential;
}

// The hooks below run on the connection's reader: they copy what the window's thread
// needs and tell it, and never touch a widget.

void VncObject::handleUpdateRect(rfbClient* client, int x, int y, int w, int h)
{
    if (VncObject* vnc = tnObjectOfClient(client))
        tnReaderUpdateRect(vnc, x, y, w, h);
}

void VncObject::handleFrameBufferUpdate(rfbClient* client)
{
    if (VncObject* vnc = tnObjectOfClient(client))
        tnReaderFinishedUpdate(vnc);
}

void VncObject::handleCursorShapeChange(rfbClient* client, int xhot, int yhot, int width, int height,
                                        int bytesPerPixel)
{
    VncObject* vnc = tnObjectOfClient(client);
    // The library frees rcSource and rcMask at the next shape: the window gets a copy.
    if (!vnc || !client->rcSource || !client->rcMask || width <= 0 || height <= 0 || bytesPerPixel != 4)
        return;
    TNCursorShape shape;
    shape.xhot = xhot;
    shape.yhot = yhot;
    shape.width = width;
    shape.height = height;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    // Bytes red, green, blue and the mask as alpha, whatever the frame buffer's layout.
    shape.pixels.resize(pixels * 4);
    tnCopyToRgbBytes(tnPixelLayout(), shape.pixels.data(), client->rcSource, static_cast<int>(pixels));
    for (size_t i = 0; i < pixels; i++)
        shape.pixels[i * 4 + 3] = client->rcMask[i] ? 255 : 0;
    {
        std::lock_guard<std::mutex> hold(vnc->messageLock);
        vnc->receivedCursor = std::move(shape);
    }
    tnPostReaderMessage(vnc, tnCursorChanged);
}

namespace {

void tnTakeRemoteClipboard(rfbClient* client, const char* text, int len, bool utf8)
{
    VncObject* vnc = tnObjectOfClient(client);
    if (!vnc || !text || len <= 0)
        return;
    {
        std::lock_guard<std::mutex> hold(vnc->messageLock);
        vnc->receivedCutText.assign(text, static_cast<size_t>(len));
        vnc->receivedCutTextUtf8 = utf8;
    }
    tnPostReaderMessage(vnc, tnCutText);
}

} // namespace

void VncObject::handleRemoteClipboardProc(rfbClient* client, const char* text, int len)
{
    tnTakeRemoteClipboard(client, text, len, false);
}

void VncObject::handleRemoteClipboardUtf8(rfbClient* client, const char* text, int len)
{
    tnTakeRemoteClipboard(client, text, len, true);
}

void VncObject::handleCutTextTooLarge(rfbClient*, size_t length)
{
    tnLogToFile("Clipboard text of " + std::to_string(length) + " bytes not received: over the 1 MiB limit");
}

void VncObject::libVncLogging(const char* format, ...)
{
    VncObject* target = messageTarget;
    const bool debug = appOptions.debugMode;
    if ((!debug && !target) || !format)
        return;
    char buffer[2048] = {0};
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (debug)
        tnLogToFile(buffer);
    if (!target)
        return;
    // This thread runs the library for the target: the socket it reads, if connected.
    if (target->vncClient)
        target->handshakeDeadline.noteSocket(target->vncClient->sock);
    std::string line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    // What a server said may hold anything: it reaches the host's last error from here.
    line = tnSanitisedText(line);
    if (line.empty())
        return;
    auto& messages = target->libraryMessages;
    if (messages.size() >= tnMaxLibraryMessages)
        messages.erase(messages.begin());
    messages.push_back(std::move(line));
}

void VncObject::parseErrorMessages(VncObject* vnc, const char* error)
{
    if (!vnc || !vnc->itm || !error)
        return;
    const TNHandshakeHost& host = vnc->handshakeHost;
    tnLogConnectionError(host.name, host.hostAddress, error);
    vnc->setAttemptError(tnErrorTextForHandshake(error, host.hostType, vnc->sshReady));
}

void VncObject::reportHandshakeFailure(VncObject* vnc, const char* error, double seconds)
{
    if (!vnc || !vnc->itm)
        return;
    const TNHandshakeHost& host = vnc->handshakeHost;
    const std::string reason =
        tnHandshakeFailureText(vnc->libraryMessages, vnc->refusal, seconds, host.connectTimeout, host.isListener);
    if (reason.empty()) {
        parseErrorMessages(vnc, error);
        return;
    }
    tnLogConnectionError(host.name, host.hostAddress, reason);
    vnc->setAttemptError(reason);
    vnc->finalRefusal = tnRefusalIsFinal(vnc->libraryMessages, vnc->refusal, reason);
}
