// VNC through SSH: the local port forward made by the system's ssh client for a host of
// type 's'. The command line, the search for a free local port, and the ssh child itself
// (started through /bin/sh, watched until its forward listens, ended with ssh's disconnect
// escape). Nothing here knows a host record or a connection (connection/ssh_connection.h
// has the steps of an attempt).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

// Quotes `text` for /bin/sh: it reaches the command as exactly one word, whatever it holds.
std::string tnQuoteForShell(const std::string& text);

// What the ssh command line is made of (taken from the host record and the options).
struct TNSSHCommandParts {
    std::string sshCommand;   // the ssh client, as typed in the options (it may carry options)
    std::string user;         // empty: no "user@", ssh uses the local login name
    std::string address;      // the SSH host
    std::string sshPort;
    std::string vncPort;      // the VNC port on the SSH host's own loopback address
    std::string keyPath;      // empty: no -i, ssh uses its agent and default keys
    int localPort = 0;
    int waitSeconds = 5;      // ssh's ConnectTimeout
};

// The shell command line that starts the tunnel: "exec", then the ssh command as typed and
// every piece from the host record quoted for the shell. Returns "" and sets `refusal` (a sentence for the
// user) when the user or the address begins with "-" (ssh would read it as an option) or
// holds a control character.
std::string tnBuildSSHCommandLine(const TNSSHCommandParts& parts, std::string* refusal);

// The shell command line that checks the ssh command: "which" + its first word, quoted.
std::string tnBuildSSHCheckLine(const std::string& sshCommand);

// The port that listening lines accept reverse connections on: never a tunnel's.
constexpr int tnSSHSkippedPort = 5500;

// Ports handed to tunnels are reserved until their ssh has ended, so that no two attempts
// get the same one. Finds a port from `startingPort` on (at most 99 ports, never 5500, never
// above 65535) that a socket can bind on all IPv4 addresses and that is not reserved, and
// reserves it; 0 when there is none.
int tnFindFreeTcpPort(int startingPort);
void tnReleaseTcpPort(int port);
bool tnTcpPortIsReserved(int port);

// True when a socket held by process `pid` or any process of its session listens on TCP
// `port` of this machine (IPv4 or IPv6). Read from the kernel's socket tables and the
// processes' descriptors; nothing connects to the port.
bool tnSessionListensOnPort(pid_t pid, int port);

// One ssh child with its local port forward. The child is /bin/sh -c running the command
// line, in a session of its own (so that it and whatever it starts can be ended together and
// it reads no password from the program's terminal), with a pipe to its standard input and
// no other descriptor of the program; its standard error is kept (errorText), its standard
// output is the program's own. It gets SIGTERM when the program ends, even by SIGKILL.
// Every operation may be called from any thread.
class TNSSHTunnel : public std::enable_shared_from_this<TNSSHTunnel> {
public:
    enum class Wait { Listening, Exited, TimedOut, Closed };

    // The tunnel owns the reservation of `localPort` from here on. `checkLine` checks the
    // ssh command before the tunnel starts; `waitSeconds` is how long it may take to listen.
    TNSSHTunnel(std::string commandLine, std::string checkLine, int localPort, int waitSeconds);
    ~TNSSHTunnel();
    TNSSHTunnel(const TNSSHTunnel&) = delete;
    TNSSHTunnel& operator=(const TNSSHTunnel&) = delete;

    // Starts the child; false (with `error` set) when it could not be started, the tunnel
    // has been closed already or its child still runs. After the child has ended, starts
    // it again (a retry).
    bool start(std::string* error);
    // Waits until the child listens on the local port, the child ends (its exit status in
    // `exitStatus`: the code, or 128 + the signal), the tunnel is closed, or `seconds` pass.
    Wait waitUntilListening(double seconds, int* exitStatus);
    // Ends the tunnel on a thread of its own: writes ssh's disconnect escape into the pipe
    // and closes it, waits for the child (a child that never got its forward up, or does not
    // end in time, is ended with SIGTERM, then SIGKILL), reaps it and frees the port. A
    // second call does nothing. False when no thread could be started (the tunnel is then
    // ended on the calling thread).
    bool close();
    // The same, on the calling thread, giving the child at most `seconds` before it is ended.
    void closeAndWait(double seconds);

    // Where the tunnel goes (for the host key's scan); set before the tunnel is shared.
    TNSSHCommandParts destination;

    int localPort() const { return port; }
    int waitSeconds() const { return wait; }
    const std::string& checkLine() const { return check; }
    pid_t pid() const;
    bool isClosed() const { return closing; }
    // Closed, and the child and whatever it started have ended.
    bool isFinished() const { return finished; }
    // What the child has written to its standard error so far (the last 64 KiB).
    std::string errorText() const;

private:
    static void* closerThread(void* self);
    void finish(double seconds);
    // Reaps the child if it has ended (lock held); true once it has been reaped.
    bool reapLocked(bool block);
    void signalSessionLocked(int signal);

    const std::string commandLine;
    const std::string check;
    const int port;
    const int wait;
    mutable std::mutex lock;
    pid_t child = -1;
    int input = -1;
    bool reaped = false;
    int exitStatus = 0;
    bool listened = false;
    int errorFile = -1;
    std::atomic<bool> closing{false};
    std::atomic<bool> finished{false};
};

// Shut-down: closes every tunnel that has not been closed yet, all at once, and waits up to
// `seconds` for them all to have ended.
void tnCloseAllSSHTunnels(double seconds);
