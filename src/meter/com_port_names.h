// The station's COM port names, built before the entry point runs. The
// bench meter is always on entry 0; the others are there and never used.
#pragma once

#include <cstddef>
#include <string>

inline constexpr std::size_t kComPortCount = 8;

// "COM1", then "COM2:" to "COM8:" (the first without a colon).
extern const std::wstring comPortNames[kComPortCount];
