// dqtest-server's command line: serving (the default) or printing a
// device's history.
#pragma once

#include "service/command_line.h"
#include "testserver/server.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace dqtest_server {

inline constexpr const char* kDefaultDatabase = "dqtest-server.db";

struct HistoryRequest {
    std::filesystem::path database = kDefaultDatabase;
    std::uint64_t serial = 0;
    bool json = false;
};

struct Invocation {
    enum class Mode { Serve, History, Help };
    Mode mode = Mode::Serve;
    testserver::Config config;  // Serve
    HistoryRequest history;     // History
};

using OptionError = service::OptionError;

// args without the program name. Throws OptionError. Ranges and addresses
// are checked when the server is made.
Invocation parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

}  // namespace dqtest_server
