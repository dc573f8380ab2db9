// A station's end of the test-server line protocol over loopback TCP, for
// tests and the benchmark: raw bytes out, reply lines in, every wait bounded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver_testing {

inline constexpr const char* kLoginLine = "ID DQTestZ6 0.65 DQTJ:00001702 PW:3C61F94E";

class LineClient {
public:
    explicit LineClient(std::uint16_t port);  // to 127.0.0.1; connected() tells whether it worked
    ~LineClient();
    LineClient(LineClient&& other) noexcept;
    LineClient& operator=(LineClient&& other) noexcept;
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(std::string_view bytes);
    void shutdownWrite();

    // The next line without its CR LF; nullopt on timeout or when closed.
    std::optional<std::string> readLine(int timeoutMs = 5000);
    // Sends line and CR LF; the reply line, or "<no reply>".
    std::string exchange(std::string_view line, int timeoutMs = 5000);
    // What arrives up to and including the next LF, one entry per read.
    std::vector<std::string> readChunksOfLine(int timeoutMs = 5000);
    // True when the server closes within timeoutMs; what it still sends is skipped.
    bool closedWithin(int timeoutMs);
    bool closed() const { return closed_; }

private:
    bool fill(int timeoutMs);  // false on timeout or close

    int fd_ = -1;
    std::string buffer_;
    bool closed_ = false;
};

}  // namespace testserver_testing
