#include "connection/server_trust.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>

#include "config/host_item.h"
#include "config/trust_store.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/vnc_object.h"
#include "core/log.h"

namespace {

// The address and port the user's trust is stored under, and the name the certificate
// must carry: the host's address and VNC port; for a reverse connection the server's
// own address (port 0).
struct TNTrustKey {
    std::string address;
    int port = 0;
};

TNTrustKey tnTrustKeyOf(const VncObject* vnc)
{
    const TNHandshakeHost& host = vnc->handshakeHost;
    TNTrustKey key;
    if (host.isListener) {
        sockaddr_storage peer{};
        socklen_t length = sizeof(peer);
        char text[INET6_ADDRSTRLEN] = "";
        if (getpeername(vnc->vncClient->sock, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
            if (peer.ss_family == AF_INET)
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&peer)->sin_addr, text, sizeof(text));
            else if (peer.ss_family == AF_INET6)
                inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&peer)->sin6_addr, text, sizeof(text));
        }
        key.address = text;
        return key;
    }
    key.address = host.hostAddress;
    // Through SSH the library reaches the tunnel's local port; the server is at the VNC
    // port on the SSH host itself.
    if (host.hostType == 's') {
        const size_t colon = host.connectAddress.rfind(':');
        key.port = colon == std::string::npos ? 0 : atoi(host.connectAddress.c_str() + colon + 1);
    } else {
        key.port = vnc->vncClient->serverPort;
    }
    return key;
}

// Asks the user and waits (worker).
int tnAskUser(VncObject* vnc, TNQuestionText text)
{
    return tnAskDuringHandshake(vnc, std::make_shared<TNUserQuestion>(std::move(text)));
}

void tnLogHost(const VncObject* vnc, const std::string& text)
{
    tnLogToFile(text + " '" + vnc->handshakeHost.name + "' - " + vnc->handshakeHost.hostAddress);
}

std::string tnHostLabel(const TNHandshakeHost& host, const TNTrustKey& key)
{
    return host.name + " (" + key.address + ":" + std::to_string(key.port) + ")";
}

} // namespace

int tnAskDuringHandshake(VncObject* vnc, const std::shared_ptr<TNUserQuestion>& question)
{
    tnFrontEnd().ask(vnc->itm, question);
    // However long the user reads the window, the handshake is not timed out meanwhile.
    vnc->handshakeDeadline.pause();
    const int answer = question->waitForAnswer([vnc] { return vnc->stopReading.load(); });
    vnc->handshakeDeadline.resume();
    return answer;
}

rfbBool tnVerifyServerCertificate(rfbClient* client, const unsigned char* const* chain, const unsigned int* lengths,
                                  unsigned int count, unsigned int status)
{
    VncObject* vnc = tnObjectOfClient(client);
    if (!vnc || !chain || !lengths || count == 0)
        return FALSE;
    const TNHandshakeHost& host = vnc->handshakeHost;
    const TNTrustKey key = tnTrustKeyOf(vnc);
    const TNCertificateInfo info = tnReadCertificate(chain[0], lengths[0]);
    const bool nameMatches = tnCertificateMatchesHost(chain[0], lengths[0], key.address);
    const std::string path = tnTrustStorePath();
    const std::string stored = tnReadTrustedFingerprint(path, key.address, key.port);
    const TNCertificateJudgement judgement =
        tnJudgeCertificate(info, status, nameMatches, key.address, time(nullptr), stored);

    TNServerQuestionKind kind = TNServerQuestionKind::UnknownCertificate;
    switch (judgement.verdict) {
    case TNCertificateVerdict::Verified:
        vnc->certificateTrust = TNCertificateTrust::Verified;
        return TRUE;
    case TNCertificateVerdict::Trusted:
        vnc->certificateTrust = TNCertificateTrust::AcceptedByUser;
        return TRUE;
    case TNCertificateVerdict::Refused:
        vnc->refusal = judgement.reason;
        return FALSE;
    case TNCertificateVerdict::Ask:
        break;
    case TNCertificateVerdict::Changed:
        kind = TNServerQuestionKind::ChangedCertificate;
        tnLogHost(vnc, "Warning - The certificate (SHA-256 " + info.fingerprint + ") differs from the trusted one (" +
                           stored + ") of");
        break;
    }
    const int answer =
        tnAskUser(vnc, tnServerQuestionText(kind, tnHostLabel(host, key), key.address, info, judgement.reason, stored));
    if (answer == 0) {
        vnc->refusal = kind == TNServerQuestionKind::ChangedCertificate
                           ? "The certificate of " + key.address + " has changed"
                           : "Certificate not accepted: " + judgement.reason.substr(0, judgement.reason.find('\n'));
        return FALSE;
    }
    // "Always trust" or "Replace": this certificate is stored for the host.
    if (answer == 2 || kind == TNServerQuestionKind::ChangedCertificate) {
        std::string reason;
        if (tnWriteTrustedCertificate(path, {key.address, key.port, info.fingerprint}, &reason))
            tnLogHost(vnc, "Trusting the certificate (SHA-256 " + info.fingerprint + ") of");
        else
            tnLogToFile("ERROR - Could not store the trusted certificate in " + path + ": " + reason);
    }
    vnc->certificateTrust = TNCertificateTrust::AcceptedByUser;
    return TRUE;
}

bool tnAcceptHandshakeSecurity(VncObject* vnc)
{
    const TNHandshakeHost& host = vnc->handshakeHost;
    const rfbClient* client = vnc->vncClient;
    const bool hasPassword = !host.vncPassword.empty() || !host.vncLoginPassword.empty();
    if (hasPassword && tnSecurityAsksNothing(client->authScheme, client->subAuthScheme)) {
        const TNTrustKey key = tnTrustKeyOf(vnc);
        const int answer = tnAskUser(vnc, tnServerQuestionText(TNServerQuestionKind::NoAuthentication,
                                                               tnHostLabel(host, key), key.address,
                                                               TNCertificateInfo(), "", ""));
        if (answer == 0) {
            vnc->refusal = "The server asks for no password, though one is stored";
            return false;
        }
    }
    vnc->securityText = tnConnectionSecurityText(client->authScheme, client->subAuthScheme, vnc->certificateTrust,
                                                 host.hostType == 's');
    return true;
}
