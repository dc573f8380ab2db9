// Analog-input set-up values the hardware steps share (see configureAin).
#pragma once

#include "device/registers.h"

#include <cstdint>

namespace ain {

constexpr std::int32_t kSingleEnded = 199;  // negative channel: ground

// Range indexes.
constexpr std::int32_t kRange10V = 0;
constexpr std::int32_t kRange1V = 1;
constexpr std::int32_t kRange100mV = 2;
constexpr std::int32_t kRange10mV = 3;

constexpr std::int32_t kResolution = 8;  // the resolution index the function tests use

// A channel against ground on the +-10 V range, as most function tests
// measure. Returns the transaction's code.
inline std::int32_t configureSingleEnded(std::int32_t handle, std::int32_t channel, std::int32_t settling) {
    return configureAin(handle, channel, kRange10V, kResolution, kSingleEnded, settling);
}

// The float register holding a channel's reading in volts.
constexpr std::int32_t voltsRegister(std::int32_t channel) { return 2 * channel; }

}  // namespace ain
