// The two test plans and the list builder that picks rows by station flags.
#pragma once

#include "sequencer/test_suite.h"

#include <cstdint>

constexpr double kProgramVersion = 1.22;

// A plan row's requiredMask: the station-flag bits (0-23) it needs, and
// whether it needs all of them or any one.
constexpr std::uint32_t kRequireAll = 0x40000000;
constexpr std::uint32_t kFlagBitsMask = 0x00FFFFFF;

struct TestPlanEntry {
    const char* name;
    std::int32_t kind;        // 2 in every row; selection ignores it
    TestFunction function;    // null ends the plan
    std::uint32_t requiredMask;
    std::uint32_t excludedMask;
};

extern const TestPlanEntry primaryPlan[];
extern const TestPlanEntry alternatePlan[];

// "DQtestZ6 1.22", built by GetTestList; lives for the whole run.
extern char programVersionText[256];

// Keeps the rows of the plan the station flags select, marks the final
// reporting step and points versionText at programVersionText. Returns 0.
std::int32_t GetTestList(TestContext* context, TestRecord* records, const char** versionText);

// True when a row with these masks belongs to a station with these flags.
bool planRowSelected(std::uint32_t requiredMask, std::uint32_t excludedMask, std::uint32_t stationFlags);
