#pragma once

#include <cstdint>

// The outcome of one step, as the results table shows it.
enum ResultState : std::int32_t {
    NotYetRun = 0,
    Running = 1,
    Passed = 2,
    Warning = 3,
    Error = 4,
    Fatal = 5,
    Skipped = 6,
};

// The display text of a state: "-", "Running", "Passed", ... An unknown value
// shows as "?".
const char* resultStateText(ResultState state);
