// "Check SD Card": whether a Pro device has mounted its SD card (bit 3 of its
// option bits); a device without the Pro option has none.
#include "device/identity_registers.h"
#include "device/mbfb.h"
#include "sequencer/steps.h"

namespace {

constexpr std::uint32_t kSdCardMounted = 0x8;  // in the option bits

}  // namespace

std::int32_t checkSdCardStep(TestContext* context) {
    context->resultState = Passed;
    MbfbOperation read = MbfbOperation::read(identity_reg::kOptions, 2, kMbfbU32);
    if (const std::int32_t code = mbfbTransact(context->handle, 1, &read)) {
        // This step's own wording: lower-case e, no parentheses.
        text::copy(context->details, "Comm error: ");
        text::appendFormat(context->details, " %i", code);
        context->resultState = Fatal;
        return 1;
    }
    if (!context->isPro) {
        text::copy(context->details, "Pro-Only, Skipping.");
        return 0;
    }
    if (read.u32() & kSdCardMounted) {
        text::copy(context->details, "SD Card Mounted.");
        return 0;
    }
    text::copy(context->details, "SD Card could not be mounted.");
    context->resultState = Fatal;
    return 1;
}
