// Which rows a station runs, for the station-flag sets that matter.
#include "sequencer/station_flags.h"
#include "sequencer/test_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kDefaultList = {
    "DQtestZ6 Version", "Open Daqora", "Firmware Version", "Hardware Version",
    "Read Config File", "Connect to DQTest Server", "Read Test Jig Info", "Self Diagnostic",
    "Check SD Card", "Load Recovery Image", "Recovery Version", "Serial Number",
    "Ethernet MAC", "Check Calibration", "Vs and Current", "Vmux",
    "System Time", "Startup DAQ Settings", "Device Name", "Temperature Sensor",
    "DIO Jig Test", "DAC Test", "WiFi Test", "Ethernet test",
    "AIn Noise (16b counts)", "Calibrate", "Reset", "Test AIn Accuracy",
    "Save Manufacturing Info", "Report Calibraion", "Update Calibration Log", "Report Test Results",
};

struct BuiltList {
    std::vector<std::string> names;
    std::int32_t finalStepIndex;
    const char* versionText;
};

BuiltList build(std::uint32_t stationFlags) {
    auto context = std::make_unique<TestContext>();
    context->stationFlags = stationFlags;
    auto records = std::make_unique<TestRecord[]>(kMaxTestRecords);
    const char* versionText = nullptr;
    EXPECT_EQ(GetTestList(context.get(), records.get(), &versionText), 0);
    BuiltList list{{}, context->finalStepIndex, versionText};
    for (int i = 0; i < context->testCount; ++i) {
        EXPECT_EQ(records[i].state, NotYetRun);
        EXPECT_STREQ(records[i].details, "");
        EXPECT_NE(records[i].function, nullptr);
        list.names.push_back(records[i].name);
    }
    return list;
}

bool contains(const BuiltList& list, const char* name) {
    return std::find(list.names.begin(), list.names.end(), name) != list.names.end();
}

TEST(GetTestList, DefaultStationRuns32StepsEndingWithTheCalibrationLog) {
    const BuiltList list = build(flags::kDefault);
    EXPECT_EQ(list.names, kDefaultList);
    EXPECT_EQ(list.finalStepIndex, 30);
    EXPECT_STREQ(list.versionText, "DQtestZ6 1.22");
}

TEST(GetTestList, FlagSets) {
    const std::uint32_t noCal = flags::kDefault & ~flags::kCalStation;
    struct Case {
        std::uint32_t flags;
        std::size_t count;
        std::int32_t finalStepIndex;  // kNoFinalStep when the list has none
        std::vector<const char*> present;
        std::vector<const char*> absent;
    } cases[] = {
        {noCal, 27, 26, {"Report Test Results"},
         {"Load Recovery Image", "Calibrate", "Save Manufacturing Info", "Report Calibraion", "Update Calibration Log"}},
        {flags::kDefault | flags::kWebPageStation, 33, 31, {"Load web pages"}, {"DIO Short Test"}},
        {flags::kWebPageStation, 19, kNoFinalStep, {"Load web pages", "DIO Short Test", "Ethernet test"},
         {"Report Test Results", "Read Test Jig Info", "Self Diagnostic"}},
        {flags::kTestServer, 2, 1, {"Connect to DQTest Server", "Report Test Results"}, {"DQtestZ6 Version"}},
        {flags::kTestJig | flags::kCalStation, 9, 8, {"Read Test Jig Info", "Calibrate", "Update Calibration Log"},
         {"Report Calibraion", "Open Daqora"}},
        {0, 0, kNoFinalStep, {}, {"DQtestZ6 Version"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << "flags 0x" << c.flags);
        const BuiltList list = build(c.flags);
        EXPECT_EQ(list.names.size(), c.count);
        for (const char* name : c.present) EXPECT_TRUE(contains(list, name)) << name;
        for (const char* name : c.absent) EXPECT_FALSE(contains(list, name)) << name;
        if (c.finalStepIndex == kNoFinalStep) {
            EXPECT_EQ(list.finalStepIndex, kNoFinalStep);
        } else {
            ASSERT_LT(static_cast<std::size_t>(c.finalStepIndex), list.names.size());
            EXPECT_EQ(list.names[c.finalStepIndex],
                      (c.flags & flags::kCalStation) ? "Update Calibration Log" : "Report Test Results");
        }
    }
}

TEST(GetTestList, AlternatePlanWhateverElseIsSet) {
    for (std::uint32_t stationFlags : {flags::kAlternatePlan, flags::kDefault | flags::kAlternatePlan, 0xFFFFFFFFu}) {
        const BuiltList list = build(stationFlags);
        EXPECT_EQ(list.names, (std::vector<std::string>{"DQtestZ6 Version", "Open Daqora", "Test DIO Operation", "Analog Test"}));
        EXPECT_EQ(list.finalStepIndex, kNoFinalStep);
    }
}

TEST(PlanRowSelected, AnyOrAllOfTheRequiredBits) {
    struct Case {
        std::uint32_t required, excluded, stationFlags;
        bool selected;
    } cases[] = {
        {0x840000, 0, 0x040000, true},            // any one bit suffices
        {0x40020080, 0, 0x20000, false},          // all bits needed
        {0x40020080, 0, 0x200A0, true},
        {0x800000, 0x20000, 0x820000, false},     // excluded bit removes the row
        {kRequireAll, 0, 0, true},                // needs nothing: every station
        {kRequireAll, 0, 0x711E1, true},
        {0, 0, 0xFFFFFFFF, false},                // needs any of nothing: no station
        {0x1000000, 0, 0x1000000, false},         // bits above 23 are not flag bits
    };
    for (const Case& c : cases)
        EXPECT_EQ(planRowSelected(c.required, c.excluded, c.stationFlags), c.selected)
            << std::hex << c.required << " " << c.excluded << " " << c.stationFlags;
}

}  // namespace
