// One remote host: its stored settings.
#pragma once

#include <cstdint>
#include <string>

// What is stored of a host, or edited in its window: nothing of a connection (the engine
// keeps that in the host's TNConnection, connection/vnc_object.h). Main thread only: a
// handshake worker reads the copy that its attempt took when it started (TNHandshakeHost).
class HostItem {
public:
    std::string name;
    std::string group;
    std::string hostAddress;
    std::string vncPort;
    std::string sshPort;
    std::string sshUser;
    std::string sshKeyPrivate;
    std::string vncPassword;
    std::string vncLoginUser;
    std::string vncLoginPassword;
    char hostType = 'v';              // 'v' VNC, 's' VNC through SSH
    std::string f12Macro;
    char scaling = 'f';               // 's' scrolled, 'z' scale up/down, 'f' scale down only
    bool scalingFast = false;
    bool showRemoteCursor = false;
    uint8_t compressLevel = 5;
    uint8_t qualityLevel = 5;
    bool isListener = false;
    uint16_t sshWait = 5;
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
};
