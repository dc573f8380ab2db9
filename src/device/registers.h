// Typed single-register reads and writes, and analog-input set-up. Each
// returns the device library's code unchanged (0 for success); reporting is
// the caller's.
#pragma once

#include <cstdint>

std::int32_t writeU16(std::int32_t handle, std::int32_t address, std::uint16_t value);
std::int32_t writeU32(std::int32_t handle, std::int32_t address, std::uint32_t value);
std::int32_t writeF32(std::int32_t handle, std::int32_t address, float value);
std::int32_t readF32(std::int32_t handle, std::int32_t address, float* value);

// Reads a 32-bit register through the library's address read; the fraction
// of the double it returns is dropped.
std::int32_t readAddressU32(std::int32_t handle, std::int32_t address, std::uint32_t* value);

// Digital line 5 alone (register 2005): 0 or 1.
std::int32_t writeReg2005(std::int32_t handle, std::int32_t value);

// Sets range, resolution, settling and negative channel of one analog input
// in one transaction. rangeIndex 0 to 3 selects +-9.9, 0.9, 0.09 or 0.009 V;
// any other index is refused with device::kBadRangeIndex and nothing is sent.
std::int32_t configureAin(std::int32_t handle, std::int32_t channel, std::int32_t rangeIndex,
                          std::int32_t resolutionIndex, std::int32_t negativeChannel, std::int32_t settling);

float absF32(float value);
double absF64(double value);
