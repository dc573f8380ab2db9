// Result and calibration reports: what is split out of a body, and that the
// body itself is kept exactly as received.
#include "report_line.h"
#include "server_fixture.h"

#include <cmath>

namespace testserver_testing {
namespace {

using testserver::parseCalPoints;
using testserver::parseReportLine;
using testserver::splitRows;

TEST(ReportLine, BodyLiesBetweenTheFirstBraceAndTheFinalOne) {
    const auto parsed = parseReportLine("test 0x000000001c03c892 {a {b} ;c}}", "test");
    ASSERT_TRUE(parsed.report) << parsed.error;
    EXPECT_EQ(parsed.report->deviceId, 0x1C03C892u);
    EXPECT_EQ(parsed.report->body, "a {b} ;c}");
    EXPECT_EQ(splitRows(parsed.report->body), (std::vector<std::string>{"a {b} ", "c}"}));
    EXPECT_TRUE(splitRows("").empty());
    EXPECT_EQ(splitRows(";"), (std::vector<std::string>{"", ""}));
}

struct PointCase {
    const char* entry;
    const char* name;
    std::optional<double> value;  // NaN compares by isnan
    const char* text;
};

const double kNan = std::nan("");

const PointCase kPoints[] = {
    {"HS 10.0V PSlope:0.000315806", "HS 10.0V PSlope", 0.000315806, "0.000315806"},
    {"DAC0 Slope:1.500000000", "DAC0 Slope", 1.5, "1.500000000"},
    {"HR Offset:-2.250000000", "HR Offset", -2.25, "-2.250000000"},
    {"HR 10V PSlope:nan", "HR 10V PSlope", kNan, "nan"},
    {"HR 10V NSlope:-nan", "HR 10V NSlope", kNan, "-nan"},
    {"HR Gain:inf", "HR Gain", INFINITY, "inf"},
    {"A:B:2.0", "A:B", 2.0, "2.0"},
    {"Meter Name: HP 34401A", "Meter Name", std::nullopt, "HP 34401A"},
    {"Meter Serial: 12:5", "Meter Serial", std::nullopt, "12:5"},
    {"Meter Serial: ", "Meter Serial", std::nullopt, ""},
    {"Gain:1.0V", "Gain", std::nullopt, "1.0V"},
    {"Gain:", "Gain", std::nullopt, ""},
    {"no colon at all", "", std::nullopt, "no colon at all"},
};

TEST(CalPoints, SplitAtTheLastColonWhenANumberFollows) {
    for (const PointCase& c : kPoints) {
        SCOPED_TRACE(c.entry);
        const std::vector<testserver::CalPoint> points = parseCalPoints(c.entry);
        ASSERT_EQ(points.size(), 1u);
        EXPECT_EQ(points[0].name, c.name);
        EXPECT_EQ(points[0].text, c.text);
        ASSERT_EQ(points[0].value.has_value(), c.value.has_value());
        if (c.value && std::isnan(*c.value)) {
            EXPECT_TRUE(std::isnan(*points[0].value));
        } else if (c.value) {
            EXPECT_EQ(*points[0].value, *c.value);
        }
    }
}

class StoredReportTest : public ServerTest {};

TEST_F(StoredReportTest, KeptLosslesslyUnderTheDeviceId) {
    start();
    LineClient client = loggedIn();
    const std::string run = "Open Daqora : Passed : Daqora Z6-Pro Found;Note : Passed : a;b}c;Empty : Passed : ";
    const std::string cal = "HS 10.0V PSlope:0.000315806;HR 10V PSlope:-nan;Meter Name: HP;34401A};Meter Serial: ";
    EXPECT_EQ(client.exchange(std::string("test ") + kDevice + " {" + run + "}"), "200");
    EXPECT_EQ(client.exchange(std::string("qtest ") + kDevice + " {}"), "200");
    EXPECT_EQ(client.exchange(std::string("cal ") + kDevice + " {" + cal + "}"), "200");

    const testserver::History history = testserver::readHistory(database(), kFirstSerial);
    ASSERT_EQ(history.runs.size(), 2u);
    EXPECT_EQ(history.runs[0].kind, "qtest");  // newest first
    EXPECT_EQ(history.runs[0].raw, "");
    EXPECT_TRUE(history.runs[0].rows.empty());
    EXPECT_EQ(history.runs[1].kind, "test");
    EXPECT_EQ(history.runs[1].raw, run);
    EXPECT_EQ(history.runs[1].stationId, 0x1702u);
    EXPECT_EQ(history.runs[1].peer.rfind("127.0.0.1:", 0), 0u);
    ASSERT_EQ(history.runs[1].rows.size(), 4u);
    EXPECT_EQ(history.runs[1].rows[2].text, "b}c");
    EXPECT_EQ(history.runs[1].rows[3].text, "Empty : Passed : ");

    ASSERT_EQ(history.calibrations.size(), 1u);
    const testserver::Calibration& stored = history.calibrations[0];
    EXPECT_EQ(stored.raw, cal);
    ASSERT_EQ(stored.points.size(), 5u);
    EXPECT_EQ(stored.points[0].value, 0.000315806);
    ASSERT_TRUE(stored.points[1].value.has_value());  // NaN survives the database
    EXPECT_TRUE(std::isnan(*stored.points[1].value));
    EXPECT_EQ(stored.points[1].text, "-nan");
    EXPECT_EQ(stored.points[2].text, "HP");
    EXPECT_EQ(stored.points[3].text, "34401A}");
    EXPECT_EQ(stored.points[4].name, "Meter Serial");

    EXPECT_TRUE(testserver::readHistory(database(), kFirstSerial + 1).runs.empty());
}

}  // namespace
}  // namespace testserver_testing
