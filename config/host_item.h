// One remote host: its stored settings and its run-time connection state.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

class VncObject;
class Fl_Image;

// The connection flags are handed between the main thread and the handshake
// worker, so they are atomics; the states and transitions are the plain ones:
// the main thread sets the start values before the worker runs, the worker alone
// writes its result flags until it queues the result, then only the main thread.
// The strings belong to the main thread: the worker reads the copy that its attempt
// took when it started (TNHandshakeHost), so a host can be edited at any time.
class HostItem {
public:
    std::string name;
    std::string group;
    std::string hostAddress;
    std::string vncPort;
    std::string sshPort;
    std::string sshUser;
    std::string sshKeyPrivate;
    int sshLocalPort = 0;
    std::string vncPassword;
    std::string vncLoginUser;
    std::string vncLoginPassword;
    char hostType = 'v';              // 'v' VNC, 's' VNC through SSH
    VncObject* vnc = nullptr;         // owned
    pthread_t threadRFB = 0;
    std::atomic<bool> sshReady{false};
    std::string connectAddress;
    std::string f12Macro;
    char scaling = 'f';               // 's' scrolled, 'z' scale up/down, 'f' scale down only
    bool scalingFast = false;
    bool showRemoteCursor = false;
    uint8_t compressLevel = 5;
    uint8_t qualityLevel = 5;
    bool isListener = false;
    std::atomic<bool> isConnecting{false};
    std::atomic<bool> isConnected{false};
    std::atomic<bool> isWaitingToShow{false};
    std::atomic<bool> hasCouldntConnect{false};
    std::atomic<bool> hasAborted{false};
    std::atomic<bool> hasDisconnectRequest{false};
    std::atomic<bool> needsCleanup{false};
    std::atomic<bool> isClientInitialized{false};
    // A handshake worker for this host is running (set before it starts, cleared
    // when its result has been handled); a new attempt waits for it to finish.
    std::atomic<bool> isWorkerRunning{false};
    // The connection was ended (or its line deleted) while its handshake was still
    // running; the result handler then releases it instead of showing it.
    std::atomic<bool> isAbandoned{false};
    Fl_Image* icon = nullptr;         // never owned
    uint16_t sshWait = 5;
    FILE* sshCmdStream = nullptr;
    pthread_t threadSSH = 0;
    std::string quickNote;
    std::string lastConnectedTime;
    bool customCommand1Enabled = false;
    std::string customCommand1Label = "Command 1";
    std::string customCommand1;
    bool customCommand2Enabled = false;
    std::string customCommand2Label = "Command 2";
    std::string customCommand2;
    bool customCommand3Enabled = false;
    std::string customCommand3Label = "Command 3";
    std::string customCommand3;

    // The last error of a connection attempt. Written by the handshake worker,
    // read by the quick-info panel at any time, hence the lock.
    std::string lastError() const
    {
        std::lock_guard<std::mutex> hold(errorLock);
        return lastErrorMessage;
    }
    void setLastError(const std::string& text)
    {
        std::lock_guard<std::mutex> hold(errorLock);
        lastErrorMessage = text;
    }

private:
    std::string lastErrorMessage;
    mutable std::mutex errorLock;
};
