// "Hardware Version": records the board revision; it has no limit.
#include "device/identity_registers.h"
#include "device/registers.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"

std::int32_t hardwareVersionStep(TestContext* context) {
    float version = 0.0f;
    if (const std::int32_t code = readF32(context->handle, identity_reg::kHardwareVersion, &version))
        return failCommError(context, code);
    text::format(context->details, "HW %.02f", version);
    context->resultState = Passed;
    return 0;
}
