// The runner's rules: order, the Fatal rule, the overall verdict, what a row
// shows after its step and the summary lines.
#include "sequencer/test_suite.h"
#include "support/recording_console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

namespace {

std::int32_t report(TestContext* context, ResultState state, const char* details) {
    context->resultState = state;
    text::copy(context->details, details);
    return 0;
}
std::int32_t passStep(TestContext* c) { return report(c, Passed, "passed here"); }
std::int32_t warningStep(TestContext* c) { return report(c, Warning, "warned here"); }
std::int32_t errorStep(TestContext* c) { return report(c, Error, "erred here"); }
std::int32_t fatalStep(TestContext* c) { return report(c, Fatal, "fatal here"); }
std::int32_t silentStep(TestContext*) { return 1; }

TestFunction stepFor(char letter) {
    switch (letter) {
        case 'P': return passStep;
        case 'W': return warningStep;
        case 'E': return errorStep;
        case 'F': return fatalStep;
        default: return silentStep;
    }
}

// The list a case runs: one letter per row (P pass, W warning, E error,
// F fatal, S sets nothing).
std::string g_rows;
std::int32_t g_finalStepIndex;

std::int32_t buildScriptedList(TestContext* context, TestRecord* records, const char** versionText) {
    for (std::size_t i = 0; i < g_rows.size(); ++i) {
        records[i].name = "step";
        records[i].function = stepFor(g_rows[i]);
    }
    context->testCount = static_cast<std::int32_t>(g_rows.size());
    context->finalStepIndex = g_finalStepIndex;
    *versionText = "DQtestZ6 1.22";
    return 0;
}

std::int32_t wrongKindBuilder(TestContext*, TestRecord*, const char**) {
    ADD_FAILURE() << "init used a builder of another kind";
    return 0;
}

// init takes the first builder of kind 2, not the first entry.
const PlanProvider kScriptedProviders[] = {{1, wrongKindBuilder}, {kPlanKind, buildScriptedList}, {0, nullptr}};

char letterOf(ResultState state) {
    switch (state) {
        case NotYetRun: return '-';
        case Passed: return 'P';
        case Warning: return 'W';
        case Error: return 'E';
        case Fatal: return 'F';
        case Skipped: return 'K';
        default: return '?';
    }
}

struct RunnerCase {
    const char* what;
    const char* rows;
    std::int32_t finalStepIndex;
    const char* states;  // expected row states after the run; K = Skipped
    const char* overall;
};

const RunnerCase kCases[] = {
    {"all pass", "PPPP", 3, "PPPP", "** Passed **"},
    {"empty list", "", kNoFinalStep, "", "** Passed **"},
    {"fatal in row 0 ends the run", "FPPPP", 4, "F----", "** Failed **"},
    {"fatal in row 2 ends the run", "PPFPPP", 5, "PPF---", "** Failed **"},
    {"fatal later skips to the final step", "PPPFPPPP", 6, "PPPFKKPP", "** Failed **"},
    {"rows after the final step run too", "PPPPFPPPP", 6, "PPPPFKPPP", "** Failed **"},
    {"fatal just before the final step", "PPPPFP", 5, "PPPPFP", "** Failed **"},
    {"fatal in the final row", "PPPPPF", 5, "PPPPPF", "** Failed **"},
    {"fatal with no final step skips the rest", "PPPPFPP", kNoFinalStep, "PPPPFKK", "** Failed **"},
    {"warning fails the run but it continues", "PWPP", 3, "PWPP", "** Failed **"},
    {"error fails the run but it continues", "PEPP", 3, "PEPP", "** Failed **"},
    {"a silent step shows the previous state", "PWSP", 3, "PWWP", "** Failed **"},
    {"a silent step after a pass passes", "PSP", 2, "PPP", "** Passed **"},
    {"a silent first step is never Passed", "SP", 1, "-P", "** Failed **"},
};

// Shown by name in test listings rather than as raw bytes.
void PrintTo(const RunnerCase& c, std::ostream* out) { *out << c.what; }

class RunnerRules : public ::testing::TestWithParam<RunnerCase> {};

TEST_P(RunnerRules, RowsAndOverallResult) {
    const RunnerCase& c = GetParam();
    testing_support::RecordingConsole console;
    g_rows = c.rows;
    g_finalStepIndex = c.finalStepIndex;
    auto suite = std::make_unique<TestSuite>();
    suite->init(0x711E1, kScriptedProviders);
    EXPECT_STREQ(suite->overallResult, "Not yet run");
    suite->run();

    const std::string rows = c.rows;
    std::string states;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TestRecord& record = suite->records[i];
        states += letterOf(record.state);
        // A row that ran has a summary line; skipped rows have none.
        if (record.state == Skipped) {
            EXPECT_EQ(suite->context.summaryRows[i], nullptr) << "row " << i;
            EXPECT_STREQ(record.details, "Skipped");
        } else if (record.state == NotYetRun) {
            EXPECT_STREQ(record.details, "");
        } else {
            EXPECT_NE(suite->context.summaryRows[i], nullptr) << "row " << i;
        }
    }
    EXPECT_EQ(states, c.states);
    EXPECT_STREQ(suite->overallResult, c.overall);

    // One table at init, one before each step and one at the end.
    const auto count = [&](const char* what) {
        int n = 0;
        for (std::size_t at = 0; (at = console.output().find(what, at)) != std::string::npos; ++at) ++n;
        return n;
    };
    EXPECT_EQ(count("-TEST-"), 2 + count("Running Test\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Cases, RunnerRules, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RunnerCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST(Runner, ASilentStepIsRecordedWithThePreviousStepsDetails) {
    testing_support::RecordingConsole console;
    g_rows = "WS";
    g_finalStepIndex = kNoFinalStep;
    auto suite = std::make_unique<TestSuite>();
    suite->init(0x711E1, kScriptedProviders);
    suite->run();
    EXPECT_STREQ(suite->records[1].details, "warned here");
    EXPECT_STREQ(suite->context.summaryRows[1], "step : Warning : warned here");
}

TEST(Runner, ShowsTheRunningTextAndFramesEachStep) {
    testing_support::RecordingConsole console;
    g_rows = "P";
    g_finalStepIndex = 0;
    auto suite = std::make_unique<TestSuite>();
    suite->init(0x711E1, kScriptedProviders);
    console.clear();
    suite->run();
    const std::string& out = console.output();
    // The table is printed as the row starts, before the runner gives it its
    // while-running text.
    EXPECT_NE(out.find(" step                        Running     \r\n"), std::string::npos);
    EXPECT_NE(out.find("Overall Result:           ** In Progress **"), std::string::npos);
    const auto running = out.find("Running Test\r\nTest Complete\r\n");
    ASSERT_NE(running, std::string::npos);
    EXPECT_NE(out.find(" step                        Passed      passed here\r\n", running), std::string::npos);
}

TEST(Runner, SummaryLinesAreNameStateAndDetailsCutTo199) {
    auto suite = std::make_unique<TestSuite>();
    suite->records[0].name = "Firmware Version";
    suite->records[0].state = Passed;
    text::copy(suite->records[0].details, "FW 1.0300, BL 0.9400");
    suite->updateSummary(0);
    EXPECT_STREQ(suite->context.summaryRows[0], "Firmware Version : Passed : FW 1.0300, BL 0.9400");

    suite->records[1].name = "Serial Number";
    suite->records[1].state = Error;
    text::copy(suite->records[1].details, std::string(300, 'd').c_str());
    suite->updateSummary(1);
    const std::string line = suite->context.summaryRows[1];
    EXPECT_EQ(line.size(), 199u);
    EXPECT_EQ(line.substr(0, 25), "Serial Number : Error : d");
}

}  // namespace
