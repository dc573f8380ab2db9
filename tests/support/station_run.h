// A whole station run in process: the complete TestSuite with the given
// station flags, against a Z6 model loaded with a named scenario, on a
// virtual clock, with the factory test server on a free loopback port in
// threads of this process. Every sleep is virtual, so a full run takes
// milliseconds.
#pragma once

#include "sequencer/result_state.h"
#include "sequencer/station_flags.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace z6 {
class Z6Model;
}

namespace testing_support {

struct StationRow {
    std::string name;
    ResultState state;
    std::string details;
};

struct StationRun {
    std::vector<StationRow> rows;
    std::string overallResult;
    std::string console;
    std::uint64_t virtualMs = 0;     // time the station spent, on its clock
    std::uint64_t transactions = 0;  // requests the device answered

    // The row with this step name; fails the test when there is none.
    const StationRow& row(const std::string& name) const;
    bool has(const std::string& name) const;
};

struct StationOptions {
    std::uint32_t stationFlags = flags::kDefault;
    // Runs on the model after the scenario is loaded, before the station
    // starts: for a state a scenario cannot express.
    std::function<void(z6::Z6Model&)> prepare;
    // The station's working directory for the run, where it finds image
    // files. Empty: a fresh empty directory, so no stray file is found.
    std::filesystem::path workingDirectory;

    // A fresh working directory holds what a factory station's does
    // (support/station_files.h). False: nothing.
    bool stationFiles = true;

    // The test server's database, kept after the run for the test to read;
    // empty: a fresh one, gone after the run.
    std::filesystem::path database = {};
    // The device's flash and settings are loaded from here before the run
    // (factory-new when it is empty) and saved here after it, so that a
    // second run meets the device the first one left, powered up again.
    std::filesystem::path deviceState = {};
};

StationRun runStation(const std::string& scenario, const StationOptions& options = {});

}  // namespace testing_support
