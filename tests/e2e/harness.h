// End-to-end harness: real programs in real processes. A z6sim on its own
// USB bus, state directory and ephemeral loopback port; dqtest run in a
// station working directory with standard input closed, its last results
// table parsed into rows. Every process started is stopped, also when a
// test fails, and every wait is bounded.
#pragma once

#include "sim_process.h"

#include "sequencer/result_state.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

// Generous: sanitizer builds start slowly on a busy machine.
constexpr int kStartMs = 15000;

// A running z6sim on its own bus and state directories. Without --listen in
// extra it listens on 127.0.0.2, on a port of its choosing.
class Z6Sim {
public:
    Z6Sim(const fs::path& bus, const fs::path& state, std::vector<std::string> extra = {});

    bool ready() const { return ready_; }
    std::uint16_t port() const { return port_; }
    const std::string& usbPath() const { return usbPath_; }
    SimProcess& process() { return *process_; }
    std::string output() { return process_->output(); }

    WireClient tcp(const std::string& address = "127.0.0.2") { return WireClient::tcp(address, port_); }
    WireClient usb() { return WireClient::usb(usbPath_); }

private:
    std::unique_ptr<SimProcess> process_;
    bool ready_ = false;
    std::uint16_t port_ = 0;
    std::string usbPath_;
};

// A running dqtest-server with its database in dir, on the station's fixed
// port 5001 (the tests that use it take turns at that port) unless another
// is given (0: any free one).
class TestServerProcess {
public:
    explicit TestServerProcess(const fs::path& dir, std::uint16_t port = 5001, std::vector<std::string> extra = {});

    bool ready() const { return ready_; }
    std::uint16_t port() const { return port_; }
    fs::path database() const { return database_; }
    SimProcess& process() { return *process_; }
    std::string output() { return process_->output(); }

private:
    std::unique_ptr<SimProcess> process_;
    fs::path database_;
    bool ready_ = false;
    std::uint16_t port_ = 0;
};

struct Row {
    std::string name;
    ResultState state;
    std::string details;
};

struct StationResult {
    int exitStatus = -1;  // -1: it had not ended at the timeout (then it was stopped)
    std::string console;
    std::string overallResult;
    std::vector<Row> rows;  // of the last results table
    const Row* row(const std::string& name) const;
};

// Runs dqtest in stationDir against the device on busDir and tcpPort. The
// test prepares stationDir (support/station_files.h writes what a factory
// station keeps there).
StationResult runStation(const fs::path& stationDir, const fs::path& busDir, std::uint16_t tcpPort,
                         std::chrono::seconds timeout);
// The same station built with other station flags (dqtest_with_flags).
StationResult runStation(const fs::path& stationDir, const fs::path& busDir, std::uint16_t tcpPort,
                         std::uint32_t stationFlags, std::chrono::seconds timeout);

// The last results table of a console text.
StationResult parseConsole(const std::string& console);

}  // namespace e2e
