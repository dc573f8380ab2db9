// Sockets on POSIX: no library start-up; a receive waits with poll so that
// it can time out.
#include "platform/sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

// The last error of this thread's socket calls, as the platform reports it.
thread_local int lastSocketError = 0;

int fail(int code) {
    lastSocketError = code;
    return -1;
}

class PosixSockets : public Sockets {
public:
    int startup(std::uint16_t requested, std::uint16_t& granted) override {
        granted = requested;  // nothing to start; every version is served
        return 0;
    }
    void cleanup() override {}

    SocketHandle open() override {
        const int handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (handle < 0) {
            lastSocketError = errno;
            return kNoSocket;
        }
        return handle;
    }

    int connect(SocketHandle socket, const char* address, std::uint16_t port) override {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        if (::inet_pton(AF_INET, address, &target.sin_addr) != 1) return fail(EINVAL);
        int result;
        do {
            result = ::connect(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target);
        } while (result != 0 && errno == EINTR);
        return result == 0 ? 0 : fail(errno);
    }

    int send(SocketHandle socket, const char* data, int length) override {
        int sent = 0;
        // A peer that has gone must not end the process with SIGPIPE.
        while (sent < length) {
            const ssize_t n = ::send(static_cast<int>(socket), data + sent, static_cast<size_t>(length - sent),
                                     MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return fail(errno);
            sent += static_cast<int>(n);
        }
        return sent;
    }

    int receive(SocketHandle socket, char* buffer, int length, int timeoutMs) override {
        pollfd wanted{static_cast<int>(socket), POLLIN, 0};
        int ready;
        do {
            ready = ::poll(&wanted, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) return fail(errno);
        if (ready == 0) return fail(ETIMEDOUT);
        ssize_t n;
        do {
            n = ::recv(static_cast<int>(socket), buffer, static_cast<size_t>(length), 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0) return fail(errno);
        if (n == 0) lastSocketError = 0;  // closed in good order
        return static_cast<int>(n);
    }

    int lastError() override { return lastSocketError; }
    int timedOutCode() override { return ETIMEDOUT; }

    void close(SocketHandle socket) override {
        if (socket != kNoSocket) ::close(static_cast<int>(socket));
    }
};

}  // namespace

Sockets& systemSockets() {
    static PosixSockets sockets;
    return sockets;
}

}  // namespace platform
