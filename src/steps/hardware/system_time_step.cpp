// "System Time": compares the real-time clock of a Pro device with the
// station's clock and, on a station allowed to, sets it. The difference is
// only reported.
#include "device/registers.h"
#include "platform/clock.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"

namespace {

constexpr std::int32_t kClockRegister = 61500;
constexpr std::int32_t kSetClockRegister = 61504;
constexpr std::uint32_t kSettleMs = 2000;

}  // namespace

std::int32_t systemTimeStep(TestContext* context) {
    context->resultState = Passed;
    std::uint32_t deviceSeconds = 0;
    if (const std::int32_t code = readAddressU32(context->handle, kClockRegister, &deviceSeconds))
        return failCommError(context, code);
    if (!context->isPro) {
        text::copy(context->details, "RTC not present; Pro only");
        return 0;
    }

    // Both clocks as 32-bit second counts; the difference as a signed one.
    const auto now = static_cast<std::uint32_t>(platform::calendarSeconds());
    const auto delta = static_cast<std::int32_t>(deviceSeconds - now);
    text::copy(context->details, "Z6: ");
    text::appendFormat(context->details, "%i, delta: %i", static_cast<std::int32_t>(deviceSeconds), delta);
    if ((context->stationFlags & flags::kSetClock) == 0) return 0;

    writeU32(context->handle, kSetClockRegister, now);  // not examined
    platform::sleepMs(kSettleMs);
    std::uint32_t setTo = 0;
    if (const std::int32_t code = readAddressU32(context->handle, kClockRegister, &setTo))
        return failCommError(context, code);
    text::format(context->details, "delta: %i ", delta);
    text::appendFormat(context->details, ". Set to: %i", static_cast<std::int32_t>(setTo));
    return 0;
}
