#include "delay_proxy.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <list>
#include <stdexcept>

namespace mirn {

namespace bench {

namespace {
using Clock = std::chrono::steady_clock;
constexpr std::chrono::microseconds kSpin{150};

std::runtime_error failure(const std::string& what) {
    return std::runtime_error("delay proxy: " + what + ": " + std::strerror(errno));
}

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Both ends speak in small messages: Nagle's wait for more would add a delay of its own.
void setNoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
    size_t sent = 0;
    bool timed = false;  // its lateness has been counted
};

// One direction of a forwarded connection.
struct Way {
    int from = -1;
    int to = -1;
    std::deque<Chunk> held;  // due times never decrease: the order is kept
    bool ended = false;      // `from` sent its end
    bool shutDown = false;   // and `to` has been given it
    bool blocked = false;    // `to` takes no more for now: wait until it is writable
};

struct Link {
    Way up;    // client to server
    Way down;  // server to client
    bool asked = false;  // the client sent something the server has not answered yet
    Clock::time_point askedAt;  // when the last of it went to the server
    bool broken = false;
};
}  // namespace

DelayProxy::DelayProxy(const std::string& host, int port, std::chrono::nanoseconds roundTrip)
    : roundTrip_(roundTrip) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); rc != 0)
        throw std::runtime_error("delay proxy: cannot resolve " + host + ": " + gai_strerror(rc));
    const auto* bytes = reinterpret_cast<const unsigned char*>(found->ai_addr);
    upstream_.assign(bytes, bytes + found->ai_addrlen);
    family_ = found->ai_family;
    freeaddrinfo(found);

    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0) throw failure("socket");
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = 0;  // any free port
    socklen_t len = sizeof at;
    if (bind(listen_, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || ::listen(listen_, 64) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
        const auto e = failure("listen on 127.0.0.1");
        close(listen_);
        throw e;
    }
    port_ = ntohs(at.sin_port);
    setNonBlocking(listen_);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        const auto e = failure("eventfd");
        close(listen_);
        throw e;
    }
    thread_ = std::thread([this] { run(); });
}

DelayProxy::~DelayProxy() {
    const std::uint64_t one = 1;
    if (write(wake_, &one, sizeof one) < 0) std::perror("delay proxy: stop");
    thread_.join();
    close(listen_);
    close(wake_);
}

DelayProxy::Lateness DelayProxy::lateness() const {
    Lateness l;
    l.chunks = chunks_.load();
    l.meanUs = l.chunks ? double(lateSumNs_.load()) / double(l.chunks) / 1e3 : 0;
    l.maxUs = double(lateMaxNs_.load()) / 1e3;
    return l;
}

void DelayProxy::resetLateness() {
    chunks_ = 0;
    lateSumNs_ = 0;
    lateMaxNs_ = 0;
}

void DelayProxy::run() {
    // Wake at the due time itself, not up to the default 50 µs of timer slack after it.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // On a loaded machine a thread of normal priority waits for a core for hundreds of
    // microseconds: the lowest real-time priority runs it first, where it may have it (it
    // sleeps between chunks and polls only for the last moments before each one).
    const sched_param lowest{sched_get_priority_min(SCHED_FIFO)};
    realTime_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowest) == 0;
    const std::chrono::nanoseconds half = roundTrip_ / 2;
    std::list<Link> links;
    std::vector<char> buffer(256 * 1024);
    std::vector<pollfd> fds;

    // Reads what `w.from` has; true when it gave anything.
    auto take = [&](Link& l, Way& w, Clock::time_point due) {
        bool got = false;
        for (;;) {
            const ssize_t n = recv(w.from, buffer.data(), buffer.size(), 0);
            if (n > 0) {
                // Chunks read in one wake-up are due together: one chunk.
                if (!w.held.empty() && w.held.back().due == due && w.held.back().sent == 0)
                    w.held.back().bytes.insert(w.held.back().bytes.end(), buffer.data(), buffer.data() + n);
                else
                    w.held.push_back(Chunk{due, std::vector<char>(buffer.data(), buffer.data() + n)});
                got = true;
                continue;
            }
            if (n == 0) w.ended = true;
            else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) l.broken = true;
            else if (errno == EINTR) continue;
            return got;
        }
    };
    // Writes what is due to `w.to`, as far as it takes it.
    auto pass = [&](Link& l, Way& w, Clock::time_point now) {
        w.blocked = false;
        while (!w.held.empty() && w.held.front().due <= now) {
            Chunk& c = w.held.front();
            if (!c.timed) {
                c.timed = true;
                const std::int64_t late = std::chrono::duration_cast<std::chrono::nanoseconds>(now - c.due).count();
                ++chunks_;
                lateSumNs_ += late;
                if (late > lateMaxNs_.load()) lateMaxNs_ = late;
            }
            const ssize_t n = send(w.to, c.bytes.data() + c.sent, c.bytes.size() - c.sent, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) w.blocked = true;
                else l.broken = true;
                return;
            }
            c.sent += size_t(n);
            if (c.sent < c.bytes.size()) {
                w.blocked = true;
                return;
            }
            w.held.pop_front();
            if (&w == &l.up) l.askedAt = now;
        }
        if (w.ended && w.held.empty() && !w.shutDown) {
            shutdown(w.to, SHUT_WR);
            w.shutDown = true;
        }
    };

    for (;;) {
        fds.clear();
        fds.push_back({wake_, POLLIN, 0});
        fds.push_back({listen_, POLLIN, 0});
        Clock::time_point next = Clock::time_point::max();
        for (Link& l : links) {
            short client = 0, server = 0;
            if (!l.up.ended) client |= POLLIN;
            if (!l.down.ended) server |= POLLIN;
            if (l.up.blocked) server |= POLLOUT;
            if (l.down.blocked) client |= POLLOUT;
            for (const Way* w : {&l.up, &l.down})
                if (!w->blocked && !w->held.empty()) next = std::min(next, w->held.front().due);
            // A socket with nothing to wait for is left out: a hung-up one would report
            // its hang-up at every wake-up.
            fds.push_back({client ? l.up.from : -1, client, 0});
            fds.push_back({server ? l.down.from : -1, server, 0});
        }
        timespec wait{};
        timespec* timeout = nullptr;
        if (next != Clock::time_point::max()) {
            // A sleeping thread wakes tens of microseconds late on a busy machine: it sleeps
            // until shortly before the due time and polls without waiting from there on.
            const auto ns = std::max<std::int64_t>(
                0, std::chrono::duration_cast<std::chrono::nanoseconds>(next - Clock::now() - kSpin).count());
            wait.tv_sec = time_t(ns / 1000000000);
            wait.tv_nsec = long(ns % 1000000000);
            timeout = &wait;
        }
        if (ppoll(fds.data(), nfds_t(fds.size()), timeout, nullptr) < 0) {
            if (errno == EINTR) continue;
            std::perror("delay proxy: ppoll");
            break;
        }
        if (fds[0].revents) break;
        const Clock::time_point arrived = Clock::now();

        size_t i = 2;
        for (Link& l : links) {
            const short client = fds[i++].revents;
            const short server = fds[i++].revents;
            if (client & POLLERR || server & POLLERR) l.broken = true;
            if (client & (POLLIN | POLLHUP) && !l.up.ended && take(l, l.up, arrived + half)) l.asked = true;
            if (server & (POLLIN | POLLHUP) && !l.down.ended && take(l, l.down, arrived + half) && l.asked) {
                // The answer to the client's last burst has begun: one round trip.
                ++roundTrips_;
                serverNs_ += std::chrono::duration_cast<std::chrono::nanoseconds>(arrived - l.askedAt).count();
                l.asked = false;
            }
        }
        if (fds[1].revents & POLLIN) {
            for (;;) {
                const int client = accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (client < 0) break;
                // The server is on this machine: a blocking connect returns at once.
                const int server = socket(family_, SOCK_STREAM | SOCK_CLOEXEC, 0);
                if (server < 0 || connect(server, reinterpret_cast<const sockaddr*>(upstream_.data()),
                                          socklen_t(upstream_.size())) != 0) {
                    std::perror("delay proxy: connect to the server");
                    if (server >= 0) close(server);
                    close(client);
                    continue;
                }
                setNonBlocking(server);
                setNoDelay(client);
                setNoDelay(server);
                Link& l = links.emplace_back();
                l.up.from = l.down.to = client;
                l.up.to = l.down.from = server;
                ++connections_;
            }
        }

        const Clock::time_point now = Clock::now();
        for (Link& l : links) {
            if (!l.broken) pass(l, l.up, now);
            if (!l.broken) pass(l, l.down, now);
        }
        links.remove_if([](const Link& l) {
            if (!l.broken && !(l.up.shutDown && l.down.shutDown)) return false;
            close(l.up.from);
            close(l.up.to);
            return true;
        });
    }
    for (const Link& l : links) {
        close(l.up.from);
        close(l.up.to);
    }
}

}  // namespace bench

}  // namespace mirn
