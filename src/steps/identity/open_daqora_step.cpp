// "Open Daqora": finds the Z6 on USB, prepares it and checks that it is a Z6,
// noting whether it is the Pro variant.
#include "device/identity_registers.h"
#include "device/mbfb.h"
#include "device/registers.h"
#include "platform/clock.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/identity/version_limits.h"

#include "DaqoraM.h"

#include <cmath>

namespace {

// The device needs this long after the settings below before it answers
// reliably.
constexpr std::uint32_t kSettleMs = 5000;

}  // namespace

std::int32_t openDaqoraStep(TestContext* context) {
    context->isPro = false;
    context->handle = 0;
    std::int32_t opened = 0;
    if (const std::int32_t code = DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", "DQM_idANY", &opened)) {
        context->resultState = Fatal;
        text::format(context->details, "No Daqoras found (%i)", code);
        return 1;
    }
    context->usbHandle = opened;
    context->handle = opened;

    // Start-up settings; a device that does not take them fails the checks below.
    writeU32(opened, 4990, 0);
    writeU16(opened, 48005, 1);
    writeU16(opened, 48003, 1);
    writeU16(opened, 48004, 0);
    platform::sleepMs(kSettleMs);
    writeU16(opened, 43990, 1);
    if (context->stationFlags & flags::kTestJig) writeF32(opened, 30014, 0.0f);

    MbfbOperation identity[] = {
        MbfbOperation::read(identity_reg::kProductId, 2, kMbfbU32),
        MbfbOperation::read(identity_reg::kOptions, 2, kMbfbU32),
    };
    if (const std::int32_t code = mbfbTransact(opened, 2, identity)) return failCommError(context, code);

    const float productId = identity[0].f32();
    const float difference = std::fabs(productId - version_limits::kZ6ProductId);
    if (!(difference <= version_limits::kProductIdTolerance)) {
        context->resultState = Fatal;
        text::copy(context->details, "Can not process HW ID: ");
        text::appendFormat(context->details, "%.0f,", productId);
        return 1;
    }

    text::copy(context->details, "Daqora Z6");
    if (identity[1].u32() & identity_reg::kProOption) {
        text::append(context->details, "-Pro");
        context->isPro = true;
    }
    text::append(context->details, " Found");
    context->resultState = Passed;
    return 0;
}
