// The application's options: plain values that the configuration file stores and the options
// window edits. Nothing here needs the toolkit.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// A switch that any thread may read while the main thread flips it; copies like a bool.
class TNSwitch {
public:
    TNSwitch(bool on = false) : value(on) {}
    TNSwitch(const TNSwitch& other) : value(other.value.load()) {}
    TNSwitch& operator=(const TNSwitch& other)
    {
        value = other.value.load();
        return *this;
    }
    TNSwitch& operator=(bool on)
    {
        value = on;
        return *this;
    }
    operator bool() const { return value.load(); }

private:
    std::atomic<bool> value;
};

struct AppOptions {
    int hostListWidth = 170;
    bool colorBlindIcons = false;
    uint16_t scanTimeout = 2;
    int startingLocalPort = 15000;
    std::string sshCommand = "ssh";
    bool showTooltips = true;
    // The log switches: any thread reads them, the options window may flip them while
    // connections run.
    TNSwitch logToFile = false;
    TNSwitch debugMode = false;
    bool showReverseConnect = true;
    int appFontSize = 10;
    std::string listFont = "Sans";
    int listFontSize = 10;
    int menuFontSize = 11;
    // The main window's last geometry.
    int savedX = 64;
    int savedY = 64;
    int savedW = 800;
    int savedH = 600;
    // The middle mouse button goes to the hosts (off: it stays local, as X11's paste).
    bool sendMiddleButton = false;
    // Listening lines accept reverse connections on the loopback addresses only (127.0.0.1
    // and ::1), not on every interface.
    bool reverseLocalOnly = false;
    // The hosts' passwords are kept in the desktop keyring (config/keyring.h), not in the file;
    // handshake workers read it.
    TNSwitch passwordsInKeyring = false;
    // A host whose connection the server or the network ended connects again by itself.
    bool reconnectDropped = true;
    // How many times a second the overview asks each connected host for its changes
    // (tnMinOverviewRefresh to tnMaxOverviewRefresh, in tenths).
    double overviewRefresh = 1.0;
    // Where the configuration lives: the directory (with a trailing slash) and the file.
    // Start-up sets them before any other thread runs; they do not change afterwards
    // (handshake workers read configPath for the log).
    std::string configPath;
    std::string configPathAndFile;
};

// The options of this run.
extern AppOptions appOptions;
