// The electrical model of a Z6 in its test jig, in one place: the device's
// converter, DACs, digital lines, sources and sensors as they really are (a
// calibration brings the device's readings close to these), and what the
// jig connects to each analog input and to the digital lines. The jig's own
// values (dividers, resistors, temperature) are the scenario's.
#pragma once

#include <cstdint>
#include <iterator>

namespace z6::electrical {

// ---- Analog inputs --------------------------------------------------------

inline constexpr int kAnalogChannels = 16;
inline constexpr std::uint16_t kGroundNegative = 199;  // negative channel of a single-ended input

// Input ranges by gain index: +-10, 1, 0.1 and 0.01 V. The device takes the
// range register as the largest reading it must hold and picks the smallest
// range that holds it; 0 (the start-up value) selects the largest.
inline constexpr int kGains = 4;
inline constexpr double kRangeLimitVolts[kGains] = {10.0, 1.0, 0.1, 0.01};

// The converter's real transfer, per gain. A count is a raw reading / 256:
// counts = center + V / pSlope at and above zero, center - V / nSlope below.
// Nominal is 33523 counts at zero and 3.158e-4 V per count on +-10 V. This
// device is a good one: each range is off by a few parts in 100000 and
// about one count, so it reads close to the truth before calibration and
// exactly after it.
struct Transfer {
    double pSlope;  // volts per count above center
    double nSlope;  // volts per count below center, negative
    double center;  // counts at zero volts
};
inline constexpr Transfer kHighSpeed[kGains] = {
    {3.15822e-4, -3.15797e-4, 33523.9},
    {3.15819e-5, -3.15793e-5, 33524.1},
    {3.15791e-6, -3.15838e-6, 33523.8},
    {3.15778e-7, -3.15844e-7, 33524.4},
};
inline constexpr Transfer kHighResolution[kGains] = {
    {3.15811e-4, -3.15801e-4, 33523.6},
    {3.15812e-5, -3.15799e-5, 33523.7},
    {3.15799e-6, -3.15815e-6, 33524.0},
    {3.15794e-7, -3.15821e-7, 33524.2},
};
inline constexpr double kMaxCounts = 65535.0;  // a saturated reading: raw 0xFFFF00
inline constexpr double kRawPerCount = 256.0;

// Resolution index: 0 selects the default, 1 to 8 the high-speed converter,
// 9 to 12 the high-resolution converter of the Pro variant (a device
// without it converts those at the best high-speed resolution).
inline constexpr std::uint16_t kDefaultResolution = 8;
inline constexpr std::uint16_t kBestHighSpeedResolution = 8;
inline constexpr std::uint16_t kMaxResolution = 12;

// Noise of one reading by resolution index, as standard deviations: the
// converter's own, in counts, and the input amplifier's, in volts at the
// input (so the small ranges, with their high gain, are noisier in counts).
// Higher resolutions average longer and are quieter.
struct Noise {
    double counts;
    double inputVolts;
};
inline constexpr Noise kNoise[kMaxResolution + 1] = {
    {0.0, 0.0},  // index 0 converts at kDefaultResolution
    {1.00, 2.50e-6}, {0.75, 1.90e-6}, {0.55, 1.40e-6}, {0.40, 1.05e-6},
    {0.28, 0.80e-6}, {0.20, 0.65e-6}, {0.14, 0.52e-6}, {0.10, 0.45e-6},
    {0.07, 0.38e-6}, {0.05, 0.32e-6}, {0.04, 0.28e-6}, {0.03, 0.25e-6},
};

// Current the analog inputs draw (their bias); only a resistive source turns
// it into a voltage.
inline constexpr double kInputBiasAmps = 1.2e-8;

// ---- Digital lines ----------------------------------------------------------

// 23 lines in four ports; bit i of a line mask is line i, bit n of a port's
// registers its line n. A line at power-up is an input with a pull-up.
inline constexpr int kDigitalLines = 23;
inline constexpr std::uint32_t kAllLines = (std::uint32_t{1} << kDigitalLines) - 1;
struct DigitalPort {
    int firstLine;
    int width;
};
inline constexpr DigitalPort kDigitalPorts[] = {{0, 8}, {8, 8}, {16, 4}, {20, 3}};
inline constexpr int kDigitalPortCount = 4;
static_assert(std::size(kDigitalPorts) == kDigitalPortCount);

// ---- Device sources and sensors ---------------------------------------------

// The excitation current sources, nominal 10 uA and 200 uA.
inline constexpr double kSource10uAAmps = 10.03e-6;
inline constexpr double kSource200uAAmps = 199.2e-6;

// The internal temperature sensor on its own channel:
// kelvin = kTemperatureKPerVolt x volts + kTemperatureOffsetK.
inline constexpr int kInternalTemperatureChannel = 14;
inline constexpr double kTemperatureKPerVolt = -92.6;
inline constexpr double kTemperatureOffsetK = 467.6;

// The two DACs: volts out = (code - zeroCode) / codesPerVolt, never below
// 0 V. Nominal is 13200 codes per volt and 100 codes at zero.
struct DacTransfer {
    double codesPerVolt;
    double zeroCode;
};
inline constexpr int kDacs = 2;
inline constexpr DacTransfer kDac[kDacs] = {{13190.0, 98.0}, {13208.0, 103.0}};
inline constexpr std::uint32_t kDacMaxCode = 65535;

// ---- The test jig -------------------------------------------------------------

// What the jig connects to each analog input. Inputs it leaves alone read 0 V.
namespace jig_input {
inline constexpr int kDac0Loopback = 0;
inline constexpr int kDac1Loopback = 1;
inline constexpr int kGroundA = 2;            // tied to ground: the zero point
inline constexpr int kGroundB = 3;
inline constexpr int kBiasShunt = 4;          // the bias current through constant 7
inline constexpr int kExternalSensor = 5;
inline constexpr int kSupply = 6;             // Vs, ahead of the current-sense resistor
inline constexpr int kSupplyAfterSense = 7;   // Vs less the drop across constant 6
inline constexpr int kReferencePlus = 8;      // the reference source, against channel 9
inline constexpr int kReferenceMinus = 9;
inline constexpr int kSource10uALoad = 10;    // the 10 uA source through constant 5
inline constexpr int kSource200uALoad = 11;   // the 200 uA source through constant 3
inline constexpr int kVmMinusDivider = 12;    // Vm- through constant 2
inline constexpr int kVmPlusDivider = 13;     // Vm+ through constant 1
inline constexpr int kGroundQuiet = 15;       // tied to ground: the noise measurement
}  // namespace jig_input

// The external temperature sensor: 10 mV per degree Fahrenheit.
inline constexpr double kExternalSensorVoltsPerF = 0.01;

// The reference source follows the set point the device gives it (register
// 30014) within its limits. With digital line 5 low the jig's divider (its
// ratio is the scenario's) scales it down for the small ranges.
inline constexpr double kReferenceLimitVolts = 10.5;
inline constexpr int kReferenceDividerLine = 5;

// Digital lines: the jig grounds lines 0 to 4 where its code has a 0 bit and
// leaves them open (an input reads high) where it has a 1. Its memory sits
// on a two-line bus on lines 7 (data) and 6 (clock) at bus address 0x50.
inline constexpr std::uint16_t kCodeLineMask = 0x1F;
inline constexpr std::uint16_t kMemoryDataLine = 7;
inline constexpr std::uint16_t kMemoryClockLine = 6;
inline constexpr std::uint16_t kMemoryBusAddress = 0x50;

// The jig's loops on ports 1 to 3, so that a line driven low pulls its
// partners low: E0-E1, E2-E3, E4-E5, C0-C1, C2-C3 and M0-M1-M2 are tied
// (each entry one group), E6 is left open and E7 is grounded.
inline constexpr std::uint32_t line(int n) { return std::uint32_t{1} << n; }
inline constexpr std::uint32_t kJigTiedLines[] = {
    line(8) | line(9),   line(10) | line(11), line(12) | line(13),
    line(16) | line(17), line(18) | line(19), line(20) | line(21) | line(22),
};
inline constexpr std::uint32_t kJigGroundedLines = line(15);

}  // namespace z6::electrical
