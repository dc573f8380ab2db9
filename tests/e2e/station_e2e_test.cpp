// dqtest as the operator starts it, against a z6sim on the USB bus and a
// dqtest-server on the station's port.
#include "harness.h"
#include "support/temp_dir.h"

#include "support/alternate_plan.h"
#include "support/station_files.h"
#include "testserver/history.h"

#include <gtest/gtest.h>

namespace {

TEST(StationEndToEnd, DefaultRunAgainstAHealthyProDevice) {
    testing_support::TempDir bus("bus"), state("state"), station("station"), serverDir("server");
    testing_support::writeStationFiles(station.path());
    e2e::TestServerProcess server(serverDir.path());
    ASSERT_TRUE(server.ready()) << server.output();
    e2e::StationResult result;
    {
        e2e::Z6Sim sim(bus.path(), state.path());
        ASSERT_TRUE(sim.ready()) << sim.output();
        result = e2e::runStation(station.path(), bus.path(), sim.port(), std::chrono::seconds(120));
    }
    ASSERT_EQ(result.exitStatus, 0) << result.console.substr(0, 2000);
    ASSERT_EQ(result.rows.size(), 32u) << result.console;
    EXPECT_EQ(result.rows[0].name, "DQtestZ6 Version");
    EXPECT_EQ(result.rows[31].name, "Report Test Results");

    const struct {
        const char* name;
        const char* details;  // its beginning
    } passed[] = {
        {"DQtestZ6 Version", "DQtestZ6 1.22, DQM "},
        {"Open Daqora", "Daqora Z6-Pro Found"},
        {"Firmware Version", "FW 1.0300, BS 0.9600, FC 73"},
        {"Hardware Version", "HW 1.30"},
        {"Load Recovery Image", "Recovery Image 0.9600 Loaded"},
        {"Recovery Version", "0.9600"},
        {"Read Test Jig Info", "Jig found: (6,"},
        {"Vs and Current", "Vs: "},
        {"Vmux", "Vm+: "},
        {"System Time", "delta: "},
        {"Startup DAQ Settings", "Factory settings detected"},
        {"Device Name", "Name: My_Z6_"},
        {"Temperature Sensor", "Tin: "},
        {"DAC Test", "All tests passed."},
        {"Reset", "Soft reset issued"},
        {"Connect to DQTest Server", "Connected to Server"},
        {"Serial Number", "New Serial: 470010002"},
        {"Ethernet MAC", "MAC Written: 0E.5D.71.10.00.00"},
        {"Report Calibraion", "Sent 43 cal points."},  // the table's trailing blank is not kept
        {"Report Test Results", "Sent 30 results."},
        {"Self Diagnostic", "No problems detected."},
        {"Check SD Card", "SD Card Mounted."},
        {"DIO Jig Test", "8 tests passed"},
        {"AIn Noise (16b counts)", "Noise: "},
    };
    for (const auto& expected : passed) {
        const e2e::Row* row = result.row(expected.name);
        ASSERT_NE(row, nullptr) << expected.name;
        EXPECT_EQ(row->state, Passed) << expected.name << ": " << row->details;
        EXPECT_EQ(row->details.rfind(expected.details, 0), 0u) << expected.name << ": " << row->details;
    }

    const testserver::History history = testserver::readHistory(server.database(), 470010002);
    ASSERT_EQ(history.runs.size(), 1u);
    EXPECT_EQ(history.runs[0].rows.size(), 30u);
    ASSERT_EQ(history.calibrations.size(), 1u);
    EXPECT_EQ(history.calibrations[0].points.size(), 43u);

    // The same device again, powered up anew: provisioned, nothing asked for.
    e2e::Z6Sim sim(bus.path(), state.path());
    ASSERT_TRUE(sim.ready()) << sim.output();
    const e2e::StationResult second =
        e2e::runStation(station.path(), bus.path(), sim.port(), std::chrono::seconds(120));
    ASSERT_NE(second.row("Serial Number"), nullptr) << second.console.substr(0, 2000);
    EXPECT_EQ(second.row("Serial Number")->details, "Serial Number: 470010002");
    EXPECT_EQ(second.row("Ethernet MAC")->details, "MAC: 0E.5D.71.10.00.00");
    EXPECT_EQ(testserver::readHistory(server.database(), 470010002).allocations.size(), 2u);
}

TEST(StationEndToEnd, TheAlternatePlanWithoutAndWithTheJig) {
    for (const testing_support::AlternatePlanRun& c : testing_support::kAlternatePlanRuns) {
        testing_support::TempDir bus("bus"), state("state"), station("station");
        e2e::Z6Sim sim(bus.path(), state.path(), {"--scenario", c.scenario});
        ASSERT_TRUE(sim.ready()) << sim.output();

        const e2e::StationResult result =
            e2e::runStation(station.path(), bus.path(), sim.port(), c.stationFlags, std::chrono::seconds(120));
        ASSERT_EQ(result.exitStatus, 0) << result.console.substr(0, 2000);
        ASSERT_EQ(result.rows.size(), 4u) << result.console;
        const struct {
            const char* name;
            const char* details;
        } rows[] = {{"Test DIO Operation", c.dioOperation}, {"Analog Test", c.analogTest}};
        for (const auto& expected : rows) {
            const e2e::Row* row = result.row(expected.name);
            ASSERT_NE(row, nullptr) << c.scenario << ": " << expected.name;
            EXPECT_EQ(row->state, Passed) << c.scenario << ": " << expected.name << ": " << row->details;
            EXPECT_EQ(row->details, expected.details) << c.scenario << ": " << expected.name;
        }
        EXPECT_EQ(result.overallResult, "** Passed **") << c.scenario;
    }
}

}  // namespace
