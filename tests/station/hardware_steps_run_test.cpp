// Whole station runs in process, for a good device and for each fault scenario of the jig, supply,
// temperature, DAC and settings steps: the row of the step that meets the
// fault gets the state and details the station must report for it.
#include "support/alternate_plan.h"
#include "support/station_run.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <utility>
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
// A web-page station: no jig.
constexpr std::uint32_t kWebPages = flags::kBase | flags::kWebPageStation;
constexpr std::uint32_t kAlternate = flags::kAlternatePlan;
constexpr std::uint32_t kAlternateWithJig = flags::kAlternatePlan | flags::kTestJig;

// Readings are physical and noisy: a '#' in a pattern stands for a number
// within kTolerance of the next expected value, a '*' for any number, a '~'
// for any upper-case hexadecimal number; the rest, and a character after a
// backslash, must match exactly.
constexpr double kTolerance = 0.05;

::testing::AssertionResult matches(const std::string& details, const std::string& pattern,
                                   const std::vector<double>& numbers) {
    std::size_t at = 0;
    std::size_t next = 0;
    bool literal = false;
    for (const char p : pattern) {
        if (!literal && p == '\\') {
            literal = true;
            continue;
        }
        if (std::exchange(literal, false)) {
            if (at >= details.size() || details[at] != p) return ::testing::AssertionFailure() << "differs at " << at;
            ++at;
        } else if (p == '~') {
            const std::size_t start = at;
            while (at < details.size() && std::isxdigit(static_cast<unsigned char>(details[at])) &&
                   !std::islower(static_cast<unsigned char>(details[at])))
                ++at;
            if (at == start) return ::testing::AssertionFailure() << "no hexadecimal number at " << at;
        } else if (p == '#' || p == '*') {
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
        {"Device Name", Passed, "Name: My_Z6_0002", {}},  // the first serial the server gives out
        {"Temperature Sensor", Passed, "Tin: #K, Tex: #K", {301.2, 298.15}},
        {"DAC Test", Passed, "All tests passed.", {}},
        {"Reset", Passed, "Soft reset issued", {}},
        {"Self Diagnostic", Passed, "No problems detected.", {}},
        {"DIO Jig Test", Passed, "8 tests passed", {}},
    };
    struct Device {
        const char* scenario;
        std::vector<Row> rows;
    } const devices[] = {
        {"healthy",
         {{"System Time", Passed, "RTC not present; Pro only", {}},
          {"Check SD Card", Passed, "Pro-Only, Skipping.", {}},
          {"AIn Noise (16b counts)", Passed, "Noise: *,*,*,*", {}}}},
        {"healthy-pro",
         {{"System Time", Passed, "delta: 0 . Set to: *", {}},
          {"Check SD Card", Passed, "SD Card Mounted.", {}},
          {"AIn Noise (16b counts)", Passed, "Noise: *,*,*,*,*,*", {}}}},
    };
    for (const Device& device : devices) {
        const StationRun run = runWith(device.scenario, kDefault);
        std::vector<Row> rows = common;
        rows.insert(rows.end(), device.rows.begin(), device.rows.end());
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
        {"device-name-stale", kDefault, {"Device Name", Passed, "Name: My_Z6_0002", {}}},
        {"clock-behind", kDefault, {"System Time", Passed, "delta: -3 . Set to: *", {}}},
        {"clock-behind", kNoSetClock, {"System Time", Passed, "Z6: *, delta: -3", {}}},
        {"osc-failure", kDefault, {"Self Diagnostic", Fatal, "Main OSC Failure. (2950)", {}}},
        {"diagnostic-code", kDefault, {"Self Diagnostic", Fatal, "Diagnostic code: 7", {}}},
        {"gain-error-round1", kDefault, {"Self Diagnostic", Fatal, "Gain error, Round 1, 0.1V,  ~", {}}},
        {"gain-error-round2", kDefault, {"Self Diagnostic", Fatal, "Gain error, Round 2, 0.01V,  ~", {}}},
        {"balance-fails", kDefault,
         {"Self Diagnostic", Fatal, "Balance not reached, Round 2, 500 steps, last FFFF00", {}}},
        {"sd-card-not-mounted", kDefault, {"Check SD Card", Fatal, "SD Card could not be mounted.", {}}},
        {"dio-jig-line-stuck-high", kDefault, {"DIO Jig Test", Fatal, "E/C/M 0,2,4 output low: 0x00000043", {}}},
        {"noise-high", kDefault, {"AIn Noise (16b counts)", Fatal, "Noise: *,*,*,*,*,*", {}}},
        {"noise-first-attempt", kDefault, {"AIn Noise (16b counts)", Passed, "Noise: *,*,*,*,*,*", {}}},
        {"healthy-no-jig", kWebPages, {"DIO Short Test", Passed, "All tests passed", {}}},
        {"dio-line-stuck-high", kWebPages, {"DIO Short Test", Error, "DIO\\# 9 will not go low", {}}},
        {"dio-line-stuck-low", kWebPages, {"DIO Short Test", Error, "Possible short DIO\\#: 0, 9", {}}},
        {"dio-lines-shorted", kWebPages, {"DIO Short Test", Error, "Possible short DIO\\#: 3, 4", {}}},
        {"dio-line-stuck-high", kAlternate,
         {"Test DIO Operation", Fatal,
          "Port 1, pass 1, phase 1, step 0: 0x02 expected 0x00 (23 of 92 port tests failed)", {}}},
        {"analog-loopback-high", kAlternateWithJig,
         {"Analog Test", Fatal, "Row 0, AIN0 10V: # V, expected 4.0000 +- 0.0100 (4 of 8 rows failed)", {4.014}}},
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

TEST(HardwareStepsRun, ANoisyInputIsMeasuredThreeTimesOverBeforeItFails) {
    // The step's marks run from "Noise Step:" to the runner's next line.
    const auto attempts = [](const StationRun& run) {
        const std::size_t start = run.console.find("Noise Step:");
        const std::string marks = run.console.substr(start, run.console.find("\r\n", start) - start);
        std::size_t count = 0;
        for (std::size_t at = marks.find(" 1 2 3 4"); at != std::string::npos; at = marks.find(" 1 2 3 4", at + 1))
            ++count;
        return count;
    };
    EXPECT_EQ(attempts(runWith("noise-high", kDefault)), 3u);
    EXPECT_EQ(attempts(runWith("noise-first-attempt", kDefault)), 2u);
    EXPECT_EQ(attempts(runWith("healthy", kDefault)), 1u);
}

TEST(HardwareStepsRun, TheAlternatePlanPassesWithAndWithoutTheJig) {
    for (const testing_support::AlternatePlanRun& c : testing_support::kAlternatePlanRuns) {
        const StationRun run = runWith(c.scenario, c.stationFlags);
        ASSERT_EQ(run.rows.size(), 4u) << c.scenario;
        EXPECT_EQ(run.row("Test DIO Operation").details, c.dioOperation) << c.scenario;
        EXPECT_EQ(run.row("Analog Test").details, c.analogTest) << c.scenario;
        for (const auto& row : run.rows) EXPECT_EQ(row.state, Passed) << c.scenario << ": " << row.name;
        EXPECT_EQ(run.overallResult, "** Passed **") << c.scenario;
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
