// A link over a stream socket (a USB-bus socket or TCP). When the device
// drops the connection (it restarted), the next send dials the same place
// again, for a bounded time.
#pragma once

#include "DaqoraM_transport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace dqm {

class SocketLink : public Link {
public:
    // Makes a new connection to the same device: DQM_OK and the socket, or a code.
    using Dialer = std::function<std::int32_t(int& fd)>;

    SocketLink(int fd, Dialer dialer) : fd_(fd), dialer_(std::move(dialer)) {}
    ~SocketLink() override;
    SocketLink(const SocketLink&) = delete;
    SocketLink& operator=(const SocketLink&) = delete;

    std::int32_t send(const std::uint8_t* message, std::size_t length) override;
    std::int32_t receive(std::vector<std::uint8_t>& message, int timeoutMs) override;
    void drop() override;

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    bool connectionGone();
    // Dials until it works or the deadline passes.
    std::int32_t redial(TimePoint deadline);
    bool sendAll(const std::uint8_t* data, std::size_t length);

    int fd_;
    Dialer dialer_;
    std::vector<std::uint8_t> input_;  // bytes received, not yet taken as messages
    // The last request, sent again once when the device drops the connection
    // before a single byte of an answer came (it is restarting and never saw it).
    std::vector<std::uint8_t> lastRequest_;
    bool answerStarted_ = true;
    TimePoint resendDeadline_{};  // set when the device first dropped this request
};

}  // namespace dqm
