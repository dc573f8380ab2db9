// Whole station runs in process: each fault scenario against the identity
// steps, and the recovery image and web pages loaded from the station's
// working directory.
#include "support/station_run.h"
#include "support/temp_dir.h"

#include "z6/firmware_image.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::runStation;
using testing_support::StationRun;

constexpr std::uint32_t kPlainStation = flags::kDefault & ~flags::kCalStation;

// The rows after the named one are as the Fatal rule leaves them: not run
// when the run ended, or Skipped up to the final step (the last row of a
// plain station), which still runs.
void expectRowsAfter(const StationRun& run, const std::string& name, ResultState state, const char* scenario) {
    std::size_t i = 0;
    while (i < run.rows.size() && run.rows[i].name != name) ++i;
    const std::size_t end = state == Skipped ? run.rows.size() - 1 : run.rows.size();
    for (++i; i < end; ++i) EXPECT_EQ(run.rows[i].state, state) << scenario << ": " << run.rows[i].name;
    if (state == Skipped) {
        EXPECT_NE(run.rows.back().state, Skipped) << scenario;
    }
}

TEST(FaultScenarioRun, EachFaultGivesTheStateAndDetailsOfItsRow) {
    const struct {
        const char* scenario;
        std::uint32_t stationFlags;
        const char* row;
        ResultState state;
        const char* details;
        ResultState laterRows;  // NotYetRun: the run ended; Skipped: skipped to the final step
    } cases[] = {
        {"wrong-product-id", flags::kDefault, "Open Daqora", Fatal, "Can not process HW ID: 4,", NotYetRun},
        {"firmware-too-old", flags::kDefault, "Firmware Version", Fatal,
         "FW 1.0254, BS 0.9600, FC 73, FW 1.0255 Required", NotYetRun},
        {"bootstrap-too-old", flags::kDefault, "Firmware Version", Fatal,
         "FW 1.0300, BS 0.9500, FC 73, BS 0.9600 Required", NotYetRun},
        {"unknown-flash-chip", kPlainStation, "Firmware Version", Fatal, "Unknown flash chip: 99", NotYetRun},
        {"recovery-too-old", kPlainStation, "Recovery Version", Fatal, "0.6600, 0.6606 Required", Skipped},
    };
    for (const auto& c : cases) {
        const StationRun run = runStation(c.scenario, {c.stationFlags, {}, {}});
        EXPECT_EQ(run.row(c.row).state, c.state) << c.scenario;
        EXPECT_EQ(run.row(c.row).details, c.details) << c.scenario;
        EXPECT_EQ(run.overallResult, "** Failed **") << c.scenario;
        expectRowsAfter(run, c.row, c.laterRows, c.scenario);
    }
}

TEST(FaultScenarioRun, OldFirmwareOnAPlainStationWarnsAndTheRunGoesOn) {
    const StationRun run = runStation("firmware-too-old", {kPlainStation, {}, {}});
    EXPECT_EQ(run.row("Firmware Version").state, Warning);
    EXPECT_EQ(run.row("Hardware Version").state, Passed);
    EXPECT_EQ(run.row("Hardware Version").details, "HW 1.30");
    EXPECT_EQ(run.row("Recovery Version").details, "0.7000");
}

TEST(FaultScenarioRun, AnUnknownFlashChipShowsItsIdentifierAndFlagsOnTheConsole) {
    const StationRun run = runStation("unknown-flash-chip");
    EXPECT_NE(run.console.find("Flash ID: 99, Flash flags: 40"), std::string::npos);
}

TEST(StationRunWithImages, AHealthyProDeviceGetsItsRecoveryImageFromTheWorkingDirectory) {
    testing_support::TempDir station;
    z6::writeImageFile(station.path() / "Z6recovery_9600.bin", z6::kRecoveryImageType, 0.96f,
                       z6::patternPayload(0x8000));
    const StationRun run = runStation("healthy-pro", {flags::kDefault, {}, station.path()});
    const struct {
        const char* row;
        const char* details;
    } passed[] = {
        {"Open Daqora", "Daqora Z6-Pro Found"},
        {"Firmware Version", "FW 1.0300, BS 0.9600, FC 73"},
        {"Hardware Version", "HW 1.30"},
        {"Load Recovery Image", "Recovery Image 0.9600 Loaded"},
        {"Recovery Version", "0.9600"},
    };
    for (const auto& p : passed) {
        EXPECT_EQ(run.row(p.row).state, Passed) << p.row;
        EXPECT_EQ(run.row(p.row).details, p.details) << p.row;
    }
    EXPECT_GE(run.virtualMs, 5000u) << "Open waits for the device";
}

TEST(StationRunWithImages, WithoutARecoveryImageTheRunSkipsToTheFinalStep) {
    const StationRun run = runStation("healthy", {flags::kDefault, {}, {}, false});
    EXPECT_EQ(run.row("Load Recovery Image").state, Fatal);
    EXPECT_EQ(run.row("Load Recovery Image").details, "Comm Error: (10)");
    EXPECT_EQ(run.row("Recovery Version").state, Skipped);
    EXPECT_NE(run.console.find("\r\nError: 10\r\n"), std::string::npos);
}

TEST(StationRunWithImages, AWebPageStationLoadsThePackedWebPages) {
    testing_support::TempDir station;
    station.write("PackedWebPages_3.bin", std::string(5000, 'p'));
    const StationRun run = runStation("healthy", {kPlainStation | flags::kWebPageStation, {}, station.path()});
    EXPECT_EQ(run.row("Load web pages").state, Passed);
    EXPECT_EQ(run.row("Load web pages").details, "Loaded 5000 bytes");
}

}  // namespace
