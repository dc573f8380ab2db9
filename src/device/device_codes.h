// The station's own codes for device requests it refuses before sending.
// They stay below 100, apart from every code the device library returns.
#pragma once

#include <cstdint>

namespace device {

// flashWrite of an odd length; flashUpdate of a range that leaves its page.
constexpr std::int32_t kFlashRefused = 1;
// A Modbus-feedback request that would not fit in its 1536-byte buffer.
constexpr std::int32_t kRequestTooLarge = 2;
// An operation the wire cannot carry: a register count outside 0 to 255, or
// data to write or read through a view that is not set.
constexpr std::int32_t kBadOperation = 3;
// configureAin with a range index outside 0 to 3.
constexpr std::int32_t kBadRangeIndex = 4;

}  // namespace device
