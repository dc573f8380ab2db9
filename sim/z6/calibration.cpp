#include "z6/calibration.h"

#include "z6/byte_order.h"
#include "z6/flash.h"

#include <cmath>

namespace z6 {

namespace {

// Positions in the image: per converter and gain PSlope, NSlope, Center and
// Offset; then the DACs, then the temperature sensor.
constexpr int kHighSpeedIndex = 0;
constexpr int kHighResolutionIndex = 16;
constexpr int kConstantsPerGain = 4;
constexpr int kDacSlopeIndex[electrical::kDacs] = {32, 34};
constexpr int kDacOffsetIndex[electrical::kDacs] = {33, 35};
constexpr int kTemperatureSlopeIndex = 36;
constexpr int kTemperatureOffsetIndex = 37;
constexpr int kImageConstants = 41;

// The nominal constants, the same for both converters.
constexpr electrical::Transfer kNominal[electrical::kGains] = {
    {0.00031580578, -0.0003158058, 33523.0},
    {3.1580578e-05, -3.15806e-05, 33523.0},
    {3.158058e-06, -3.1581e-06, 33523.0},
    {3.15806e-07, -3.158e-07, 33523.0},
};
constexpr double kNominalDacSlope = 13200.0;
constexpr double kNominalDacOffset = 100.0;
constexpr double kNominalTemperatureSlope = -92.6;
constexpr double kNominalTemperatureOffset = 467.6;

// Constant index of the image, or keep when it is not usable.
void take(std::span<const std::uint8_t> image, int index, double& keep, bool zeroAllowed) {
    const float value = loadF32(image.data() + 4 * index);
    if (std::isfinite(value) && (zeroAllowed || value != 0.0f)) keep = value;
}

void takeTransfer(std::span<const std::uint8_t> image, int first, electrical::Transfer& transfer) {
    take(image, first, transfer.pSlope, false);
    take(image, first + 1, transfer.nSlope, false);
    take(image, first + 2, transfer.center, false);
}

}  // namespace

Calibration nominalCalibration() {
    Calibration c{};
    for (int g = 0; g < electrical::kGains; ++g) {
        c.highSpeed[g] = kNominal[g];
        c.highResolution[g] = kNominal[g];
    }
    for (int d = 0; d < electrical::kDacs; ++d) {
        c.dacSlope[d] = kNominalDacSlope;
        c.dacOffset[d] = kNominalDacOffset;
    }
    c.temperatureSlope = kNominalTemperatureSlope;
    c.temperatureOffset = kNominalTemperatureOffset;
    return c;
}

Calibration calibrationFromImage(std::span<const std::uint8_t> image) {
    Calibration c = nominalCalibration();
    if (image.size() < 4 * kImageConstants || image[0] == Flash::kErasedByte) return c;
    for (int g = 0; g < electrical::kGains; ++g) {
        takeTransfer(image, kHighSpeedIndex + kConstantsPerGain * g, c.highSpeed[g]);
        takeTransfer(image, kHighResolutionIndex + kConstantsPerGain * g, c.highResolution[g]);
    }
    for (int d = 0; d < electrical::kDacs; ++d) {
        take(image, kDacSlopeIndex[d], c.dacSlope[d], false);
        take(image, kDacOffsetIndex[d], c.dacOffset[d], true);  // a DAC may well need no offset
    }
    take(image, kTemperatureSlopeIndex, c.temperatureSlope, false);
    take(image, kTemperatureOffsetIndex, c.temperatureOffset, true);
    return c;
}

double countsToVolts(const electrical::Transfer& transfer, double counts) {
    return counts >= transfer.center ? (counts - transfer.center) * transfer.pSlope
                                     : (transfer.center - counts) * transfer.nSlope;
}

}  // namespace z6
