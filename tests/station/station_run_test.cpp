// Whole station runs in process, against scenario devices.
#include "support/station_run.h"

#include <gtest/gtest.h>

namespace {

using testing_support::runStation;

TEST(StationRun, DefaultRunOfAllStepsEndsWithTheResultReport) {
    for (const char* scenario : {"healthy-pro", "healthy"}) {
        const testing_support::StationRun run = runStation(scenario);
        ASSERT_EQ(run.rows.size(), 32u) << scenario;
        EXPECT_EQ(run.row("DQtestZ6 Version").state, Passed);
        EXPECT_EQ(run.rows.back().name, "Report Test Results");
        EXPECT_EQ(run.rows.back().state, Passed) << run.rows.back().details;
        EXPECT_EQ(run.overallResult, "** Failed **");  // steps not built yet report Error
        EXPECT_NE(run.console.find("Overall Result:           ** Failed **"), std::string::npos);
    }
}

TEST(StationRun, AlternatePlanRunsItsFourRows) {
    const testing_support::StationRun run = runStation("healthy", {flags::kAlternatePlan, {}, {}});
    ASSERT_EQ(run.rows.size(), 4u);
    EXPECT_EQ(run.rows[3].name, "Analog Test");
}

}  // namespace
