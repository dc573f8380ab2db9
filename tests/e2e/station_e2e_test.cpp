// dqtest as the operator starts it, against a z6sim on the USB bus.
#include "harness.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(StationEndToEnd, DefaultRunAgainstAHealthyProDevice) {
    testing_support::TempDir bus("bus"), state("state"), station("station");
    e2e::Z6Sim sim(bus.path(), state.path());
    ASSERT_TRUE(sim.ready()) << sim.output();
    const e2e::StationResult result = e2e::runStation(station.path(), bus.path(), sim.port(), std::chrono::seconds(120));
    ASSERT_EQ(result.exitStatus, 0) << result.console.substr(0, 2000);
    ASSERT_EQ(result.rows.size(), 32u) << result.console;
    EXPECT_EQ(result.rows[0].name, "DQtestZ6 Version");
    EXPECT_EQ(result.rows[0].state, Passed);
    EXPECT_EQ(result.rows[0].details.rfind("DQtestZ6 1.22, DQM ", 0), 0u);
    EXPECT_EQ(result.rows[31].name, "Report Test Results");
    EXPECT_NE(result.overallResult, "");
}

}  // namespace
