#include "sequencer/result_state.h"

namespace {
constexpr const char* kStateTexts[] = {"-", "Running", "Passed", "Warning", "Error", "Fatal", "Skipped"};
constexpr int kStateCount = static_cast<int>(sizeof kStateTexts / sizeof kStateTexts[0]);
}  // namespace

const char* resultStateText(ResultState state) {
    const int index = static_cast<int>(state);
    return index >= 0 && index < kStateCount ? kStateTexts[index] : "?";
}
