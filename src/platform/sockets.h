// TCP over IPv4 for the station's connection to the factory test server,
// and the process-wide socket library set-up. Production uses the
// platform's sockets; a test may install its own Sockets, for example one
// that points the station's fixed server address at a server on a free
// port. Error codes are the platform's own (errno values on POSIX, the
// socket library's codes on Windows).
#pragma once

#include <cstdint>

namespace platform {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// The socket library version a program asks for: major in the low byte,
// minor in the high byte (2.2 is 0x0202).
constexpr std::uint16_t kSocketVersion2_2 = 0x0202;

class Sockets {
public:
    virtual ~Sockets() = default;
    // Starts the socket library asking for version requested; on success
    // returns 0 and the version granted. Otherwise a platform error code.
    virtual int startup(std::uint16_t requested, std::uint16_t& granted) = 0;
    // Shuts the library down; safe when it was never started.
    virtual void cleanup() = 0;
    // A new TCP stream socket over IPv4, or kNoSocket (see lastError).
    virtual SocketHandle open() = 0;
    // Connects to a dotted IPv4 address. 0, or -1 (see lastError).
    virtual int connect(SocketHandle socket, const char* address, std::uint16_t port) = 0;
    // Sends length bytes; the number sent, or -1.
    virtual int send(SocketHandle socket, const char* data, int length) = 0;
    // Receives at most length bytes, waiting at most timeoutMs for the first
    // of them: the number received, 0 when the peer closed the connection,
    // -1 on an error or when nothing came in time (lastError then gives
    // timedOutCode()).
    virtual int receive(SocketHandle socket, char* buffer, int length, int timeoutMs) = 0;
    // The code of the last failed call on this thread; 0 when there was none
    // (a connection closed in good order leaves 0).
    virtual int lastError() = 0;
    // The error code of a receive that timed out.
    virtual int timedOutCode() = 0;
    virtual void close(SocketHandle socket) = 0;
};

// This platform's sockets.
Sockets& systemSockets();

// The sockets in use: the system's unless others were installed.
Sockets& sockets();

// Installs sockets (nullptr restores the system's); returns those in use.
Sockets* installSockets(Sockets* sockets);

// The process-wide start-up and shut-down, through the sockets in use.
inline int socketLibraryStartup() {
    std::uint16_t granted = 0;
    return sockets().startup(kSocketVersion2_2, granted);
}
inline void socketLibraryCleanup() { sockets().cleanup(); }

}  // namespace platform
