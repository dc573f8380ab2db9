// An in-process test server on an ephemeral loopback port with its own
// database in a scratch directory, its log kept for the test to look at.
#pragma once

#include "line_client.h"
#include "support/temp_dir.h"

#include "testserver/server.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace testserver_testing {

inline constexpr std::uint64_t kFirstSerial = 470010002;
inline constexpr const char* kFirstSerialReply = "200 0x000000001C03C892";
inline constexpr const char* kFirstMacReply = "200 0x0E5D71100000";
inline constexpr const char* kDevice = "0x000000001c03c892";  // the first serial, as reports carry it

class ServerTest : public ::testing::Test {
protected:
    // Port 0, the scratch database, the log kept here.
    testserver::Config config();
    void start(testserver::Config config);
    void start() { start(config()); }
    void stopServer();

    LineClient connect();
    // Connected and logged in; the test fails when that does not work.
    LineClient loggedIn();

    // Waits up to timeoutMs for a log line holding text.
    bool logged(std::string_view text, int timeoutMs = 2000);
    std::string log();

    std::filesystem::path database() const { return dir_.path() / "server.db"; }
    // The single number a query on the database gives.
    std::int64_t sqlInteger(const std::string& sql) const;

    std::uint16_t port_ = 0;

private:
    testing_support::TempDir dir_{"testserver"};
    std::mutex logMutex_;
    std::vector<std::string> logLines_;
    std::unique_ptr<testserver::Server> server_;  // last: stops before the log goes
};

}  // namespace testserver_testing
