#include "socket_util.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace z6sim {

namespace {

SocketError socketError(const std::string& what) { return SocketError(errno, std::generic_category(), what); }

bool fillUnixAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() > maxUnixPathLength()) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int Fd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Fd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

std::optional<in_addr> parseIpv4(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
    return address;
}

bool isLoopback(in_addr address) { return (ntohl(address.s_addr) >> 24) == 127; }

std::string formatEndpoint(in_addr address, std::uint16_t port) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return std::string(text) + ":" + std::to_string(port);
}

Fd listenTcp(in_addr address, std::uint16_t port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) throw socketError("socket");
    const int on = 1;
    if (setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) throw socketError("SO_REUSEADDR");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    local.sin_port = htons(port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        throw socketError("cannot listen on " + formatEndpoint(address, port));
    }
    if (::listen(fd.get(), SOMAXCONN) != 0) throw socketError("cannot listen on " + formatEndpoint(address, port));
    return fd;
}

std::uint16_t localPort(int fd) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) throw socketError("getsockname");
    return ntohs(local.sin_port);
}

std::string describeTcpConnection(int fd) {
    sockaddr_in peer{};
    sockaddr_in local{};
    socklen_t peerLength = sizeof peer;
    socklen_t localLength = sizeof local;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0) {
        return "tcp (address unknown)";
    }
    return formatEndpoint(peer.sin_addr, ntohs(peer.sin_port)) + " -> " +
           formatEndpoint(local.sin_addr, ntohs(local.sin_port));
}

void setNoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::size_t maxUnixPathLength() { return sizeof(sockaddr_un::sun_path) - 1; }

UnixPath probeUnixPath(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT ? UnixPath::Absent : UnixPath::Foreign;
    if (!S_ISSOCK(info.st_mode)) return UnixPath::Foreign;
    sockaddr_un address{};
    if (!fillUnixAddress(path, address)) return UnixPath::Foreign;
    // Non-blocking, so that a listener that is alive but too busy to accept
    // cannot hold the probe up; only a refusal means nobody is there.
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return UnixPath::Foreign;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return UnixPath::Live;
    return errno == ECONNREFUSED ? UnixPath::Stale : UnixPath::Live;
}

Fd listenUnix(const std::string& path) {
    sockaddr_un address{};
    if (!fillUnixAddress(path, address)) {
        errno = ENAMETOOLONG;
        throw socketError("cannot plug in at " + path);
    }
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) throw socketError("socket");
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw socketError("cannot plug in at " + path);
    }
    if (::listen(fd.get(), SOMAXCONN) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        errno = error;
        throw socketError("cannot plug in at " + path);
    }
    return fd;
}

std::optional<FileId> fileIdOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

long sendSome(int fd, const std::uint8_t* data, std::size_t length) {
    for (;;) {
        const ssize_t sent = ::send(fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) return static_cast<long>(sent);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

}  // namespace z6sim
