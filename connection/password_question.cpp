#include "connection/password_question.h"

#include <memory>

#include "connection/server_trust.h"
#include "connection/vnc_object.h"
#include "core/log.h"

namespace {

// The attempt that starts now with what the user typed (window's thread).
const HostItem* typedFor = nullptr;
TNPasswordField typedField = TNPasswordField::Vnc;
TNCredentials typed;

// Whether the server answered the password sent with a refusal (3.8 servers add a reason).
bool tnServerRefusedPassword(const std::vector<std::string>& messages)
{
    for (const std::string& message : messages) {
        if (message == "VNC authentication failed" || message.compare(0, 23, "VNC connection failed: ") == 0)
            return true;
    }
    return false;
}

// Asks the password question and waits (worker); the typed credentials, or nothing.
std::optional<TNCredentials> tnAskPassword(VncObject* vnc, TNPasswordField field, bool refused,
                                           const std::string& user)
{
    TNPasswordAsking& asking = vnc->passwordAsking;
    auto question = std::make_shared<TNUserQuestion>(
        tnPasswordQuestionText(vnc->handshakeHost, field, refused, refused ? "" : vnc->refusal));
    question->asksPassword = true;
    question->asksUser = field == TNPasswordField::VncLogin;
    question->user = user;
    if (tnAskDuringHandshake(vnc, question) == 1)
        return question->credentials();
    if (!question->isWithdrawn()) {
        asking.cancelled = true;
        tnLogToFile("Password not given for '" + vnc->handshakeHost.name + "' - " + vnc->handshakeHost.hostAddress);
    }
    return std::nullopt;
}

} // namespace

TNQuestionText tnPasswordQuestionText(const TNHandshakeHost& host, TNPasswordField field, bool refused,
                                      const std::string& problem)
{
    const bool login = field == TNPasswordField::VncLogin;
    const std::string what = login ? "user name and password" : "password";
    const std::string label = host.name + " (" + host.hostAddress + ")";
    TNQuestionText question;
    question.title = tnPasswordWindowTitle;
    if (refused)
        question.text = "The server of " + label + " refused the " + what + ".\n\nType the " + what + " again:";
    else
        question.text = label + " asks for a " + what + ":";
    if (!problem.empty())
        question.text = problem + ".\n\n" + question.text;
    question.buttons[0] = "Cancel";
    question.buttons[1] = "Connect";
    return question;
}

bool tnAskForMissingPassword(VncObject* vnc, TNPasswordField field, std::string& user, std::string& password)
{
    if (vnc->handshakeHost.isListener || vnc->passwordAsking.cancelled)
        return false;
    const std::optional<TNCredentials> answer = tnAskPassword(vnc, field, false, user);
    if (!answer)
        return false;
    if (field == TNPasswordField::VncLogin)
        user = answer->user;
    password = answer->password;
    // What the keyring could not give has been typed: its problem no longer ends the attempt.
    vnc->refusal.clear();
    return true;
}

void tnAskAgainAfterRefusal(VncObject* vnc)
{
    TNPasswordAsking& asking = vnc->passwordAsking;
    const TNHandshakeHost& host = vnc->handshakeHost;
    if (host.isListener || asking.cancelled || !asking.sent || vnc->stopReading || !vnc->refusal.empty() ||
        !tnServerRefusedPassword(vnc->libraryMessages))
        return;
    asking.retry = tnAskPassword(vnc, *asking.sent, true, asking.sentUser);
}

bool tnRetryWithTypedPassword(HostItem* itm, VncObject* vnc)
{
    const TNPasswordAsking& asking = vnc->passwordAsking;
    if (!asking.retry || !asking.sent)
        return false;
    // Taken before the new attempt releases this one's object.
    typedFor = itm;
    typedField = *asking.sent;
    typed = *asking.retry;
    VncObject::createVNCObject(itm);
    typedFor = nullptr;
    typed = TNCredentials();
    return true;
}

void tnUseTypedPassword(const HostItem* itm, TNHandshakeHost& host)
{
    if (!itm || itm != typedFor)
        return;
    host.typedPassword = true;
    if (typedField == TNPasswordField::Vnc) {
        host.vncPassword = typed.password;
    } else {
        host.vncLoginUser = typed.user;
        host.vncLoginPassword = typed.password;
    }
}
