// Whole station runs in process, for a good device and for each fault scenario of the jig, supply,
// temperature, DAC and settings steps: the row of the step that meets the
// fault gets the state and details the station must report for it.
#include "support/station_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using testing_support::runStation;
using testing_support::StationOptions;
using testing_support::StationRun;

constexpr std::uint32_t kDefault = flags::kDefault;
constexpr std::uint32_t kNoCal = flags::kDefault & ~flags::kCalStation;
constexpr std::uint32_t kNoRestore = flags::kDefault & ~flags::kRestoreFactorySettings;
constexpr std::uint32_t kNoSetClock = flags::kDefault & ~flags::kSetClock;

// Readings are physical and noisy: a '#' in a pattern stands for a number
// within kTolerance of the next expected value, a '*' for any number; the
// rest must match exactly.
constexpr double kTolerance = 0.05;

::testing::AssertionResult matches(const std::string& details, const std::string& pattern,
                                   const std::vector<double>& numbers) {
    std::size_t at = 0;
    std::size_t next = 0;
    for (const char p : pattern) {
        if (p == '#' || p == '*') {
            char* end = nullptr;
            const double value = std::strtod(details.c_str() + at, &end);
            if (end == details.c_str() + at) return ::testing::AssertionFailure() << "no number at " << at;
            at = static_cast<std::size_t>(end - details.c_str());
            if (p == '#') {
                if (next >= numbers.size()) return ::testing::AssertionFailure() << "more '#' than numbers";
                if (!(std::fabs(value - numbers[next]) <= kTolerance)) {
                    return ::testing::AssertionFailure() << value << " is not near " << numbers[next];
                }
                ++next;
            }
        } else if (at >= details.size() || details[at++] != p) {
            return ::testing::AssertionFailure() << "differs at " << at - 1;
        }
    }
    if (at != details.size()) return ::testing::AssertionFailure() << "more after " << at;
    return ::testing::AssertionSuccess();
}

StationRun runWith(const std::string& scenario, std::uint32_t stationFlags) {
    return runStation(scenario, {stationFlags, {}, {}});
}

struct Row {
    const char* name;
    ResultState state;
    const char* pattern;
    std::vector<double> numbers;
};

TEST(HardwareStepsRun, AGoodDevicePassesEveryStep) {
    const std::vector<Row> common = {
        {"Read Test Jig Info", Passed, "Jig found: (6,3,3)", {}},
        {"Vs and Current", Passed, "Vs: #V, Is: #A", {5.05, 0.215}},
        {"Vmux", Passed, "Vm+: #V, Vm-: #V", {12.52, -12.47}},
        {"Startup DAQ Settings", Passed, "Factory settings detected", {}},
        {"Device Name", Passed, "Name: My_Z6_0000", {}},  // the default serial ends in 0000
        {"Temperature Sensor", Passed, "Tin: #K, Tex: #K", {301.2, 298.15}},
        {"DAC Test", Passed, "All tests passed.", {}},
        {"Reset", Passed, "Soft reset issued", {}},
    };
    struct Device {
        const char* scenario;
        Row systemTime;
    } const devices[] = {
        {"healthy", {"System Time", Passed, "RTC not present; Pro only", {}}},
        {"healthy-pro", {"System Time", Passed, "delta: 0 . Set to: *", {}}},
    };
    for (const Device& device : devices) {
        const StationRun run = runWith(device.scenario, kDefault);
        std::vector<Row> rows = common;
        rows.push_back(device.systemTime);
        for (const Row& row : rows) {
            const testing_support::StationRow& got = run.row(row.name);
            EXPECT_EQ(got.state, row.state) << device.scenario << ": " << row.name << ": " << got.details;
            EXPECT_TRUE(matches(got.details, row.pattern, row.numbers))
                << device.scenario << ": " << row.name << ": " << got.details;
        }
    }
}

TEST(HardwareStepsRun, EachFaultGivesItsRowsStateAndDetails) {
    struct Case {
        const char* scenario;
        std::uint32_t flags;
        Row row;
    } const cases[] = {
        {"jig-memory-blank", kDefault, {"Read Test Jig Info", Fatal, "Code mismatch: (65535,255,3)", {}}},
        {"jig-wrong-type", kDefault, {"Read Test Jig Info", Fatal, "Wrong Jig Type: (5,3,3)", {}}},
        {"jig-code-mismatch", kDefault, {"Read Test Jig Info", Fatal, "Code mismatch: (6,3,5)", {}}},
        {"vs-too-low", kDefault, {"Vs and Current", Fatal, "Vs too low: #", {4.1}}},
        {"vs-too-low", kNoCal, {"Vs and Current", Fatal, "Vs too low: #", {4.1}}},
        {"vs-too-low-to-cal", kDefault, {"Vs and Current", Fatal, "Vs too low to Cal: #", {4.5}}},
        {"vs-too-low-to-cal", kNoCal, {"Vs and Current", Passed, "Vs: #V, Is: #A", {4.5, 0.215}}},
        {"vs-too-high", kDefault, {"Vs and Current", Fatal, "Vs too high: #", {5.7}}},
        {"vm-minus-out", kDefault, {"Vmux", Fatal, "Vm+: #V, Vm-: #V", {12.52, -10.6}}},
        {"internal-temp-high", kDefault,
         {"Temperature Sensor", Fatal, "Int Temp: #K, 290.00 to 308.00 required", {316.0}}},
        {"internal-temp-high", kNoCal, {"Temperature Sensor", Warning, "Tin: #K, Tex: #K", {316.0, 298.15}}},
        {"external-temp-high", kDefault,
         {"Temperature Sensor", Fatal, "Ext Temp: #K, 290.00 to 308.00 required", {310.15}}},
        {"external-temp-high", kNoCal, {"Temperature Sensor", Passed, "Tin: #K, Tex: #K", {301.2, 310.15}}},
        {"dac0-stuck", kDefault, {"DAC Test", Fatal, "DAC0 0x2000 Error: #, ", {0.0}}},
        {"dac1-stuck", kDefault, {"DAC Test", Fatal, "DAC1 0xC000 Error: #, ", {0.0}}},
        {"dacs-swapped", kDefault, {"DAC Test", Fatal, "DAC0 0x2000 Error: #, ", {3.71}}},
        {"startup-not-factory", kDefault, {"Startup DAQ Settings", Passed, "Changed to factory settings", {}}},
        {"startup-not-factory", kNoRestore, {"Startup DAQ Settings", Warning, "non-Factory settings detected", {}}},
        {"device-name-stale", kDefault, {"Device Name", Passed, "Name: My_Z6_0000", {}}},
        {"clock-behind", kDefault, {"System Time", Passed, "delta: -3 . Set to: *", {}}},
        {"clock-behind", kNoSetClock, {"System Time", Passed, "Z6: *, delta: -3", {}}},
    };
    for (const Case& c : cases) {
        const StationRun run = runWith(c.scenario, c.flags);
        const testing_support::StationRow& got = run.row(c.row.name);
        EXPECT_EQ(got.state, c.row.state) << c.scenario << " " << std::hex << c.flags << ": " << got.details;
        EXPECT_TRUE(matches(got.details, c.row.pattern, c.row.numbers))
            << c.scenario << " " << std::hex << c.flags << ": " << got.details;
        EXPECT_EQ(run.overallResult, "** Failed **") << c.scenario;  // the placeholders fail it anyway
    }
}

TEST(HardwareStepsRun, AnUnreadableJigKeepsTheStepsThatMeasureThroughItFromRunning) {
    const StationRun run = runWith("jig-memory-blank", kDefault);
    for (const char* name : {"Vs and Current", "Vmux", "Temperature Sensor", "DAC Test", "Reset"}) {
        EXPECT_EQ(run.row(name).state, Skipped) << name;
    }
    EXPECT_NE(run.row("Update Calibration Log").state, Skipped);  // the final step still runs
}

}  // namespace
