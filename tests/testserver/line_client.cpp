#include "line_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace testserver_testing {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

LineClient::LineClient(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    const int on = 1;  // each send() its own segment, as a station's lines are
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

LineClient::~LineClient() {
    if (fd_ >= 0) ::close(fd_);
}

LineClient::LineClient(LineClient&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), buffer_(std::move(other.buffer_)), closed_(other.closed_) {}

LineClient& LineClient::operator=(LineClient&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        buffer_ = std::move(other.buffer_);
        closed_ = other.closed_;
    }
    return *this;
}

bool LineClient::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void LineClient::shutdownWrite() { ::shutdown(fd_, SHUT_WR); }

bool LineClient::fill(int timeoutMs) {
    if (closed_ || fd_ < 0) return false;
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, timeoutMs);
    if (ready <= 0) return false;
    char chunk[4096];
    const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) {
        closed_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(got));
    return true;
}

std::optional<std::string> LineClient::readLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const std::size_t end = buffer_.find("\r\n"); end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            return line;
        }
        if (!fill(msLeft(deadline))) return std::nullopt;
    }
}

std::string LineClient::exchange(std::string_view line, int timeoutMs) {
    if (!send(std::string(line) + "\r\n")) return "<no reply>";
    return readLine(timeoutMs).value_or("<no reply>");
}

std::vector<std::string> LineClient::readChunksOfLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::string> chunks;
    while (chunks.empty() || chunks.back().find('\n') == std::string::npos) {
        if (!buffer_.empty()) {
            chunks.push_back(std::exchange(buffer_, {}));
            continue;
        }
        if (!fill(msLeft(deadline))) break;
    }
    return chunks;
}

bool LineClient::closedWithin(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_) {
        buffer_.clear();
        if (!fill(msLeft(deadline)) && !closed_) return false;
    }
    return true;
}

}  // namespace testserver_testing
