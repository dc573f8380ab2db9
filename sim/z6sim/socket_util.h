// Thin helpers over POSIX sockets for z6sim: an owning descriptor, IPv4
// loopback addresses, TCP listeners and the Unix sockets of the USB bus.
// Every socket made here is non-blocking and close-on-exec.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace z6sim {

// Owns one file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// A failed socket call: the message names what was attempted, code() holds errno.
using SocketError = std::system_error;

// "127.0.0.2" -> the address; nullopt for anything but a dotted IPv4 address.
std::optional<in_addr> parseIpv4(const std::string& text);
bool isLoopback(in_addr address);  // 127.0.0.0/8
std::string formatEndpoint(in_addr address, std::uint16_t port);  // "127.0.0.2:5502"

// A TCP listener on address:port (port 0: one the system picks). Reuses an
// address whose old connections linger, so that a device coming back after
// a restart gets its port again. Throws SocketError.
Fd listenTcp(in_addr address, std::uint16_t port);
std::uint16_t localPort(int fd);

// "127.0.0.1:54321 -> 127.0.0.2:5502" for an accepted TCP connection.
std::string describeTcpConnection(int fd);
void setNoDelay(int fd);

// What is at a path where a Unix stream socket could be.
enum class UnixPath {
    Absent,   // nothing
    Live,     // a socket that accepts connections
    Stale,    // a socket nobody listens on any more
    Foreign,  // something else: left alone
};
UnixPath probeUnixPath(const std::string& path);

// The maximum length of a Unix socket path.
std::size_t maxUnixPathLength();

// A Unix stream listener bound at path. Throws SocketError; EADDRINUSE when
// something is there already.
Fd listenUnix(const std::string& path);

// Identifies the file a listener was bound at, so that only that file is
// removed when it unplugs, never one another process put there since.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};
std::optional<FileId> fileIdOf(const std::string& path);

// Sends what it can without blocking, never raising SIGPIPE. Returns the
// bytes sent (0 when the socket is full), or -1 with errno set.
long sendSome(int fd, const std::uint8_t* data, std::size_t length);

}  // namespace z6sim
