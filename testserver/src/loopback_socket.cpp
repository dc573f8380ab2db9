#include "loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace testserver {

namespace {

using Clock = std::chrono::steady_clock;

// Rounded up, so that a wait never ends before its deadline.
int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>((left + 999) / 1000) : 0;
}

// Polls fd for events and the stop signal until the deadline.
Wait waitFor(int fd, short events, int stopFd, Clock::time_point deadline) {
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, msLeft(deadline));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Wait::Failed;
        }
        if (fds[1].revents != 0) return Wait::Stopped;
        if (fds[0].revents != 0) return Wait::Ready;  // errors and hang-ups show on the next call
        if (msLeft(deadline) == 0) return Wait::TimedOut;
    }
}

}  // namespace

SocketFd::~SocketFd() {
    if (fd_ >= 0) ::close(fd_);
}

SocketFd::SocketFd(SocketFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SocketFd& SocketFd::operator=(SocketFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::optional<in_addr> parseLoopbackAddress(std::string_view text) {
    in_addr address{};
    if (::inet_pton(AF_INET, std::string(text).c_str(), &address) != 1) return std::nullopt;
    if ((ntohl(address.s_addr) >> 24) != 127) return std::nullopt;
    return address;
}

SocketFd listenOn(in_addr address, std::uint16_t port, int backlog) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    const std::string where = std::string(text) + ":" + std::to_string(port);
    SocketFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) throw std::runtime_error("cannot make a socket: " + std::string(std::strerror(errno)));
    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr = address;
    socketAddress.sin_port = htons(port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) != 0) {
        throw std::runtime_error("cannot listen on " + where + ": " + std::strerror(errno));
    }
    if (::listen(fd.get(), backlog) != 0) {
        throw std::runtime_error("cannot listen on " + where + ": " + std::strerror(errno));
    }
    return fd;
}

std::uint16_t boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

std::string peerName(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "unknown peer";
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

Wait waitReadable(int fd, int stopFd, int timeoutMs) {
    return waitFor(fd, POLLIN, stopFd, Clock::now() + std::chrono::milliseconds(timeoutMs));
}

bool sendAll(int fd, std::string_view bytes, int stopFd, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFor(fd, POLLOUT, stopFd, deadline) != Wait::Ready) return false;
            continue;
        }
        return false;
    }
    return true;
}

bool pause(int stopFd, int ms) {
    pollfd stop{stopFd, POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const int ready = ::poll(&stop, 1, msLeft(deadline));
        if (ready > 0) return false;
        if (ready < 0 && errno != EINTR) return false;
        if (msLeft(deadline) == 0) return true;
    }
}

}  // namespace testserver
