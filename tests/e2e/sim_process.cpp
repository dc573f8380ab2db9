#include "sim_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

// --- SimProcess --------------------------------------------------------------

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args, const Launch& launch) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        const int empty = ::open("/dev/null", O_RDONLY);
        ::dup2(empty, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(out[1], STDERR_FILENO);
        if (!launch.directory.empty() && ::chdir(launch.directory.c_str()) != 0) ::_exit(126);
        for (const auto& [name, value] : launch.environment) ::setenv(name.c_str(), value.c_str(), 1);
        ::execv(program.c_str(), pointers.data());
        ::_exit(127);
    }
    ::close(out[1]);
    outFd_ = out[0];
    ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
}

SimProcess::~SimProcess() {
    if (!waitExit(0)) {
        if (!signalAndWait(SIGTERM, 3000)) signalAndWait(SIGKILL, 5000);
    }
    if (outFd_ >= 0) ::close(outFd_);
}

void SimProcess::pump(int timeoutMs) {
    if (outFd_ < 0) return;
    pollfd pfd{outFd_, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0) return;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(outFd_, chunk, sizeof chunk);
        if (got <= 0) {
            if (got == 0) {  // every writer is gone
                ::close(outFd_);
                outFd_ = -1;
            }
            break;
        }
        partial_.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end; (end = partial_.find('\n')) != std::string::npos;) {
            lines_.push_back(partial_.substr(0, end));
            partial_.erase(0, end + 1);
        }
    }
}

std::optional<std::string> SimProcess::waitForLine(std::string_view text, int timeoutMs, std::size_t from,
                                                   std::size_t* lineIndex) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (std::size_t i = from; i < lines_.size(); ++i) {
            if (lines_[i].find(text) != std::string::npos) {
                if (lineIndex != nullptr) *lineIndex = i;
                return lines_[i];
            }
        }
        if (outFd_ < 0 || msLeft(deadline) == 0) return std::nullopt;
        pump(std::min(msLeft(deadline), 50));
    }
}

std::optional<int> SimProcess::waitExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!status_) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (done < 0 || msLeft(deadline) == 0) break;
        // Keep reading so that the process never blocks on a full pipe.
        pump(0);
        ::usleep(5000);
    }
    pump(0);
    return status_;
}

std::optional<int> SimProcess::signalAndWait(int signal, int timeoutMs) {
    if (!status_) ::kill(pid_, signal);
    return waitExit(timeoutMs);
}

std::string SimProcess::output() {
    pump(0);
    std::string text;
    for (const std::string& line : lines_) text += line + "\n";
    return text + partial_;
}

std::size_t SimProcess::lineCount() {
    pump(0);
    return lines_.size();
}

// --- WireClient --------------------------------------------------------------

WireClient::~WireClient() {
    if (fd_ >= 0) ::close(fd_);
}

WireClient::WireClient(WireClient&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(std::move(other.error_)), buffer_(std::move(other.buffer_)),
      closed_(other.closed_) {}

WireClient& WireClient::operator=(WireClient&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        error_ = std::move(other.error_);
        buffer_ = std::move(other.buffer_);
        closed_ = other.closed_;
    }
    return *this;
}

WireClient WireClient::tcp(const std::string& address, std::uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) return WireClient(-1, "bad address " + address);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        const std::string error = std::strerror(errno);
        ::close(fd);
        return WireClient(-1, error);
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return WireClient(fd, "");
}

WireClient WireClient::usb(const std::string& socketPath) {
    sockaddr_un peer{};
    peer.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof peer.sun_path) return WireClient(-1, "path too long");
    std::memcpy(peer.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        const std::string error = std::strerror(errno);
        ::close(fd);
        return WireClient(-1, error);
    }
    return WireClient(fd, "");
}

bool WireClient::send(const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

bool WireClient::fill(int timeoutMs) {
    if (fd_ < 0 || closed_) return false;
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0) return false;
    std::uint8_t chunk[65536];
    const ssize_t got = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got <= 0) {
        if (got == 0 || (errno != EAGAIN && errno != EINTR)) closed_ = true;
        return false;
    }
    buffer_.insert(buffer_.end(), chunk, chunk + got);
    return true;
}

std::optional<std::vector<std::uint8_t>> WireClient::receive(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (buffer_.size() >= 6) {
            const std::size_t length = 6 + (std::size_t{buffer_[4]} << 8 | buffer_[5]);
            if (buffer_.size() >= length) {
                std::vector<std::uint8_t> message(buffer_.begin(), buffer_.begin() + static_cast<long>(length));
                buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(length));
                return message;
            }
        }
        if (closed_ || msLeft(deadline) == 0) return std::nullopt;
        fill(msLeft(deadline));
    }
}

std::optional<std::vector<std::uint8_t>> WireClient::exchange(const std::vector<std::uint8_t>& request,
                                                              int timeoutMs) {
    if (!send(request)) return std::nullopt;
    return receive(timeoutMs);
}

bool WireClient::waitClosed(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_ && msLeft(deadline) > 0) {
        buffer_.clear();
        fill(msLeft(deadline));
    }
    return closed_;
}

}  // namespace e2e
