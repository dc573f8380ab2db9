// For tests that run a simulator as its own process: start it with its
// standard error captured, wait for what it reports, and always stop it;
// plus a raw client for the Z6 wire over TCP or a USB bus socket. Every wait
// is bounded.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

class SimProcess {
public:
    // Where the process runs and what it finds in its environment besides
    // the test's own.
    struct Launch {
        std::filesystem::path directory;  // empty: the test's
        std::map<std::string, std::string> environment;
    };

    // Starts program with args; its standard output and error are captured,
    // its standard input is empty.
    SimProcess(const std::string& program, const std::vector<std::string>& args, const Launch& launch = {});
    // Stops the process if it still runs: SIGTERM, then SIGKILL after 3 s.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The first output line from line number `from` on that contains text,
    // within timeoutMs; nullopt when none comes (or the process ended).
    // lineIndex receives the line's number.
    std::optional<std::string> waitForLine(std::string_view text, int timeoutMs, std::size_t from = 0,
                                           std::size_t* lineIndex = nullptr);
    // The exit status (128 + signal number when killed), or nullopt while it
    // still runs after timeoutMs.
    std::optional<int> waitExit(int timeoutMs);
    std::optional<int> signalAndWait(int signal, int timeoutMs);

    // Everything it printed so far, for failure messages.
    std::string output();
    std::size_t lineCount();

private:
    void pump(int timeoutMs);  // reads what is there, waiting up to timeoutMs for more

    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string partial_;
    std::vector<std::string> lines_;
    std::optional<int> status_;
};

class WireClient {
public:
    WireClient() = default;
    ~WireClient();
    WireClient(WireClient&& other) noexcept;
    WireClient& operator=(WireClient&& other) noexcept;

    // connected() tells whether it worked; error() says why not.
    static WireClient tcp(const std::string& address, std::uint16_t port);
    static WireClient usb(const std::string& socketPath);
    bool connected() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

    bool send(const std::vector<std::uint8_t>& bytes);
    // The next whole message, read by its length field; nullopt on timeout or
    // when the peer closed.
    std::optional<std::vector<std::uint8_t>> receive(int timeoutMs);
    std::optional<std::vector<std::uint8_t>> exchange(const std::vector<std::uint8_t>& request, int timeoutMs = 3000);
    // True when the peer closes within timeoutMs; what it still sends is skipped.
    bool waitClosed(int timeoutMs);

private:
    explicit WireClient(int fd, std::string error) : fd_(fd), error_(std::move(error)) {}
    // Up to timeoutMs for more bytes; false on timeout, close or error.
    bool fill(int timeoutMs);

    int fd_ = -1;
    std::string error_;
    std::vector<std::uint8_t> buffer_;
    bool closed_ = false;
};

}  // namespace e2e
