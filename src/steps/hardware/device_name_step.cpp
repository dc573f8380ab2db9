// "Device Name": the device's name must end in the last four digits of its
// serial number. One that does not is replaced by the default name
// "My_Z6_" and those digits.
#include "device/mbfb.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"

#include <cstddef>

namespace {

constexpr std::int32_t kNameRegister = 60500;
constexpr std::int32_t kNameWords = 20;
constexpr std::size_t kNameBytes = 2 * kNameWords;  // text, padded with zero bytes
constexpr std::uint64_t kSuffixModulus = 10000;

// Positions 6 to 9 must spell the suffix: their weighted sum less 1111
// times the code of '0' gives the number they spell. The prefix is free.
constexpr std::size_t kSuffixAt = 6;
constexpr std::int64_t kDigitsOfZero = 1111 * '0';

bool nameFitsSerial(const std::uint8_t* name, std::uint64_t suffix) {
    if (name[0] == 0x00 || name[0] == 0xFF) return false;  // no name, or never written
    const std::uint8_t* digits = name + kSuffixAt;
    const std::int64_t spelled = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3] - kDigitsOfZero;
    return spelled == static_cast<std::int64_t>(suffix);
}

}  // namespace

std::int32_t deviceNameStep(TestContext* context) {
    context->resultState = Passed;
    MbfbOperation read = MbfbOperation::read(kNameRegister, kNameWords, kMbfbBytes);
    if (const std::int32_t code = mbfbTransact(context->handle, 1, &read)) return failCommError(context, code);

    text::copy(context->details, "Name: ");
    const std::uint64_t suffix = context->serialNumber % kSuffixModulus;
    if (nameFitsSerial(read.data, suffix)) {
        // The name ends at its first zero byte, or after all 40 bytes.
        char stored[kNameBytes + 1] = {};
        for (std::size_t i = 0; i < kNameBytes && read.data[i] != 0; ++i) stored[i] = static_cast<char>(read.data[i]);
        text::append(context->details, stored);
        return 0;
    }

    char name[50] = {};
    text::format(name, "My_Z6_%04i", static_cast<int>(suffix));
    text::append(context->details, name);
    MbfbOperation write(kNameRegister, kNameWords, reinterpret_cast<const std::uint8_t*>(name));
    if (const std::int32_t code = mbfbTransact(context->handle, 1, &write)) return failCommError(context, code);
    return 0;
}
