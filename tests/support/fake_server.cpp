#include "support/fake_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace testing_support {

namespace {

constexpr int kPollMs = 20;
constexpr auto kLimit = std::chrono::seconds(10);  // no test waits longer for its client

// Waits until fd is readable; false once stopping or past the limit.
bool readable(int fd, const std::atomic<bool>& stopping, std::chrono::steady_clock::time_point deadline) {
    while (!stopping && std::chrono::steady_clock::now() < deadline) {
        pollfd wanted{fd, POLLIN, 0};
        if (poll(&wanted, 1, kPollMs) > 0) return true;
    }
    return false;
}

}  // namespace

FakeServer::FakeServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "fake server cannot listen";
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

FakeServer::~FakeServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    close(listener_);
    for (const Step& step : script_) ADD_FAILURE() << "expected line never came: " << step.line;
}

void FakeServer::expect(const std::string& line, const std::string& reply, Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({line, reply, answer});
}

void FakeServer::expectLogin() { expect("ID DQTestZ6 0.65 DQTJ:00001702 PW:3C61F94E\r\n", "200\r\n"); }

std::string FakeServer::received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void FakeServer::serve() {
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    if (!readable(listener_, stopping_, deadline)) return;
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    std::string pending;
    bool open = true;
    while (open && readable(connection, stopping_, deadline)) {
        char buffer[4096];
        const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        std::lock_guard<std::mutex> lock(mutex_);
        received_.append(buffer, static_cast<std::size_t>(n));
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; open && (end = pending.find("\r\n")) != std::string::npos;) {
            const std::string line = pending.substr(0, end + 2);
            pending.erase(0, end + 2);
            if (script_.empty()) {
                ADD_FAILURE() << "unexpected line: " << line;
                open = false;
                break;
            }
            const Step step = script_.front();
            script_.pop_front();
            EXPECT_EQ(line, step.line);
            switch (step.answer) {
                case Answer::Whole: send(connection, step.reply.data(), step.reply.size(), MSG_NOSIGNAL); break;
                case Answer::TwoPieces: {
                    const std::size_t half = step.reply.size() / 2;
                    send(connection, step.reply.data(), half, MSG_NOSIGNAL);
                    std::this_thread::sleep_for(std::chrono::milliseconds(30));
                    send(connection, step.reply.data() + half, step.reply.size() - half, MSG_NOSIGNAL);
                    break;
                }
                case Answer::Close: open = false; break;
                case Answer::Never: break;
            }
        }
    }
    close(connection);
}

}  // namespace testing_support
