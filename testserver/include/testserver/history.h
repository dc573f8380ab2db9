// A device's history as the test server stored it, newest first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testserver {

struct Allocation {
    std::string kind;  // "serial" or "mac"
    std::uint64_t value = 0;
    std::uint32_t stationId = 0;
    std::string peer;       // ip:port of the station's connection
    std::int64_t time = 0;  // seconds since the epoch
};

struct ReportRow {
    std::string text;
};

// A calibration entry. With a value, text is the value as the station wrote
// it ("nan", "-nan" and the digits kept exactly); without one, the entry was
// text: name is what stands before its first ':' and text what follows.
struct CalPoint {
    std::string name;
    std::optional<double> value;
    std::string text;
};

struct Run {
    std::string kind;  // "test" or "qtest"
    std::uint32_t stationId = 0;
    std::string peer;
    std::int64_t time = 0;
    std::string raw;  // the body between " {" and the final "}", as received
    std::vector<ReportRow> rows;
};

struct Calibration {
    std::uint32_t stationId = 0;
    std::string peer;
    std::int64_t time = 0;
    std::string raw;
    std::vector<CalPoint> points;
};

struct History {
    std::vector<Allocation> allocations;  // the serial itself and the MACs given out after it
    std::vector<Run> runs;
    std::vector<Calibration> calibrations;
};

// Throws std::runtime_error when the database cannot be opened or read.
History readHistory(const std::filesystem::path& database, std::uint64_t deviceId);

}  // namespace testserver
