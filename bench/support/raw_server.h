// The scripted server: RFB 3.8, security None, the raw encoding alone (whatever the client
// asks for), 1280x720. It costs next to nothing per update, so the client's own cost sets
// the pace. One thread accepts, one thread serves each client.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/update_server.h"

class TNRawServer : public TNUpdateServer {
public:
    ~TNRawServer() override;
    bool start() override;
    void stop() override;
    int port() const override { return listenPort; }
    long updateRequests() const override { return requests; }
    void setChange(TNScreenChange next) override { change = next; }
    // A whole new screen goes out as over a link of about 1 Gbit/s: in pieces of 64 KiB,
    // half a millisecond apart, rather than as fast as loopback takes it.
    void setOverLink(bool paced) { overLink = paced; }

private:
    void accept(int listener);
    void serve(int fd);

    int listenPort = 0;
    std::atomic<bool> stopping{false};
    std::atomic<long> requests{0};
    std::atomic<TNScreenChange> change{TNScreenChange::Whole};
    std::atomic<bool> overLink{false};
    std::thread acceptor;
    std::mutex clientsLock;
    std::vector<std::thread> clients;
};
