#include "device/registers.h"

#include "device/device_codes.h"
#include "device/mbfb.h"

#include "DaqoraM.h"

namespace {

constexpr std::int32_t kDigitalLine5 = 2005;
constexpr std::int32_t kAinRangeBase = 40000;       // float per channel, 2 registers each
constexpr std::int32_t kAinResolutionBase = 41500;  // uint16 per channel
constexpr std::int32_t kAinSettlingBase = 42000;    // float per channel, 2 registers each
constexpr std::int32_t kAinNegativeBase = 41000;    // uint16 per channel
constexpr std::uint32_t kAddressTypeU32 = 1;

// The device takes the range as the largest reading it must hold.
constexpr float kAinRanges[] = {9.9f, 0.9f, 0.09f, 0.009f};

std::int32_t writeOne(std::int32_t handle, std::int32_t address, std::int32_t registerCount,
                      std::int32_t dataType, double value) {
    MbfbOperation op(address, registerCount, dataType, value);
    return mbfbTransact(handle, 1, &op);
}

}  // namespace

std::int32_t writeU16(std::int32_t handle, std::int32_t address, std::uint16_t value) {
    return writeOne(handle, address, 1, kMbfbU16, value);
}

std::int32_t writeU32(std::int32_t handle, std::int32_t address, std::uint32_t value) {
    return writeOne(handle, address, 2, kMbfbU32, value);
}

std::int32_t writeF32(std::int32_t handle, std::int32_t address, float value) {
    return writeOne(handle, address, 2, kMbfbF32, value);
}

std::int32_t readF32(std::int32_t handle, std::int32_t address, float* value) {
    MbfbOperation op = MbfbOperation::read(address, 2, kMbfbF32);
    const std::int32_t code = mbfbTransact(handle, 1, &op);
    if (code == 0) *value = op.f32();
    return code;
}

std::int32_t readAddressU32(std::int32_t handle, std::int32_t address, std::uint32_t* value) {
    double read = 0.0;
    const std::int32_t code = DQM_eReadAddress(handle, address, kAddressTypeU32, &read);
    if (code == 0) *value = truncateToU32(read);
    return code;
}

std::int32_t writeReg2005(std::int32_t handle, std::int32_t value) {
    return writeOne(handle, kDigitalLine5, 1, kMbfbU16, value);
}

std::int32_t configureAin(std::int32_t handle, std::int32_t channel, std::int32_t rangeIndex,
                          std::int32_t resolutionIndex, std::int32_t negativeChannel, std::int32_t settling) {
    if (rangeIndex < 0 || rangeIndex >= static_cast<std::int32_t>(sizeof kAinRanges / sizeof kAinRanges[0]))
        return device::kBadRangeIndex;
    MbfbOperation ops[] = {
        {kAinRangeBase + 2 * channel, 2, kMbfbF32, kAinRanges[rangeIndex]},
        {kAinResolutionBase + channel, 1, kMbfbU16, static_cast<double>(resolutionIndex)},
        {kAinSettlingBase + 2 * channel, 2, kMbfbF32, static_cast<double>(static_cast<float>(settling))},
        {kAinNegativeBase + channel, 1, kMbfbU16, static_cast<double>(negativeChannel)},
    };
    return mbfbTransact(handle, 4, ops);
}

float absF32(float value) { return value < 0.0f ? -value : value; }
double absF64(double value) { return value < 0.0 ? -value : value; }
