// The factory test server: hands out serial numbers and MAC addresses to
// test stations and stores their logins and reports in an SQLite database.
// Serves in background threads, so tests can run it in process.
#pragma once

#include "testserver/faults.h"
#include "testserver/history.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace testserver {

// MACs below and at this one are the devices' own default; a block handed
// out must lie entirely above it.
inline constexpr std::uint64_t kDeviceDefaultMac = 0x0E5D71002000;
inline constexpr std::uint64_t kLastMac = 0xFFFFFFFFFFFF;

struct Config {
    std::string listenAddress = "127.0.0.1";  // 127.x.x.x only
    std::uint16_t port = 5001;                // 0: any free port
    std::filesystem::path database;           // SQLite file, created when missing
    std::uint32_t firstSerial = 470010002, lastSerial = 480010000;
    std::uint64_t firstMac = 0x0E5D71100000, lastMac = 0x0E5D711FFFFF;
    std::uint32_t password = 0x3C61F94E;
    int idleTimeoutMs = 120000;  // a connection that sends nothing this long is closed
    int maxConnections = 64;     // more are answered 421 and closed
    int busyTimeoutMs = 5000;    // how long to wait for the database's write lock
    Faults faults;
    // One call per event, without a line end; empty: "dqtest-server: " lines
    // on standard error. Calls are serialised.
    std::function<void(std::string_view)> log;
};

class Server {
public:
    // Checks the configuration (std::invalid_argument) and opens or creates
    // the database (std::runtime_error with a clear message).
    explicit Server(Config config);
    ~Server();  // stops
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds and listens, serves in background threads; returns the bound
    // port. Throws std::runtime_error when it cannot listen, and
    // std::logic_error when called a second time.
    std::uint16_t start();
    // Closes the listener and every connection, joins all threads; idempotent.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace testserver
