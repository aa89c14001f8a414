// What ssh says when a tunnel fails, and the SSH server's host key that ssh does not know
// yet: scanned with ssh-keyscan, shown with its SHA-256 fingerprint, and, once the user
// trusts it, added to the known-hosts file that ssh reads. Nothing here knows a host
// record, a connection or a window.
#pragma once

#include <string>
#include <vector>

#include "connection/ssh_tunnel.h"
#include "connection/user_question.h"

// Why ssh ended, from its standard error.
enum class TNSSHFailure { Other, UnknownHostKey, ChangedHostKey };
TNSSHFailure tnClassifySSHFailure(const std::string& errors);

// The lines of ssh's standard error that say something (no blank lines, no frames of '@').
std::vector<std::string> tnSSHErrorLines(const std::string& errors);
// The text for the host's last error: ssh's last line that says something ("" when there is
// none); for a changed host key, ssh's warning before it.
std::string tnSSHFailureText(const std::string& errors);

// One key as `ssh-keygen -l` shows it.
struct TNHostKeyFingerprint {
    std::string type;          // "ED25519", "RSA", ...
    std::string fingerprint;   // "SHA256:..."
};
std::vector<TNHostKeyFingerprint> tnParseFingerprints(const std::string& keygenOutput);

// The known-hosts file that ssh adds keys to (the first of its UserKnownHostsFile, "~" and
// "%d" standing for `home`) and whether it hashes host names, from `ssh -G` output.
struct TNKnownHostsFile {
    std::string path;
    bool hashNames = false;
};
TNKnownHostsFile tnParseKnownHostsSetting(const std::string& sshSettings, const std::string& home);
// Whether a known-hosts file's text names hosts hashed ("|1|...").
bool tnKnownHostsUsesHashedNames(const std::string& content);

// The host keys of an SSH server, scanned.
struct TNHostKeyScan {
    std::string keys;                               // ssh-keyscan's lines, known-hosts form
    std::vector<TNHostKeyFingerprint> fingerprints;
};
// Scans the server's keys (`ssh-keyscan -p PORT HOST`) and their fingerprints
// (`ssh-keygen -lf -`); false with `error` set when there are none.
bool tnScanHostKeys(const TNSSHCommandParts& parts, TNHostKeyScan* scan, std::string* error);
// Adds the scanned keys to the known-hosts file that the ssh command uses (asked with
// `ssh -G`), hashed when that file hashes names; the file and its folder are made when
// missing (modes 0600 and 0700). False with `error` set when they could not be added.
bool tnTrustHostKeys(const TNSSHCommandParts& parts, const std::string& keys, std::string* error);

// The window's texts that ask about the unknown host keys of `host` ("address" or
// "[address]:port" as ssh names it): "Cancel" or "Trust and connect" (button 1).
constexpr const char* tnHostKeyWindowTitle = "Tandrel - Unknown SSH host key";
TNQuestionText tnHostKeyQuestionText(const std::string& host, const std::vector<TNHostKeyFingerprint>& keys);
