// The SSH steps of a connection attempt of a type-'s' host.
#include "connection/ssh_connection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "config/host_item.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/ssh_host_keys.h"
#include "connection/ssh_tunnel.h"
#include "connection/vnc_object.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/options.h"
#include "core/process.h"

static_assert(tnSSHSkippedPort == tnListenPort, "a tunnel must never take the listening lines' port");

namespace {

using Clock = std::chrono::steady_clock;

// ssh's own words into the log, one entry a line, and its last one into the host's last error.
void tnReportSSHErrors(VncObject* vnc, const std::string& errors, const std::string& suffix)
{
    for (const std::string& line : tnSSHErrorLines(errors))
        tnLogToFile("SSH: " + line + " (" + suffix + ")");
    const std::string reason = tnSSHFailureText(errors);
    vnc->setAttemptError(reason.empty() ? "Unable to connect to host's SSH server" : tnSanitisedText(reason));
}

// The name ssh gives the server in known-hosts files.
std::string tnKnownHostName(const TNSSHCommandParts& parts)
{
    if (parts.sshPort == "22")
        return parts.address;
    return "[" + parts.address + "]:" + parts.sshPort;
}

// ssh refused the server's key as unknown: scans it, asks the user through the front end
// and waits for the answer (or for the attempt to end). True when the user trusted the key
// and it was added to the known hosts, so that the tunnel may be tried again.
bool tnOfferHostKey(const TNSSHTunnel& tunnel, const std::string& suffix)
{
    const TNSSHCommandParts& parts = tunnel.destination;
    const std::string host = tnKnownHostName(parts);
    TNHostKeyScan scan;
    std::string error;
    if (!tnScanHostKeys(parts, &scan, &error)) {
        tnLogToFile("ERROR - Could not read the SSH host key of " + host + " for " + suffix + ": " + error);
        return false;
    }
    for (const TNHostKeyFingerprint& key : scan.fingerprints)
        tnLogToFile("Unknown SSH host key of " + host + ": " + key.type + " " + key.fingerprint + " for " + suffix);
    auto question = std::make_shared<TNUserQuestion>(tnHostKeyQuestionText(host, scan.fingerprints));
    tnFrontEnd().ask(nullptr, question);
    // Ending the host (or the program) closes the tunnel: the window goes without an answer.
    const int answer = question->waitForAnswer([&tunnel] { return tunnel.isClosed(); });
    if (answer != 1) {
        if (!question->isWithdrawn())
            tnLogToFile("SSH host key of " + host + " not trusted for " + suffix);
        return false;
    }
    if (!tnTrustHostKeys(parts, scan.keys, &error)) {
        tnLogToFile("ERROR - " + error);
        return false;
    }
    tnLogToFile("SSH host key of " + host + " trusted and added to the known hosts for " + suffix);
    return !tunnel.isClosed();
}

} // namespace

bool tnPrepareSSHTunnel(HostItem* itm, VncObject* vnc)
{
    tnDebugLog("tnCreateVNCObject - Host is SSH type");
    auto fail = [vnc](const std::string& error) {
        vnc->setAttemptError(error);
        return false;
    };
    // The key file must be a file that can be read; with no key ssh uses its agent and
    // default keys.
    if (!itm->sshKeyPrivate.empty()) {
        struct stat info {};
        int fd = -1;
        const bool readable = stat(itm->sshKeyPrivate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                              (fd = open(itm->sshKeyPrivate.c_str(), O_RDONLY | O_CLOEXEC)) >= 0;
        if (fd >= 0)
            close(fd);
        if (!readable) {
            fail("Could not open the private SSH key file");
            tnLogToFile("ERROR - Could not open the private SSH key file");
            tnFrontEnd().tell("Error: Could not open the private SSH key file for " + tnConnectionLogSuffix(itm),
                          "Tandrel");
            return false;
        }
    }
    const int port = tnFindFreeTcpPort(appOptions.startingLocalPort);
    if (port == 0) {
        fail("No free local port for the SSH tunnel");
        tnLogToFile("ERROR - No free local port for the SSH tunnel from port " +
                    std::to_string(appOptions.startingLocalPort) + " on for " + tnConnectionLogSuffix(itm));
        return false;
    }
    TNSSHCommandParts parts;
    parts.sshCommand = appOptions.sshCommand;
    parts.user = itm->sshUser;
    parts.address = itm->hostAddress;
    parts.sshPort = itm->sshPort;
    parts.vncPort = itm->vncPort;
    parts.keyPath = itm->sshKeyPrivate;
    parts.localPort = port;
    parts.waitSeconds = itm->sshWait;
    std::string refusal;
    const std::string line = tnBuildSSHCommandLine(parts, &refusal);
    if (line.empty()) {
        tnReleaseTcpPort(port);
        fail(refusal);
        tnLogToFile("ERROR - " + refusal + ": " + tnConnectionLogSuffix(itm));
        tnFrontEnd().reportError("Error: " + refusal + " for " + tnConnectionLogSuffix(itm), "Tandrel");
        return false;
    }
    vnc->handshakeHost.connectAddress = "127.0.0.1:" + std::to_string(port);
    auto tunnel = std::make_shared<TNSSHTunnel>(line, tnBuildSSHCheckLine(appOptions.sshCommand), port, itm->sshWait);
    tunnel->destination = parts;
    vnc->sshTunnel = tunnel;
    return true;
}

bool tnCreateSSHConnection(VncObject* vnc)
{
    const std::shared_ptr<TNSSHTunnel> tunnel = vnc->sshTunnel;
    const TNHandshakeHost& host = vnc->handshakeHost;
    const std::string suffix = "'" + host.name + "' - " + host.hostAddress;
    if (!tunnel)
        return false;

    tnLogToFile("check command is: " + tunnel->checkLine());
    const int checked = tnRunShellCommand(tunnel->checkLine());
    if (checked != 0) {
        if (checked < 0)
            tnLogToFile("ssh check result is: " + std::to_string(errno));
        // Nothing is told of an attempt that was ended meanwhile. Only the main thread
        // opens windows: the result handler shows the box.
        if (!tunnel->isClosed()) {
            vnc->setAttemptBox("Error: This connection requires SSH and \nthe SSH command isn't working.\n\n"
                               "Check that the SSH client program is installed");
            tnLogToFile("SSH command not working for connection " + suffix);
            vnc->setAttemptError("SSH command not working");
        }
        vnc->sshReady = false;
        tunnel->close();
        return false;
    }

    for (bool retried = false;; retried = true) {
        tnDebugLog("tnCreateVNCObject - Creating and running threadSSH");
        std::string error;
        if (!tunnel->start(&error)) {
            if (!tunnel->isClosed()) {
                tnLogToFile("SSH connection disconnected abnormally from " + suffix);
                vnc->setAttemptError("Could not start the SSH command: " + error);
            }
            break;
        }
        tnDebugLog("tnCreateVNCObject - About to enter itm->sshReady timer loop");
        int status = 0;
        const auto start = Clock::now();
        const TNSSHTunnel::Wait outcome = tunnel->waitUntilListening(tunnel->waitSeconds(), &status);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (outcome == TNSSHTunnel::Wait::Listening) {
            vnc->sshReady = true;
            char took[64];
            snprintf(took, sizeof(took), "%.3f", seconds);
            tnDebugLog("tnCreateVNCObject - SSH tunnel listens on local port " + std::to_string(tunnel->localPort()) +
                       " after " + took + " s");
            return true;
        }
        // The attempt was ended meanwhile: nothing is reported for it.
        if (outcome == TNSSHTunnel::Wait::Closed)
            break;
        const std::string errors = tunnel->errorText();
        if (outcome == TNSSHTunnel::Wait::Exited && !retried &&
            tnClassifySSHFailure(errors) == TNSSHFailure::UnknownHostKey && tnOfferHostKey(*tunnel, suffix))
            continue;
        if (tunnel->isClosed())
            break;
        if (outcome == TNSSHTunnel::Wait::Exited)
            tnLogToFile("ERROR - SSH command ended with exit status " + std::to_string(status) +
                        " before its tunnel was up for " + suffix);
        else
            tnLogToFile("ERROR - SSH tunnel not up after " + std::to_string(tunnel->waitSeconds()) + " seconds for " +
                        suffix);
        tnReportSSHErrors(vnc, errors, suffix);
        break;
    }
    vnc->sshReady = false;
    tunnel->close();
    return false;
}

void tnCloseSSHConnection(VncObject* vnc)
{
    if (!vnc || !vnc->sshTunnel)
        return;
    vnc->sshReady = false;
    // At shut-down the program exits right after this: the tunnel is ended before.
    if (engine.isShuttingDown) {
        vnc->sshTunnel->closeAndWait(1.0);
        return;
    }
    if (!vnc->sshTunnel->close() && vnc->itm)
        tnLogToFile("ERROR - Couldn't create SSH closer thread for " + tnConnectionLogSuffix(vnc->itm));
}
