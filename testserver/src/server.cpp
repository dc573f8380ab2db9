// The server: a listener thread that takes connections, a thread for each
// connection up to the limit, and one database shared by them.
#include "testserver/server.h"

#include "config_check.h"
#include "connection.h"
#include "event_log.h"
#include "factory_store.h"
#include "fault_injector.h"
#include "loopback_socket.h"
#include "reply_status.h"
#include "session.h"
#include "wire_text.h"

#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace testserver {

namespace {

// How often the listener looks for finished connection threads to join.
constexpr int kReapIntervalMs = 500;
// After a failed accept (out of file descriptors, say), before trying again.
constexpr int kAcceptRetryMs = 100;

struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
};

Config checked(Config config) {
    checkConfig(config);
    return config;
}

}  // namespace

struct Server::Impl {
    explicit Impl(Config c)
        : config(checked(std::move(c))),
          settings{config.password, {config.firstSerial, config.lastSerial}, {config.firstMac, config.lastMac}},
          log(config.log),
          store(config.database, config.busyTimeoutMs),
          faults(config.faults),
          context{store, faults, settings, log, -1, config.idleTimeoutMs} {
        if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw std::runtime_error("cannot make the stop signal: " + std::string(std::strerror(errno)));
        }
        context.stopFd = stopPipe[0];
    }

    ~Impl() {
        for (const int fd : stopPipe) {
            if (fd >= 0) ::close(fd);
        }
    }

    void acceptLoop();
    void reapFinished();
    void turnAway(SocketFd socket);
    void logStart(std::uint16_t port);

    Config config;
    SessionSettings settings;
    EventLog log;
    FactoryStore store;
    FaultInjector faults;
    ConnectionContext context;

    int stopPipe[2] = {-1, -1};  // readable once the server stops
    SocketFd listener;
    std::thread acceptor;
    std::list<Worker> workers;  // only the acceptor touches it while serving

    std::mutex lifecycle;
    bool started = false;
    bool stopped = false;
};

void Server::Impl::reapFinished() {
    for (auto it = workers.begin(); it != workers.end();) {
        if (it->done.load()) {
            it->thread.join();
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

void Server::Impl::turnAway(SocketFd socket) {
    const ReplyStatus& status = replyStatus(Outcome::TooManyConnections);
    log.line(peerName(socket.get()) + ": " + std::to_string(status.status) + " " + std::string(status.meaning) + " (" +
             std::to_string(config.maxConnections) + " served)");
    const std::string reply = formatReply(status.status);
    [[maybe_unused]] const ssize_t sent = ::send(socket.get(), reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    // Take what the station sent already, so that closing does not reset the reply away.
    char ignored[4096];
    for (int i = 0; i < 16 && ::recv(socket.get(), ignored, sizeof ignored, MSG_DONTWAIT) > 0; ++i) {
    }
    ::shutdown(socket.get(), SHUT_RDWR);
}

void Server::Impl::acceptLoop() {
    for (;;) {
        const Wait wait = waitReadable(listener.get(), stopPipe[0], kReapIntervalMs);
        reapFinished();
        if (wait == Wait::Stopped) return;
        if (wait == Wait::TimedOut) continue;
        if (wait == Wait::Failed) {
            log.line("cannot wait for connections: " + std::string(std::strerror(errno)));
            if (!pause(stopPipe[0], kAcceptRetryMs)) return;
            continue;
        }
        SocketFd socket(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!socket.valid()) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED) continue;
            log.line("cannot take a connection: " + std::string(std::strerror(errno)));
            if (!pause(stopPipe[0], kAcceptRetryMs)) return;
            continue;
        }
        const int on = 1;  // replies and split replies go out at once
        ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (workers.size() >= static_cast<std::size_t>(config.maxConnections)) {
            turnAway(std::move(socket));
            continue;
        }
        Worker& worker = workers.emplace_back();
        try {
            worker.thread = std::thread([this, &worker, connection = std::move(socket)]() mutable {
                try {
                    serveConnection(std::move(connection), context);
                } catch (const std::exception& e) {
                    log.line(std::string("a connection failed: ") + e.what());
                }
                worker.done.store(true);
            });
        } catch (const std::system_error& e) {
            log.line(std::string("cannot serve a connection: ") + e.what());
            workers.pop_back();
        }
    }
}

void Server::Impl::logStart(std::uint16_t port) {
    log.line("database " + config.database.string() + ": " +
             std::to_string(store.allocatedCount(AllocationKind::Serial)) + " serials and " +
             std::to_string(store.allocatedCount(AllocationKind::Mac)) + " MACs given out so far");
    log.line("serials " + std::to_string(config.firstSerial) + " to " + std::to_string(config.lastSerial) + ", MACs " +
             hexValue(config.firstMac, 12) + " to " + hexValue(config.lastMac, 12) + ", idle time-out " +
             std::to_string(config.idleTimeoutMs) + " ms");
    for (const FaultRule& rule : config.faults.rules) log.line("fault in force: " + describeFault(rule));
    log.line("listening " + config.listenAddress + ":" + std::to_string(port));
}

Server::Server(Config config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Server::~Server() { stop(); }

std::uint16_t Server::start() {
    const std::lock_guard lock(impl_->lifecycle);
    if (impl_->started || impl_->stopped) throw std::logic_error("a test server starts only once");
    const in_addr address = *parseLoopbackAddress(impl_->config.listenAddress);
    impl_->listener = listenOn(address, impl_->config.port, std::max(16, impl_->config.maxConnections));
    const std::uint16_t port = boundPort(impl_->listener.get());
    impl_->logStart(port);
    impl_->acceptor = std::thread([this] { impl_->acceptLoop(); });
    impl_->started = true;
    return port;
}

void Server::stop() {
    const std::lock_guard lock(impl_->lifecycle);
    if (impl_->stopped) return;
    impl_->stopped = true;
    if (!impl_->started) return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(impl_->stopPipe[1], &byte, 1);
    impl_->acceptor.join();
    for (Worker& worker : impl_->workers) worker.thread.join();
    impl_->workers.clear();
    impl_->listener = SocketFd();
    impl_->log.line("stopped");
}

}  // namespace testserver
