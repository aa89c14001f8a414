// A benchmark server on a loopback port: it answers every framebuffer update request at
// once with a change of its screen (see screens.h), so that a client takes updates as fast
// as it can handle them, and it counts the requests.
#pragma once

#include "support/screens.h"

class TNUpdateServer {
public:
    virtual ~TNUpdateServer() = default;
    // False when it could not listen.
    virtual bool start() = 0;
    // Ends the server and every client connection (bounded: at most a few seconds).
    virtual void stop() = 0;
    // The port on 127.0.0.1 (at or above 5900: lower ones read as display numbers).
    virtual int port() const = 0;
    // Framebuffer update requests received so far, from all clients.
    virtual long updateRequests() const = 0;
    // What each following request gets; set while no client is taking updates.
    virtual void setChange(TNScreenChange change) = 0;
};
