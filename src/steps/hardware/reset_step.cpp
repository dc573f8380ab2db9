// "Reset": asks the device for a soft reset, after which it starts again
// with the calibration now in its flash.
#include "device/registers.h"
#include "sequencer/steps.h"

namespace {

constexpr std::int32_t kSoftReset = 61994;
constexpr std::int32_t kRegister48005 = 48005;  // written 1, as after opening the device

}  // namespace

std::int32_t resetStep(TestContext* context) {
    context->resultState = Passed;
    writeU32(context->handle, kSoftReset, 0);  // not examined
    text::copy(context->details, "Soft reset issued");
    writeU16(context->handle, kRegister48005, 1);  // not examined
    return 0;
}
