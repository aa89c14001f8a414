// Servers' certificates (VeNCrypt X509 types): what a certificate says, whether it is
// accepted, and the texts that ask the user about it. Pure functions, no window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "connection/user_question.h"

// The authority file a certificate is checked against (tests point it elsewhere; read
// on the main thread as an attempt starts).
inline std::string tnCertificateAuthorityFile = "/etc/ssl/certs/ca-certificates.crt";

// What the window shows of a certificate (DER).
struct TNCertificateInfo {
    bool isRead = false;          // false: the bytes are no certificate
    std::string subject;
    std::string issuer;
    time_t notBefore = 0;
    time_t notAfter = 0;
    std::string fingerprint;      // SHA-256 of the DER bytes, "AB:CD:…"
    bool isSelfSigned = false;    // issued by itself
};
TNCertificateInfo tnReadCertificate(const unsigned char* der, size_t length);

// Whether the certificate was issued for `host` (a name, or an IPv4 or IPv6 address).
bool tnCertificateMatchesHost(const unsigned char* der, size_t length, const std::string& host);

// What becomes of a server's certificate.
enum class TNCertificateVerdict {
    Verified,   // the chain verifies against the authorities and the name matches: silent
    Trusted,    // the user chose to trust this very certificate for this host: silent
    Ask,        // unknown authority, self-signed or another name: the user decides
    Changed,    // the user trusted another certificate for this host: refused unless replaced
    Refused,    // expired, not yet valid, revoked or unreadable: refused with the reason
};
struct TNCertificateJudgement {
    TNCertificateVerdict verdict = TNCertificateVerdict::Refused;
    std::string reason;           // why it did not verify ("" when it did)
};
// `status`: the chain's check against the authority file (0 or GnuTLS's GNUTLS_CERT_* bits);
// `nameMatches`: tnCertificateMatchesHost for the host; `stored`: the fingerprint the user
// trusted for this host and port, or "".
TNCertificateJudgement tnJudgeCertificate(const TNCertificateInfo& info, unsigned status, bool nameMatches,
                                          const std::string& host, time_t now, const std::string& stored);

// A point in time as the window shows it: "2026-12-11 01:36:33 UTC".
std::string tnCertificateTime(time_t when);

// How a connection is protected, and the quick-info panel's line for it.
enum class TNCertificateTrust { NoCertificate, Verified, AcceptedByUser };
// `authScheme`, `subAuthScheme`: the security types the handshake used (RFB numbers).
std::string tnConnectionSecurityText(uint32_t authScheme, uint32_t subAuthScheme, TNCertificateTrust trust,
                                     bool throughSSH);
// Whether those security types asked for no password at all.
bool tnSecurityAsksNothing(uint32_t authScheme, uint32_t subAuthScheme);

// A question for the user about the server, and its window's texts (TNQuestionText).
enum class TNServerQuestionKind { UnknownCertificate, ChangedCertificate, NoAuthentication };
// `host`: how the window names the host ("name (address:port)"); `address` how the first
// line names it; for a certificate `info`, `reason` and the `stored` fingerprint.
TNQuestionText tnServerQuestionText(TNServerQuestionKind kind, const std::string& host, const std::string& address,
                                    const TNCertificateInfo& info, const std::string& reason,
                                    const std::string& stored);
