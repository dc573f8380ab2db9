// The station-flag word: one 32-bit set of mode bits, fixed at start, that
// selects the plan rows and changes what several steps do.
#pragma once

#include <cstdint>

namespace flags {

// Set on every station; nothing reads it.
constexpr std::uint32_t kBase = 0x1;
// Startup DAQ Settings switches a non-factory device to factory settings
// (clear: only reports it).
constexpr std::uint32_t kRestoreFactorySettings = 0x20;
// Serial Number gives a device with the default serial a new one from the
// test server (clear: Warning).
constexpr std::uint32_t kAssignSerial = 0x40;
// Calibration station: calibration rows, stricter version and supply limits,
// narrower temperature window; Update Calibration Log becomes the final step.
constexpr std::uint32_t kCalStation = 0x80;
// Ethernet MAC gives a device with the default MAC a new one from the test
// server (clear: Warning).
constexpr std::uint32_t kAssignMac = 0x100;
// Use the alternate plan.
constexpr std::uint32_t kAlternatePlan = 0x400;
// System Time also sets the device's clock and reads it back.
constexpr std::uint32_t kSetClock = 0x1000;
// The factory test server is in use.
constexpr std::uint32_t kTestServer = 0x10000;
// The device sits in the test jig.
constexpr std::uint32_t kTestJig = 0x20000;
// Full function test: Self Diagnostic, Vs and Current, Reset and the common rows.
constexpr std::uint32_t kFunctionTest = 0x40000;
// Web-page station: Load web pages, DIO Short Test without a jig, the common
// rows; the Ethernet test waits before connecting and checks by register reads.
constexpr std::uint32_t kWebPageStation = 0x800000;

// The flags every station starts with.
constexpr std::uint32_t kDefault = 0x711E1;

}  // namespace flags
