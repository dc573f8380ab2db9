// The calibration the Z6's firmware converts with. At boot it takes the
// constants from the calibration image in flash; an erased image, and any
// constant that is not a usable number (a device without the Pro option
// stores zeros for the high-resolution ones), leave the nominal values.
#pragma once

#include "z6/electrical.h"

#include <cstdint>
#include <span>

namespace z6 {

// The calibration image: 41 big-endian floats at the start of 512 bytes.
inline constexpr std::uint32_t kCalibrationImageAddress = 0x3C4000;
inline constexpr std::uint32_t kCalibrationImageSize = 512;

struct Calibration {
    electrical::Transfer highSpeed[electrical::kGains];
    electrical::Transfer highResolution[electrical::kGains];
    double dacSlope[electrical::kDacs];   // codes per volt
    double dacOffset[electrical::kDacs];  // codes at 0 V
    double temperatureSlope;              // kelvin per volt of the internal sensor
    double temperatureOffset;             // kelvin
};

Calibration nominalCalibration();

// image: the bytes at kCalibrationImageAddress (kCalibrationImageSize of them).
Calibration calibrationFromImage(std::span<const std::uint8_t> image);

// Volts of a reading of counts through transfer (its center, then its
// positive or negative slope).
double countsToVolts(const electrical::Transfer& transfer, double counts);

}  // namespace z6
