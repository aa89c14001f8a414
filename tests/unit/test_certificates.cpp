// Servers' certificates: what is read of one, which names it is good for, the verdict on
// it, and how a connection's protection is described.
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/certificates.h"

namespace {

// A self-signed certificate made here (CN "server", names localhost and 127.0.0.1), DER.
std::vector<unsigned char> tnMakeCertificate(time_t notBefore, time_t notAfter)
{
    gnutls_x509_privkey_t key = nullptr;
    gnutls_x509_crt_t crt = nullptr;
    std::vector<unsigned char> der;
    if (gnutls_x509_privkey_init(&key) < 0 ||
        gnutls_x509_privkey_generate(key, GNUTLS_PK_ECDSA, GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0) < 0 ||
        gnutls_x509_crt_init(&crt) < 0)
        return der;
    const unsigned char serial[] = {1};
    const unsigned char ip[] = {127, 0, 0, 1};
    gnutls_x509_crt_set_version(crt, 3);
    gnutls_x509_crt_set_serial(crt, serial, sizeof(serial));
    gnutls_x509_crt_set_dn(crt, "CN=server,O=Test", nullptr);
    gnutls_x509_crt_set_activation_time(crt, notBefore);
    gnutls_x509_crt_set_expiration_time(crt, notAfter);
    gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_DNSNAME, "localhost", 9, GNUTLS_FSAN_APPEND);
    gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_IPADDRESS, ip, sizeof(ip), GNUTLS_FSAN_APPEND);
    gnutls_x509_crt_set_key(crt, key);
    if (gnutls_x509_crt_sign2(crt, crt, key, GNUTLS_DIG_SHA256, 0) >= 0) {
        gnutls_datum_t out{nullptr, 0};
        if (gnutls_x509_crt_export2(crt, GNUTLS_X509_FMT_DER, &out) >= 0) {
            der.assign(out.data, out.data + out.size);
            gnutls_free(out.data);
        }
    }
    gnutls_x509_crt_deinit(crt);
    gnutls_x509_privkey_deinit(key);
    return der;
}

constexpr time_t kJan2020 = 1577836800;
constexpr time_t kJan2021 = 1609459200;
constexpr time_t kJan2030 = 1893456000;

} // namespace

TEST(Certificate, ReadAndMatchedAgainstNamesAndAddresses)
{
    const std::vector<unsigned char> der = tnMakeCertificate(kJan2020, kJan2030);
    ASSERT_FALSE(der.empty());
    const TNCertificateInfo info = tnReadCertificate(der.data(), der.size());
    ASSERT_TRUE(info.isRead);
    EXPECT_EQ(info.subject, "CN=server,O=Test");
    EXPECT_EQ(info.issuer, "CN=server,O=Test");
    EXPECT_TRUE(info.isSelfSigned);
    EXPECT_EQ(info.notBefore, kJan2020);
    EXPECT_EQ(info.notAfter, kJan2030);
    EXPECT_EQ(tnCertificateTime(info.notBefore), "2020-01-01 00:00:00 UTC");
    // The SHA-256 of the DER bytes, as GnuTLS computes a fingerprint.
    gnutls_x509_crt_t crt = nullptr;
    gnutls_datum_t data{const_cast<unsigned char*>(der.data()), static_cast<unsigned>(der.size())};
    ASSERT_GE(gnutls_x509_crt_init(&crt), 0);
    ASSERT_GE(gnutls_x509_crt_import(crt, &data, GNUTLS_X509_FMT_DER), 0);
    unsigned char digest[32];
    size_t size = sizeof(digest);
    ASSERT_GE(gnutls_x509_crt_get_fingerprint(crt, GNUTLS_DIG_SHA256, digest, &size), 0);
    gnutls_x509_crt_deinit(crt);
    char first[8];
    snprintf(first, sizeof(first), "%02X:%02X", digest[0], digest[1]);
    EXPECT_EQ(info.fingerprint.substr(0, 5), first);
    EXPECT_EQ(info.fingerprint.size(), 95u);

    for (const auto& [host, matches] : std::vector<std::pair<std::string, bool>>{
             {"localhost", true}, {"LOCALHOST", true}, {"127.0.0.1", true}, {"127.0.0.2", false},
             {"::1", false}, {"server", false}, {"other.example", false}, {"", false}})
        EXPECT_EQ(tnCertificateMatchesHost(der.data(), der.size(), host), matches) << host;

    const unsigned char garbage[] = {0x30, 0x03, 0x02, 0x01, 0x00};
    EXPECT_FALSE(tnReadCertificate(garbage, sizeof(garbage)).isRead);
    EXPECT_FALSE(tnReadCertificate(nullptr, 0).isRead);
    EXPECT_FALSE(tnCertificateMatchesHost(garbage, sizeof(garbage), "localhost"));
}

TEST(Certificate, Verdicts)
{
    TNCertificateInfo info;
    info.isRead = true;
    info.notBefore = kJan2020;
    info.notAfter = kJan2030;
    info.fingerprint = "FP";
    TNCertificateInfo selfSigned = info;
    selfSigned.isSelfSigned = true;
    const unsigned unknown = GNUTLS_CERT_INVALID | GNUTLS_CERT_SIGNER_NOT_FOUND;
    using V = TNCertificateVerdict;
    struct Case {
        const char* what;
        TNCertificateInfo info;
        unsigned status;
        bool nameMatches;
        time_t now;
        std::string stored;
        V verdict;
        std::string reason;
    };
    const Case cases[] = {
        {"verified", info, 0, true, kJan2021, "", V::Verified, ""},
        {"verified, another stored", info, 0, true, kJan2021, "OLD", V::Verified, ""},
        {"unknown authority", info, unknown, true, kJan2021, "", V::Ask,
         "The certificate was issued by an unknown authority"},
        {"self-signed, another name", selfSigned, unknown, false, kJan2021, "", V::Ask,
         "The certificate is self-signed\nThe certificate was not issued for host"},
        {"trusted chain, another name", info, 0, false, kJan2021, "", V::Ask,
         "The certificate was not issued for host"},
        {"bad signature", info, GNUTLS_CERT_INVALID | GNUTLS_CERT_SIGNATURE_FAILURE, true, kJan2021, "", V::Ask,
         "The certificate's chain does not verify"},
        {"trusted by the user", selfSigned, unknown, true, kJan2021, "FP", V::Trusted,
         "The certificate is self-signed"},
        {"changed", selfSigned, unknown, true, kJan2021, "OLD", V::Changed, "The certificate is self-signed"},
        {"expired", info, 0, true, kJan2030 + 1, "", V::Refused,
         "The certificate has expired (valid until 2030-01-01 00:00:00 UTC)"},
        {"expired, though trusted", info, unknown, true, kJan2030 + 1, "FP", V::Refused,
         "The certificate has expired (valid until 2030-01-01 00:00:00 UTC)"},
        {"expired by the chain's check", info, GNUTLS_CERT_INVALID | GNUTLS_CERT_EXPIRED, true, kJan2021, "",
         V::Refused, "The certificate has expired (valid until 2030-01-01 00:00:00 UTC)"},
        {"not yet valid", info, 0, true, kJan2020 - 1, "", V::Refused,
         "The certificate is not yet valid (valid from 2020-01-01 00:00:00 UTC)"},
        {"revoked", info, GNUTLS_CERT_INVALID | GNUTLS_CERT_REVOKED, true, kJan2021, "FP", V::Refused,
         "The certificate has been revoked"},
        {"unreadable", TNCertificateInfo(), 0, true, kJan2021, "", V::Refused,
         "The server's certificate could not be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TNCertificateJudgement judgement = tnJudgeCertificate(c.info, c.status, c.nameMatches, "host", c.now, c.stored);
        EXPECT_EQ(judgement.verdict, c.verdict);
        EXPECT_EQ(judgement.reason, c.reason);
    }
}

TEST(Certificate, QuestionTextsNameTheHostTheCertificateAndTheChoices)
{
    TNCertificateInfo info;
    info.isRead = true;
    info.subject = "CN=subject";
    info.issuer = "CN=issuer";
    info.notBefore = kJan2020;
    info.notAfter = kJan2030;
    info.fingerprint = "NEW:FP";
    const TNQuestionText unknown = tnServerQuestionText(TNServerQuestionKind::UnknownCertificate,
                                                              "box (10.0.0.1:5900)", "10.0.0.1", info, "Why", "");
    EXPECT_EQ(unknown.text, "The certificate of 10.0.0.1 could not be verified:\nWhy\n\nHost: box (10.0.0.1:5900)\n"
                            "Subject: CN=subject\nIssuer: CN=issuer\nValid from: 2020-01-01 00:00:00 UTC\n"
                            "Valid until: 2030-01-01 00:00:00 UTC\nSHA-256 fingerprint:\nNEW:FP");
    EXPECT_STREQ(unknown.buttons[0], "Cancel");
    EXPECT_STREQ(unknown.buttons[1], "Connect once");
    EXPECT_STREQ(unknown.buttons[2], "Always trust this certificate for this host");

    const TNQuestionText changed = tnServerQuestionText(TNServerQuestionKind::ChangedCertificate,
                                                              "box (10.0.0.1:5900)", "10.0.0.1", info, "Why", "OLD:FP");
    EXPECT_EQ(changed.text.rfind("The certificate of 10.0.0.1 has changed", 0), 0u) << changed.text;
    EXPECT_NE(changed.text.find("OLD:FP"), std::string::npos);
    EXPECT_NE(changed.text.find("NEW:FP"), std::string::npos);
    EXPECT_STREQ(changed.buttons[0], "Cancel");
    EXPECT_NE(changed.buttons[1], nullptr);
    EXPECT_EQ(changed.buttons[2], nullptr);
}

TEST(ConnectionSecurity, TheQuickInfoLineAndServersThatAskForNothing)
{
    using T = TNCertificateTrust;
    struct Case {
        uint32_t scheme;
        uint32_t sub;
        T trust;
        bool ssh;
        const char* text;
        bool asksNothing;
    };
    const Case cases[] = {
        {19, 261, T::Verified, false, "Encrypted, certificate verified", false},
        {19, 260, T::AcceptedByUser, false, "Encrypted, certificate accepted by you", true},
        {19, 262, T::Verified, true, "Encrypted, certificate verified", false},
        {19, 258, T::NoCertificate, false, "Encrypted, server not authenticated", false},
        {19, 257, T::NoCertificate, false, "Encrypted, server not authenticated", true},
        {19, 264, T::NoCertificate, false, "Encrypted, server not authenticated", false},
        {18, 2, T::NoCertificate, false, "Encrypted, server not authenticated", false},
        {18, 1, T::NoCertificate, false, "Encrypted, server not authenticated", true},
        {19, 258, T::NoCertificate, true, "Through SSH", false},
        {2, 0, T::NoCertificate, true, "Through SSH", false},
        {2, 0, T::NoCertificate, false, "Not encrypted", false},
        {1, 0, T::NoCertificate, false, "Not encrypted", true},
        {19, 256, T::NoCertificate, false, "Not encrypted", false},
        {19, 1, T::NoCertificate, false, "Not encrypted", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.scheme) + "/" + std::to_string(c.sub));
        EXPECT_EQ(tnConnectionSecurityText(c.scheme, c.sub, c.trust, c.ssh), c.text);
        EXPECT_EQ(tnSecurityAsksNothing(c.scheme, c.sub), c.asksNothing);
    }
}
