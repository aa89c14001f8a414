// A server built on the system's libvncserver, 1280x720, security None: it sends every
// update in the encoding the client prefers (Tight for both clients the benchmark runs, at
// the quality and compression they ask for), as users' servers do. It runs on one thread of
// its own. Only one may run in a process (the library keeps process-wide state). Its header
// shows nothing of the library: the benchmark links our own libvncclient beside it.
#pragma once

#include <memory>
#include <string>

#include "support/update_server.h"

class TNLibraryServer : public TNUpdateServer {
public:
    TNLibraryServer();
    ~TNLibraryServer() override;
    bool start() override;
    void stop() override;
    int port() const override;
    long updateRequests() const override;
    void setChange(TNScreenChange change) override;
    // What the last client to ask for an update negotiated, e.g. "tight, quality 5,
    // compression 5"; "" before any.
    std::string lastClientEncoding() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
