// The program as the operator sees it, with the station's default flags.
#include "sequencer/entry.h"
#include "support/recording_console.h"
#include "support/scoped_clock.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int countOf(const std::string& haystack, const std::string& needle) {
    int n = 0;
    for (std::size_t at = 0; (at = haystack.find(needle, at)) != std::string::npos; at += needle.size()) ++n;
    return n;
}

TEST(Entry, ShowsTheLibraryVersionRunsThePlanAndWaitsForEnter) {
    testing_support::ScopedClock<> clock;
    testing_support::RecordingConsole console("\nleft over");
    EXPECT_EQ(dqtestMain(), 0);
    const std::string& out = console.output();

    double version = 0.0;
    ASSERT_EQ(DQM_ReadLibraryConfigS("DQM_LIBRARY_VERSION", &version), DQM_OK);
    char expectedFirst[64];
    std::snprintf(expectedFirst, sizeof expectedFirst, "DQM Version = %f\r\n\r\n\r\n", version);
    EXPECT_EQ(out.rfind(expectedFirst, 0), 0u) << out.substr(0, 40);

    EXPECT_EQ(console.windowX, 0);
    EXPECT_EQ(console.windowY, 0);
    EXPECT_EQ(console.windowWidth, 840);
    EXPECT_EQ(console.windowHeight, 680);

    char versionRow[128];
    std::snprintf(versionRow, sizeof versionRow, " DQtestZ6 Version            Passed      DQtestZ6 1.22, DQM %0.04f\r\n", version);
    const std::size_t lastTable = out.rfind("-TEST-");
    ASSERT_NE(lastTable, std::string::npos);
    const std::string finalTable = out.substr(lastTable);
    EXPECT_EQ(finalTable.find(versionRow), finalTable.find("\r\n") + 2);
    // Without a device the run fails, but every row either runs or is
    // skipped after a Fatal result, up to the end.
    const int skipped = countOf(finalTable, "Skipped     Skipped\r\n");
    EXPECT_EQ(countOf(out, "Running Test\r\n") + skipped, 32);
    EXPECT_NE(out.find("Overall Result:           ** Failed **"), std::string::npos);

    EXPECT_EQ(out.size() - out.rfind("Press Enter key to contine"), std::string("Press Enter key to contine").size());
    EXPECT_EQ(console.reads(), 1);  // one character: the Enter key
}

TEST(Entry, EndOfInputEndsTheWait) {
    testing_support::ScopedClock<> clock;
    testing_support::RecordingConsole console("");
    EXPECT_EQ(dqtestMain(), 0);
    EXPECT_EQ(console.reads(), 1);
}

}  // namespace
