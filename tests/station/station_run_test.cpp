// Whole station runs in process, against scenario devices.
#include "support/station_run.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using testing_support::runStation;

TEST(StationRun, DefaultRunOfAllStepsTakesFarLessThanASecond) {
    for (const char* scenario : {"healthy-pro", "healthy"}) {
        const auto start = std::chrono::steady_clock::now();
        const testing_support::StationRun run = runStation(scenario);
        const auto realMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(run.rows.size(), 32u) << scenario;
        EXPECT_EQ(run.row("DQtestZ6 Version").state, Passed);
        EXPECT_EQ(run.rows.back().name, "Report Test Results");
        EXPECT_EQ(run.rows.back().state, Error);  // not built yet: never Passed
        EXPECT_EQ(run.overallResult, "** Failed **");
        EXPECT_NE(run.console.find("Overall Result:           ** Failed **"), std::string::npos);
        EXPECT_LT(realMs, 1000) << scenario;
    }
}

TEST(StationRun, AlternatePlanRunsItsFourRows) {
    const testing_support::StationRun run = runStation("healthy", {flags::kAlternatePlan, {}, {}});
    ASSERT_EQ(run.rows.size(), 4u);
    EXPECT_EQ(run.rows[3].name, "Analog Test");
}

}  // namespace
