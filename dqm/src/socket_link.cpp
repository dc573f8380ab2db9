#include "socket_link.h"

#include "z6_wire.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace dqm {

SocketLink::~SocketLink() { drop(); }

void SocketLink::drop() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    input_.clear();
}

// A connection the device closed reads as end of file; data still waiting
// (stream data) means it is alive.
bool SocketLink::connectionGone() {
    if (fd_ < 0) return true;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    if (p.revents & (POLLERR | POLLNVAL)) return true;
    std::uint8_t byte;
    const ssize_t n = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

std::int32_t SocketLink::redial(TimePoint deadline) {
    drop();
    for (;;) {
        int fd = -1;
        if (dialer_(fd) == DQM_OK) {
            fd_ = fd;
            return DQM_OK;
        }
        if (std::chrono::steady_clock::now() >= deadline) return DQM_ERR_CONNECTION_LOST;
        std::this_thread::sleep_for(std::chrono::milliseconds(kReconnectPollMs));
    }
}

bool SocketLink::sendAll(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

std::int32_t SocketLink::send(const std::uint8_t* message, std::size_t length) {
    lastRequest_.assign(message, message + length);
    answerStarted_ = false;
    resendDeadline_ = TimePoint{};
    const TimePoint deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReconnectWindowMs);
    if (connectionGone()) {
        if (std::int32_t code = redial(deadline)) return code;
    }
    // A device going away may take the connection down under the send: dial
    // again, within the same window.
    while (!sendAll(message, length)) {
        if (std::int32_t code = redial(deadline)) return code;
    }
    return DQM_OK;
}

std::int32_t SocketLink::receive(std::vector<std::uint8_t>& message, int timeoutMs) {
    if (fd_ < 0) return DQM_ERR_CONNECTION_LOST;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (input_.size() >= z6wire::kPrefixSize) {
            const std::size_t length = z6wire::messageLength(input_.data());
            if (input_.size() >= length) {
                message.assign(input_.begin(), input_.begin() + static_cast<long>(length));
                input_.erase(input_.begin(), input_.begin() + static_cast<long>(length));
                return DQM_OK;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return DQM_ERR_TIMEOUT;
        std::uint8_t chunk[8192];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!answerStarted_ && !lastRequest_.empty()) {
                // Dropped before a byte of an answer: the device is
                // restarting and never saw the request. Dial again and send
                // it again, until the reconnect window closes.
                if (resendDeadline_ == TimePoint{})
                    resendDeadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReconnectWindowMs);
                do {
                    if (std::int32_t code = redial(resendDeadline_)) return code;
                } while (!sendAll(lastRequest_.data(), lastRequest_.size()));
                // The answer is due a reply time after the request went again.
                deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
                continue;
            }
            drop();
            return DQM_ERR_CONNECTION_LOST;
        }
        answerStarted_ = true;
        input_.insert(input_.end(), chunk, chunk + n);
    }
}

}  // namespace dqm
