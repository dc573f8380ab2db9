// How steps report the outcomes they share.
#pragma once

#include "sequencer/test_context.h"

#include <cstdint>

// A device transaction the step depends on failed: resultState Fatal and
// details "Comm Error: (code)". Returns 1, the step's give-up value.
std::int32_t failCommError(TestContext* context, std::int32_t code);
