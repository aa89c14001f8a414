#include "config/trust_store.h"

#include <cstdlib>
#include <mutex>
#include <sstream>

#include "config/config.h"
#include "core/options.h"

namespace {

// Read, change and write happen under this lock, so that two answers at once both stay.
std::mutex trustFileLock;

bool tnIsHexUpper(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// An address fits on a line when it has no blank, no control character and is not empty.
bool tnAddressFits(const std::string& address)
{
    if (address.empty())
        return false;
    for (const char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F)
            return false;
    }
    return true;
}

// The certificate a line names; address empty when it names none.
TNTrustedCertificate tnLineCertificate(const std::string& line)
{
    std::istringstream fields(line);
    TNTrustedCertificate certificate;
    std::string port;
    std::string extra;
    if (!(fields >> certificate.address >> port >> certificate.fingerprint) || (fields >> extra))
        return {};
    char* end = nullptr;
    const long number = strtol(port.c_str(), &end, 10);
    if (!tnAddressFits(certificate.address) || port.empty() || *end != '\0' || port[0] == '-' || port[0] == '+' ||
        number < 0 || number > 65535 || !tnIsFingerprint(certificate.fingerprint))
        return {};
    certificate.port = static_cast<int>(number);
    return certificate;
}

std::string tnLineOf(const TNTrustedCertificate& certificate)
{
    return certificate.address + " " + std::to_string(certificate.port) + " " + certificate.fingerprint;
}

} // namespace

std::string tnTrustStorePath()
{
    return appOptions.configPath + tnTrustStoreFileName;
}

bool tnIsFingerprint(const std::string& text)
{
    if (text.size() != 32 * 3 - 1)
        return false;
    for (size_t i = 0; i < text.size(); i++) {
        const bool separator = i % 3 == 2;
        if (separator ? text[i] != ':' : !tnIsHexUpper(text[i]))
            return false;
    }
    return true;
}

std::vector<TNTrustStoreLine> tnParseTrustStore(const std::string& text)
{
    std::vector<TNTrustStoreLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        TNTrustStoreLine line;
        line.text = text.substr(start, end - start);
        line.certificate = tnLineCertificate(line.text);
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string tnStoredFingerprint(const std::vector<TNTrustStoreLine>& lines, const std::string& address, int port)
{
    for (const TNTrustStoreLine& line : lines) {
        if (!line.certificate.address.empty() && line.certificate.address == address && line.certificate.port == port)
            return line.certificate.fingerprint;
    }
    return "";
}

bool tnStoreInTrustText(std::string& text, const TNTrustedCertificate& certificate)
{
    if (!tnAddressFits(certificate.address) || certificate.port < 0 || certificate.port > 65535 ||
        !tnIsFingerprint(certificate.fingerprint))
        return false;
    std::string result;
    bool stored = false;
    for (const TNTrustStoreLine& line : tnParseTrustStore(text)) {
        const TNTrustedCertificate& old = line.certificate;
        if (!old.address.empty() && old.address == certificate.address && old.port == certificate.port) {
            // One line per host: the first takes the new fingerprint, any later one goes.
            if (!stored)
                result += tnLineOf(certificate) + "\n";
            stored = true;
            continue;
        }
        result += line.text + "\n";
    }
    if (!stored)
        result += tnLineOf(certificate) + "\n";
    text = std::move(result);
    return true;
}

std::string tnReadTrustedFingerprint(const std::string& path, const std::string& address, int port)
{
    std::lock_guard<std::mutex> hold(trustFileLock);
    const TNConfigFileText file = tnReadConfigFile(path);
    if (file.status != TNConfigReadStatus::Read)
        return "";
    return tnStoredFingerprint(tnParseTrustStore(file.text), address, port);
}

bool tnWriteTrustedCertificate(const std::string& path, const TNTrustedCertificate& certificate, std::string* reason)
{
    std::lock_guard<std::mutex> hold(trustFileLock);
    const TNConfigFileText file = tnReadConfigFile(path);
    // A file that is there but cannot be read is not overwritten: it may hold other hosts.
    if (file.status == TNConfigReadStatus::Failed) {
        if (reason)
            *reason = file.reason;
        return false;
    }
    std::string text = file.text;
    if (!tnStoreInTrustText(text, certificate)) {
        if (reason)
            *reason = "the host's address cannot be stored";
        return false;
    }
    return tnWriteFileAtomically(path, text, reason);
}
