// A test server on a loopback port of its own (port 0), answering one
// connection from a script: each expected line, received whole, gets its
// scripted answer: whole, in two pieces, after closing, or never. Every
// expectation must be used; what the client sent is kept.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

class FakeServer {
public:
    enum class Answer { Whole, TwoPieces, Close, Never };

    FakeServer();
    ~FakeServer();  // checks that every expected line came
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    std::uint16_t port() const { return port_; }

    // The next line must be exactly line (with its CR LF); reply answers it.
    void expect(const std::string& line, const std::string& reply, Answer answer = Answer::Whole);
    // The login line every station sends, answered 200.
    void expectLogin();

    // Everything received so far.
    std::string received();

private:
    struct Step {
        std::string line;
        std::string reply;
        Answer answer;
    };
    void serve();

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::deque<Step> script_;
    std::string received_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace testing_support
