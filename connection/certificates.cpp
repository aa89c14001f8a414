#include "connection/certificates.h"

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <cstdio>
#include <vector>

namespace {

// RFB security types (the library's numbers).
constexpr uint32_t tnNoAuth = 1;
constexpr uint32_t tnAnonTLS = 18;
constexpr uint32_t tnVeNCrypt = 19;
constexpr uint32_t tnVeNCryptTLSNone = 257;   // 257-259: TLSNone, TLSVnc, TLSPlain
constexpr uint32_t tnVeNCryptTLSPlain = 259;
constexpr uint32_t tnVeNCryptX509None = 260;
constexpr uint32_t tnVeNCryptTLSSASL = 264;

// A parsed certificate, released with the scope.
class TNCertificate {
public:
    TNCertificate(const unsigned char* der, size_t length)
    {
        if (!der || length == 0 || gnutls_x509_crt_init(&crt) < 0) {
            crt = nullptr;
            return;
        }
        gnutls_datum_t data{const_cast<unsigned char*>(der), static_cast<unsigned>(length)};
        if (gnutls_x509_crt_import(crt, &data, GNUTLS_X509_FMT_DER) < 0) {
            gnutls_x509_crt_deinit(crt);
            crt = nullptr;
        }
    }
    ~TNCertificate()
    {
        if (crt)
            gnutls_x509_crt_deinit(crt);
    }
    TNCertificate(const TNCertificate&) = delete;
    TNCertificate& operator=(const TNCertificate&) = delete;

    gnutls_x509_crt_t crt = nullptr;
};

std::string tnDistinguishedName(gnutls_x509_crt_t crt, bool issuer)
{
    gnutls_datum_t name{nullptr, 0};
    const int result = issuer ? gnutls_x509_crt_get_issuer_dn3(crt, &name, 0) : gnutls_x509_crt_get_dn3(crt, &name, 0);
    if (result < 0)
        return "";
    std::string text(reinterpret_cast<const char*>(name.data), name.size);
    gnutls_free(name.data);
    return text;
}

std::string tnHexFingerprint(const unsigned char* der, size_t length)
{
    unsigned char digest[32];
    if (gnutls_hash_fast(GNUTLS_DIG_SHA256, der, length, digest) < 0)
        return "";
    std::string text;
    char byte[4];
    for (size_t i = 0; i < sizeof(digest); i++) {
        snprintf(byte, sizeof(byte), i ? ":%02X" : "%02X", digest[i]);
        text += byte;
    }
    return text;
}

void tnAddReason(std::string& reasons, const std::string& reason)
{
    if (!reasons.empty())
        reasons += "\n";
    reasons += reason;
}

std::string tnCertificateDetails(const std::string& host, const TNCertificateInfo& info)
{
    return "Host: " + host + "\nSubject: " + info.subject + "\nIssuer: " + info.issuer +
           "\nValid from: " + tnCertificateTime(info.notBefore) + "\nValid until: " + tnCertificateTime(info.notAfter) +
           "\nSHA-256 fingerprint:\n" + info.fingerprint;
}

} // namespace

TNCertificateInfo tnReadCertificate(const unsigned char* der, size_t length)
{
    TNCertificateInfo info;
    TNCertificate certificate(der, length);
    if (!certificate.crt)
        return info;
    info.isRead = true;
    info.subject = tnDistinguishedName(certificate.crt, false);
    info.issuer = tnDistinguishedName(certificate.crt, true);
    info.notBefore = gnutls_x509_crt_get_activation_time(certificate.crt);
    info.notAfter = gnutls_x509_crt_get_expiration_time(certificate.crt);
    info.fingerprint = tnHexFingerprint(der, length);
    info.isSelfSigned = gnutls_x509_crt_check_issuer(certificate.crt, certificate.crt) != 0;
    return info;
}

bool tnCertificateMatchesHost(const unsigned char* der, size_t length, const std::string& host)
{
    TNCertificate certificate(der, length);
    return certificate.crt && !host.empty() && gnutls_x509_crt_check_hostname2(certificate.crt, host.c_str(), 0) != 0;
}

TNCertificateJudgement tnJudgeCertificate(const TNCertificateInfo& info, unsigned status, bool nameMatches,
                                          const std::string& host, time_t now, const std::string& stored)
{
    TNCertificateJudgement judgement;
    if (!info.isRead || info.fingerprint.empty()) {
        judgement.reason = "The server's certificate could not be read";
        return judgement;
    }
    // Never accepted, whoever trusts it: times are checked here as well, since a chain that
    // does not verify may not have had its times looked at.
    if (now < info.notBefore || (status & GNUTLS_CERT_NOT_ACTIVATED)) {
        judgement.reason = "The certificate is not yet valid (valid from " + tnCertificateTime(info.notBefore) + ")";
        return judgement;
    }
    if (now > info.notAfter || (status & GNUTLS_CERT_EXPIRED)) {
        judgement.reason = "The certificate has expired (valid until " + tnCertificateTime(info.notAfter) + ")";
        return judgement;
    }
    if (status & GNUTLS_CERT_REVOKED) {
        judgement.reason = "The certificate has been revoked";
        return judgement;
    }
    if (status == 0 && nameMatches) {
        judgement.verdict = TNCertificateVerdict::Verified;
        return judgement;
    }
    if (status & GNUTLS_CERT_SIGNER_NOT_FOUND)
        tnAddReason(judgement.reason, info.isSelfSigned ? "The certificate is self-signed"
                                                        : "The certificate was issued by an unknown authority");
    else if (status != 0)
        tnAddReason(judgement.reason, "The certificate's chain does not verify");
    if (!nameMatches)
        tnAddReason(judgement.reason, "The certificate was not issued for " + host);
    if (stored.empty())
        judgement.verdict = TNCertificateVerdict::Ask;
    else if (stored == info.fingerprint)
        judgement.verdict = TNCertificateVerdict::Trusted;
    else
        judgement.verdict = TNCertificateVerdict::Changed;
    return judgement;
}

std::string tnCertificateTime(time_t when)
{
    struct tm parts{};
    char text[64] = "?";
    if (gmtime_r(&when, &parts))
        strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

std::string tnConnectionSecurityText(uint32_t authScheme, uint32_t subAuthScheme, TNCertificateTrust trust,
                                     bool throughSSH)
{
    if (trust == TNCertificateTrust::Verified)
        return "Encrypted, certificate verified";
    if (trust == TNCertificateTrust::AcceptedByUser)
        return "Encrypted, certificate accepted by you";
    // The tunnel's server is the one SSH authenticated: that says more than anonymous TLS.
    if (throughSSH)
        return "Through SSH";
    const bool anonymousTLS =
        authScheme == tnAnonTLS ||
        (authScheme == tnVeNCrypt && ((subAuthScheme >= tnVeNCryptTLSNone && subAuthScheme <= tnVeNCryptTLSPlain) ||
                                      subAuthScheme == tnVeNCryptTLSSASL));
    return anonymousTLS ? "Encrypted, server not authenticated" : "Not encrypted";
}

bool tnSecurityAsksNothing(uint32_t authScheme, uint32_t subAuthScheme)
{
    if (authScheme == tnNoAuth)
        return true;
    if (authScheme != tnAnonTLS && authScheme != tnVeNCrypt)
        return false;
    return subAuthScheme == tnNoAuth || subAuthScheme == tnVeNCryptTLSNone || subAuthScheme == tnVeNCryptX509None;
}

TNQuestionText tnServerQuestionText(TNServerQuestionKind kind, const std::string& host, const std::string& address,
                                    const TNCertificateInfo& info, const std::string& reason,
                                    const std::string& stored)
{
    TNQuestionText question;
    question.buttons[0] = "Cancel";
    switch (kind) {
    case TNServerQuestionKind::UnknownCertificate:
        question.title = "Tandrel - Unknown certificate";
        question.text = "The certificate of " + address + " could not be verified:\n" + reason + "\n\n" +
                        tnCertificateDetails(host, info);
        question.buttons[1] = "Connect once";
        question.buttons[2] = "Always trust this certificate for this host";
        break;
    case TNServerQuestionKind::ChangedCertificate:
        question.title = "Tandrel - Certificate changed";
        question.text = "The certificate of " + address +
                        " has changed since you chose to trust it. Someone may be intercepting the "
                        "connection, or the server has a new certificate.\n\n"
                        "Stored SHA-256 fingerprint:\n" + stored + "\n\nNew certificate:\n" + reason + "\n" +
                        tnCertificateDetails(host, info);
        question.buttons[1] = "Replace the stored certificate and connect";
        break;
    case TNServerQuestionKind::NoAuthentication:
        question.title = "Tandrel - No authentication";
        question.text = host +
                        " asks for no password at all, though a password is stored for it. A server that "
                        "used to ask and now does not may be a different machine.\n\nConnect anyway?";
        question.buttons[1] = "Connect anyway";
        break;
    }
    return question;
}
