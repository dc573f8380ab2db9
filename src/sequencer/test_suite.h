// The test runner: the list of steps, the context they share, the summary
// lines and the overall result, and the table printed before every step.
#pragma once

#include "sequencer/result_state.h"
#include "sequencer/test_context.h"

#include <cstddef>
#include <cstdint>

constexpr std::size_t kRowTextSize = 200;  // row details, summary lines, overall result

struct TestRecord {
    const char* name = nullptr;  // the plan row's step name; not owned
    ResultState state = NotYetRun;
    char details[kRowTextSize] = {};
    TestFunction function = nullptr;
};

// Fills records, testCount, finalStepIndex and the version text from the
// station flags in context. Returns 0.
using PlanBuilder = std::int32_t (*)(TestContext* context, TestRecord* records, const char** versionText);

struct PlanProvider {
    std::int32_t kind;
    PlanBuilder builder;  // null ends the table
};

// The station's list builders; init uses the first of kind kPlanKind.
extern const PlanProvider planProviders[];
constexpr std::int32_t kPlanKind = 2;

// finalStepIndex when the list has no final reporting step.
constexpr std::int32_t kNoFinalStep = 0x10000000;

struct TestSuite {
    TestContext context;
    TestRecord records[kMaxTestRecords];
    char summaryTexts[kMaxTestRecords][kRowTextSize] = {};
    char overallResult[kRowTextSize] = {};
    const char* versionText = nullptr;

    // Sets the station flags, builds the list and prints the first table.
    void init(std::uint32_t stationFlags, const PlanProvider* providers = planProviders);
    void init();
    // Runs the steps in order, applying the Fatal rule. Returns 0.
    std::int32_t run();
    void printTable() const;
    void updateSummary(int row);
};
