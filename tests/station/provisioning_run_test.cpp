// Whole station runs with the factory test server: a factory-new device is
// given its serial number and MAC, its results and calibration points are
// stored under the new serial, and a second run of the same device, powered
// up again, finds it provisioned and asks for nothing.
#include "support/station_run.h"
#include "support/temp_dir.h"

#include "testserver/history.h"

#include <gtest/gtest.h>

namespace {

using testing_support::runStation;
using testing_support::StationOptions;
using testing_support::StationRun;

TEST(ProvisioningRun, AFactoryNewDeviceIsProvisionedOnceAndReportedUnderItsNewSerial) {
    testing_support::TempDir server("server"), device("device");
    StationOptions options;
    options.database = server.path() / "dqtest-server.db";
    options.deviceState = device.path();

    const StationRun first = runStation("healthy-pro", options);
    EXPECT_EQ(first.row("Connect to DQTest Server").details, "Connected to Server");
    EXPECT_EQ(first.row("Serial Number").state, Passed);
    EXPECT_EQ(first.row("Serial Number").details, "New Serial: 470010002");
    EXPECT_EQ(first.row("Ethernet MAC").details, "MAC Written: 0E.5D.71.10.00.00");
    EXPECT_EQ(first.row("Report Calibraion").details, "Sent 43 cal points. ");
    EXPECT_EQ(first.row("Report Test Results").details, "Sent 30 results. ");
    EXPECT_NE(first.console.find("TX length: "), std::string::npos);

    const testserver::History history = testserver::readHistory(options.database, 470010002);
    ASSERT_EQ(history.runs.size(), 1u);
    ASSERT_EQ(history.runs[0].rows.size(), 30u);
    EXPECT_EQ(history.runs[0].kind, "test");
    EXPECT_EQ(history.runs[0].rows[0].text.rfind("DQtestZ6 Version : Passed : ", 0), 0u);
    ASSERT_EQ(history.calibrations.size(), 1u);
    EXPECT_EQ(history.calibrations[0].points.size(), 43u);
    EXPECT_EQ(history.allocations.size(), 2u);  // the serial and the MAC

    const StationRun second = runStation("healthy-pro", options);
    EXPECT_EQ(second.row("Serial Number").details, "Serial Number: 470010002");
    EXPECT_EQ(second.row("Ethernet MAC").details, "MAC: 0E.5D.71.10.00.00");
    const testserver::History again = testserver::readHistory(options.database, 470010002);
    EXPECT_EQ(again.allocations.size(), 2u) << "nothing more was asked for";
    EXPECT_EQ(again.runs.size(), 2u);
}

}  // namespace
