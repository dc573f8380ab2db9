// Analog-input set-up values the hardware steps share (see configureAin).
#pragma once

#include <cstdint>

namespace ain {

constexpr std::int32_t kSingleEnded = 199;  // negative channel: ground

// Range indexes.
constexpr std::int32_t kRange10V = 0;
constexpr std::int32_t kRange1V = 1;
constexpr std::int32_t kRange100mV = 2;
constexpr std::int32_t kRange10mV = 3;

constexpr std::int32_t kResolution = 8;  // the resolution index the function tests use

// The float register holding a channel's reading in volts.
constexpr std::int32_t voltsRegister(std::int32_t channel) { return 2 * channel; }

}  // namespace ain
