// The certificates the user chose to trust: a file of its own beside the configuration
// (mode 0600), one line per host: its address, its port and the SHA-256 fingerprint of
// the certificate ("AB:CD:…", 32 bytes). Lines that are not of this form are kept as they
// are when the file is written again, and count for no host.
#pragma once

#include <string>
#include <vector>

struct TNTrustedCertificate {
    std::string address;
    int port = 0;
    std::string fingerprint;
};

// The file's name in the configuration directory.
constexpr const char* tnTrustStoreFileName = "tandrel-fltk.certificates";
// Its path: appOptions.configPath + tnTrustStoreFileName.
std::string tnTrustStorePath();

// A fingerprint as the file holds it: 32 two-digit upper-case hex bytes joined by ':'.
bool tnIsFingerprint(const std::string& text);

// --- Pure text functions ---
// The file's lines: each line's text, and the certificate it names (address empty when
// the line names none).
struct TNTrustStoreLine {
    std::string text;
    TNTrustedCertificate certificate;
};
std::vector<TNTrustStoreLine> tnParseTrustStore(const std::string& text);
// The fingerprint stored for `address` and `port`, or "".
std::string tnStoredFingerprint(const std::vector<TNTrustStoreLine>& lines, const std::string& address, int port);
// The file's text with `certificate` stored: it replaces the line of the same address and
// port in place, or comes last. An address that cannot be stored on a line (empty, or with
// blanks or control characters) leaves the text as it is and returns false.
bool tnStoreInTrustText(std::string& text, const TNTrustedCertificate& certificate);

// --- The file (any thread; one writer at a time) ---
// The fingerprint stored in the file at `path` for `address` and `port`, or "" (also when
// the file is missing or unreadable).
std::string tnReadTrustedFingerprint(const std::string& path, const std::string& address, int port);
// Stores `certificate` in the file at `path`, written atomically like the configuration.
// False, with `reason`, when it could not be.
bool tnWriteTrustedCertificate(const std::string& path, const TNTrustedCertificate& certificate, std::string* reason);
