// TCP on loopback addresses only, with every wait bounded and cut short by
// the server's stop signal (a file descriptor that becomes readable).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace testserver {

class SocketFd {
public:
    SocketFd() = default;
    explicit SocketFd(int fd) : fd_(fd) {}
    ~SocketFd();
    SocketFd(SocketFd&& other) noexcept;
    SocketFd& operator=(SocketFd&& other) noexcept;
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A dotted-quad address in 127.0.0.0/8, or nullopt.
std::optional<in_addr> parseLoopbackAddress(std::string_view text);

// Throws std::runtime_error saying why it cannot listen there.
SocketFd listenOn(in_addr address, std::uint16_t port, int backlog);
std::uint16_t boundPort(int fd);
// "ip:port" of the other end.
std::string peerName(int fd);

enum class Wait { Ready, Stopped, TimedOut, Failed };
Wait waitReadable(int fd, int stopFd, int timeoutMs);

// False when the peer is gone, the wait ran out or the server stops.
bool sendAll(int fd, std::string_view bytes, int stopFd, int timeoutMs);
// Sleeps; false when the server stops first.
bool pause(int stopFd, int ms);

}  // namespace testserver
