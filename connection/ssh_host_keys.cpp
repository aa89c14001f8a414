// ssh's reasons, and trusting an SSH server's host key.
#include "connection/ssh_host_keys.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "core/process.h"

namespace {

bool tnContains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

bool tnStartsWith(const std::string& text, const char* start)
{
    return text.compare(0, strlen(start), start) == 0;
}

std::string tnTrimmed(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The home folder as ssh takes it: the user's entry in the password database.
std::string tnHomeFolder()
{
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return entry->pw_dir;
    const char* home = getenv("HOME");
    return home ? home : "";
}

std::string tnReadWholeFile(const std::string& path)
{
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof(buffer))) > 0)
        text.append(buffer, static_cast<size_t>(got));
    close(fd);
    return text;
}

bool tnWriteAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// `ssh-keygen -H` hashes the names of a known-hosts file in place: the keys go through a
// file of their own in a private temporary folder. "" when that failed.
std::string tnHashedKeys(const std::string& keys)
{
    char folder[] = "/tmp/tandrel-keys-XXXXXX";
    if (!mkdtemp(folder))
        return "";
    const std::string file = std::string(folder) + "/known_hosts";
    std::string hashed;
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        const bool written = tnWriteAll(fd, keys);
        close(fd);
        std::string output, errors;
        if (written && tnRunShellForOutput("ssh-keygen -H -f " + tnQuoteForShell(file), "", &output, &errors) == 0)
            hashed = tnReadWholeFile(file);
    }
    unlink(file.c_str());
    unlink((file + ".old").c_str());
    rmdir(folder);
    return hashed;
}

} // namespace

TNSSHFailure tnClassifySSHFailure(const std::string& errors)
{
    if (!tnContains(errors, "Host key verification failed."))
        return TNSSHFailure::Other;
    // A key that differs from the known one, or one that was revoked: never offered.
    if (tnContains(errors, "REMOTE HOST IDENTIFICATION HAS CHANGED") || tnContains(errors, "has changed and") ||
        tnContains(errors, "REVOKED") || tnContains(errors, "DNS SPOOFING"))
        return TNSSHFailure::ChangedHostKey;
    return TNSSHFailure::UnknownHostKey;
}

std::vector<std::string> tnSSHErrorLines(const std::string& errors)
{
    std::vector<std::string> lines;
    std::istringstream in(errors);
    std::string line;
    while (std::getline(in, line)) {
        line = tnTrimmed(line);
        if (line.empty() || line.find_first_not_of('@') == std::string::npos)
            continue;
        // A frame line of ssh's warning: "@    WARNING: ... @".
        if (line.front() == '@' && line.back() == '@')
            line = tnTrimmed(line.substr(1, line.size() - 2));
        lines.push_back(line);
    }
    return lines;
}

std::string tnSSHFailureText(const std::string& errors)
{
    const std::vector<std::string> lines = tnSSHErrorLines(errors);
    // Lines that tell nothing about the failure.
    const auto tellsNothing = [](const std::string& line) {
        return tnStartsWith(line, "Warning: Permanently added") || tnStartsWith(line, "Pseudo-terminal will not") ||
               (tnStartsWith(line, "Connection to ") && tnContains(line, " closed"));
    };
    std::string last;
    for (auto it = lines.rbegin(); it != lines.rend() && last.empty(); ++it) {
        if (!tellsNothing(*it))
            last = *it;
    }
    if (tnClassifySSHFailure(errors) == TNSSHFailure::ChangedHostKey) {
        for (const std::string& line : lines) {
            if (tnContains(line, "REMOTE HOST IDENTIFICATION HAS CHANGED"))
                return line + " " + last;
        }
    }
    return last;
}

std::vector<TNHostKeyFingerprint> tnParseFingerprints(const std::string& keygenOutput)
{
    // "256 SHA256:3S7W... [127.0.0.1]:2222 (ED25519)"
    std::vector<TNHostKeyFingerprint> keys;
    std::istringstream in(keygenOutput);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string bits, fingerprint;
        fields >> bits >> fingerprint;
        const size_t open = line.rfind('(');
        const size_t close = line.rfind(')');
        if (!tnStartsWith(fingerprint, "SHA256:") || open == std::string::npos || close == std::string::npos ||
            close < open)
            continue;
        keys.push_back({line.substr(open + 1, close - open - 1), fingerprint});
    }
    return keys;
}

TNKnownHostsFile tnParseKnownHostsSetting(const std::string& sshSettings, const std::string& home)
{
    TNKnownHostsFile file;
    file.path = home + "/.ssh/known_hosts";
    std::istringstream in(sshSettings);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key, value;
        fields >> key >> value;
        if (key == "hashknownhosts") {
            file.hashNames = value == "yes";
        } else if (key == "userknownhostsfile" && !value.empty()) {
            if (value[0] == '~')
                value = home + value.substr(1);
            for (size_t at; (at = value.find("%d")) != std::string::npos;)
                value.replace(at, 2, home);
            file.path = value;
        }
    }
    return file;
}

bool tnKnownHostsUsesHashedNames(const std::string& content)
{
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
        if (tnStartsWith(tnTrimmed(line), "|1|"))
            return true;
    }
    return false;
}

bool tnScanHostKeys(const TNSSHCommandParts& parts, TNHostKeyScan* scan, std::string* error)
{
    const std::string host = tnQuoteForShell(parts.address);
    std::string keys;
    tnRunShellForOutput("ssh-keyscan -T 5 -p " + tnQuoteForShell(parts.sshPort) + " " + host, "", &keys, error);
    std::string output;
    if (!keys.empty())
        tnRunShellForOutput("ssh-keygen -lf -", keys, &output, error);
    scan->keys = keys;
    scan->fingerprints = tnParseFingerprints(output);
    if (scan->fingerprints.empty()) {
        if (error)
            *error = "No host key could be read from the SSH server";
        return false;
    }
    return true;
}

bool tnTrustHostKeys(const TNSSHCommandParts& parts, const std::string& keys, std::string* error)
{
    // Where ssh itself looks: the user's configuration may name another file.
    std::string settings, ignored;
    std::string destination = tnQuoteForShell(parts.address);
    if (!parts.user.empty())
        destination = tnQuoteForShell(parts.user) + "@" + destination;
    tnRunShellForOutput(parts.sshCommand + " -G -p " + tnQuoteForShell(parts.sshPort) + " " + destination, "",
                        &settings, &ignored);
    const std::string home = tnHomeFolder();
    const TNKnownHostsFile file = tnParseKnownHostsSetting(settings, home);
    const std::string before = tnReadWholeFile(file.path);
    std::string lines = keys;
    if (file.hashNames || tnKnownHostsUsesHashedNames(before)) {
        lines = tnHashedKeys(keys);
        if (lines.empty()) {
            *error = "Could not hash the host key for " + file.path;
            return false;
        }
    }
    if (file.path == home + "/.ssh/known_hosts")
        mkdir((home + "/.ssh").c_str(), 0700);
    const int fd = open(file.path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *error = "Could not open " + file.path + ": " + strerror(errno);
        return false;
    }
    if (!before.empty() && before.back() != '\n')
        lines = "\n" + lines;
    if (!lines.empty() && lines.back() != '\n')
        lines += "\n";
    const bool written = tnWriteAll(fd, lines);
    close(fd);
    if (!written)
        *error = "Could not write " + file.path;
    return written;
}

TNQuestionText tnHostKeyQuestionText(const std::string& host, const std::vector<TNHostKeyFingerprint>& keys)
{
    TNQuestionText question;
    question.title = tnHostKeyWindowTitle;
    question.text =
        "The SSH server " + host + " is not known yet.\n\nCompare its key with the one its administrator gives you:\n";
    for (const TNHostKeyFingerprint& key : keys)
        question.text += "\n" + key.type + " key fingerprint:\n" + key.fingerprint + "\n";
    question.text += "\nConnect only if they match.";
    question.buttons[0] = "Cancel";
    question.buttons[1] = "Trust and connect";
    return question;
}
