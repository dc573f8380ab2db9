// "Report Calibraion" and "Report Test Results": what goes to the server,
// which summary rows, and what the steps leave behind.
#include "support/fake_server.h"
#include "support/model_device.h"
#include "support/recording_console.h"
#include "support/redirected_sockets.h"

#include "calibration/cal_table.h"
#include "sequencer/station_flags.h"
#include "sequencer/steps.h"
#include "server/server_client.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::FakeServer;
using testing_support::RedirectedSockets;

constexpr const char* kDeviceId = "000000001c03c892";

struct Station {
    explicit Station(std::uint32_t stationFlags = flags::kDefault) {
        context.stationFlags = stationFlags;
        context.serialNumber = 470010002;
        server.expectLogin();
        context.serverClient = std::make_unique<ServerClient>(300);
        EXPECT_EQ(context.serverClient->login({"DQTestZ6", 0.65, 0x1702, 0x3C61F94E}), 0);
    }
    testing_support::RecordingConsole console;
    FakeServer server;
    RedirectedSockets sockets{server.port()};
    TestContext context;
};

TEST(ReportCalibration, FortyOneConstantsAndTheMeterGoOutUnderTheSerialNumber) {
    Station station;
    for (float& value : calValues) value = 0.0f;
    calValues[0] = 0.000316f;
    calValues[40] = 2e-8f;
    text::copy(meterName, "METER-ID,A1,0,1-2-3\n");
    text::copy(meterCalString, "");

    std::string line = std::string("cal 0x") + kDeviceId + " {HS 10.0V PSlope:0.000316000";
    for (std::size_t i = 1; i < 40; ++i) line += std::string(";") + calTable[i].name + ":0.000000000";
    line += ";I Bias:0.000000020;Meter Name: METER-ID,A1,0,1-2-3;Meter Serial: }\r\n";
    station.server.expect(line, "200\r\n");

    EXPECT_EQ(reportCalibrationStep(&station.context), 0);
    EXPECT_EQ(station.context.resultState, Passed);
    EXPECT_STREQ(station.context.details, "Sent 43 cal points. ");
    EXPECT_STREQ(calTable[0].name, "HS 10.0V PSlope");  // the table itself is never cut
    EXPECT_STREQ(meterName, "METER-ID,A1,0,1-2-3\n");
    meterName[0] = '\0';  // the program-wide values as they start
    for (float& value : calValues) value = 0.0f;
}

TEST(ReportTestResults, EveryFinishedRowBeforeTheClosingStepsThenTheDevicesClosed) {
    std::vector<std::string> texts;
    for (int i = 0; i < 32; ++i) texts.push_back("Step " + std::to_string(i) + " : Passed : ok");
    const auto joined = [&texts](int count) {
        std::string rows;
        for (int i = 0; i < count; ++i) rows += (i ? ";" : "") + texts[i];
        return rows;
    };
    struct Case {
        const char* what;
        std::uint32_t flags;
        int finished;  // rows 0 to finished - 1 have their summary
        const char* keyword;
        int sent;
    } const cases[] = {
        {"a calibration station with the jig", flags::kDefault, 31, "test", 30},
        {"without the jig", flags::kDefault & ~flags::kTestJig, 31, "qtest", 30},
        {"not a calibration station", flags::kDefault & ~flags::kCalStation, 31, "test", 31},
        {"Fatal at row 4, the rest skipped", flags::kDefault, 5, "test", 5},
    };
    for (const Case& c : cases) {
        Station station(c.flags);
        testing_support::ModelDevice device;
        station.context.handle = station.context.usbHandle = device.handle;
        station.context.testCount = 32;
        for (int i = 0; i < c.finished; ++i) station.context.summaryRows[i] = texts[i].c_str();
        station.server.expect(std::string(c.keyword) + " 0x" + kDeviceId + " {" + joined(c.sent) + "}\r\n", "200\r\n");

        EXPECT_EQ(reportTestResultsStep(&station.context), 0) << c.what;
        EXPECT_EQ(station.context.resultState, Passed) << c.what;
        EXPECT_EQ(std::string(station.context.details), "Sent " + std::to_string(c.sent) + " results. ") << c.what;
        double version = 0;
        EXPECT_NE(DQM_eReadAddress(device.handle, 60004, 3, &version), DQM_OK) << c.what << ": closed";
    }
}

TEST(ReportTestResults, AFailedReportIsFatalAndLeavesTheDevicesOpen) {
    Station station;
    testing_support::ModelDevice device;
    station.context.handle = device.handle;
    station.context.testCount = 1;
    station.server.expect(std::string("test 0x") + kDeviceId + " {}\r\n", "503\r\n");
    EXPECT_EQ(reportTestResultsStep(&station.context), 1);
    EXPECT_EQ(station.context.resultState, Fatal);
    EXPECT_STREQ(station.context.details, "Comm Error: (503)");
    double version = 0;
    EXPECT_EQ(DQM_eReadAddress(device.handle, 60004, 3, &version), DQM_OK);
}

}  // namespace
