#pragma once
// A TCP forwarding proxy on 127.0.0.1 that puts a network's distance between a client and
// its server on this machine (no traffic shaping in the kernel needed): every chunk read
// from one side is written to the other side half the round-trip delay after it arrived,
// in the order it came, each direction on its own. One thread waits on all the sockets
// and on the earliest due chunk (ppoll with a nanosecond timeout), so the hold is exact
// to the scheduler's wake-up, not to a sleep per chunk.
//
// It also counts round trips: a burst from the client followed by the server's answer is
// one, whatever the number of chunks on either side (a statement the driver prepares,
// executes and deallocates is three).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace mirn {

namespace bench {

class DelayProxy {
public:
    // Listens on a free port of 127.0.0.1 and forwards each connection to host:port; each
    // way holds every chunk for roundTrip / 2. Throws std::runtime_error when it cannot.
    DelayProxy(const std::string& host, int port, std::chrono::nanoseconds roundTrip);
    // Stops the thread and closes every forwarded connection.
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    int port() const { return port_; }
    std::chrono::nanoseconds roundTrip() const { return roundTrip_; }

    // Since the start, over every connection.
    long roundTrips() const { return roundTrips_.load(); }
    long connections() const { return connections_.load(); }
    // The server's part of those round trips: from the client's burst written to the
    // server until its answer began to arrive.
    std::chrono::nanoseconds serverTime() const { return std::chrono::nanoseconds(serverNs_.load()); }

    // How much later than due the chunks were written (the hold's error), since the
    // start or the last reset.
    struct Lateness {
        long chunks = 0;
        double meanUs = 0;
        double maxUs = 0;
    };
    Lateness lateness() const;
    // Whether its thread got a real-time priority (not given to every user).
    bool realTime() const { return realTime_.load(); }
    void resetLateness();

private:
    void run();

    int listen_ = -1;
    int wake_ = -1;  // eventfd: the destructor's stop
    int port_ = 0;
    std::vector<unsigned char> upstream_;  // the server's address (a sockaddr)
    int family_ = 0;
    std::chrono::nanoseconds roundTrip_;
    std::atomic<bool> realTime_{false};
    std::atomic<long> roundTrips_{0};
    std::atomic<long> connections_{0};
    std::atomic<std::int64_t> serverNs_{0};
    std::atomic<long> chunks_{0};
    std::atomic<std::int64_t> lateSumNs_{0};
    std::atomic<std::int64_t> lateMaxNs_{0};
    std::thread thread_;
};

}  // namespace bench

}  // namespace mirn
