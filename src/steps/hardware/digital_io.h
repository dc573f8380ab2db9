// The device's 23 digital lines as the digital I/O steps reach them: four
// ports of 8, 8, 4 and 3 lines, each with a state, a direction and a
// write-inhibit register, and one register per line.
#pragma once

#include "device/mbfb.h"

#include <cstdint>

namespace dio {

constexpr int kPorts = 4;
constexpr int kLines = 23;
constexpr std::uint32_t kAllLines = 0x7FFFFF;  // bit i: line i
constexpr std::uint32_t kPortWidthMask[kPorts] = {0xFF, 0xFF, 0x0F, 0x07};

// Port p's registers are base + p. State: written, the output levels; read,
// the levels on the lines. Direction: 1 output, 0 input (an input reads high
// unless something pulls it low). Write-inhibit: lines whose bit is 1 keep
// their state and direction when the port's state or direction is written.
constexpr std::int32_t kState = 2500;
constexpr std::int32_t kDirection = 2600;
constexpr std::int32_t kWriteInhibit = 2700;
// Writing 0 to kLine + i makes line i an output and drives it low.
constexpr std::int32_t kLine = 2000;

// All four state registers in one read: two bytes per port, high byte first.
inline MbfbOperation readAllStates() { return MbfbOperation::read(kState, kPorts, kMbfbBytes); }
// The byte that carries port p's lines in such a read.
inline std::uint32_t portLevels(const MbfbOperation& allStates, int port) { return allStates.data[2 * port + 1]; }

}  // namespace dio
