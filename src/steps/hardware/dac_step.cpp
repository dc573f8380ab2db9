// "DAC Test": each DAC set to a low and a high code, read back through the
// jig's loop-backs to channels 0 and 1 and averaged; DAC0 low with DAC1
// high first, then the codes exchanged. The first mean outside its window
// is Fatal.
#include "device/registers.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/analog_input.h"

namespace {

constexpr std::int32_t kDacCodeRegister[2] = {51000, 51002};
constexpr std::int32_t kLoopbackChannel[2] = {0, 1};
constexpr std::int32_t kSettling = 200;
constexpr int kReadings = 16;

// Mean volts expected for a code, limits included.
struct Check {
    double low;
    double high;
    const char* text;
};
struct Phase {
    std::uint32_t code[2];
    Check check[2];
};
constexpr Phase kPhases[] = {
    {{0x2000, 0xC000}, {{0.5, 0.75, "DAC0 0x2000 Error: "}, {3.625, 3.875, "DAC1 0xC000 Error: "}}},
    {{0xC000, 0x2000}, {{3.625, 3.875, "DAC0 0xC000 Error: "}, {0.5, 0.75, "DAC1 0x2000 Error: "}}},
};

}  // namespace

std::int32_t dacTestStep(TestContext* context) {
    context->resultState = Passed;
    const std::int32_t handle = context->handle;
    for (const std::int32_t channel : kLoopbackChannel) {
        if (const std::int32_t code = ain::configureSingleEnded(handle, channel, kSettling))
            return failCommError(context, code);
    }
    for (const Phase& phase : kPhases) {
        for (int dac = 0; dac < 2; ++dac) writeU32(handle, kDacCodeRegister[dac], phase.code[dac]);  // not examined
        double sum[2] = {0.0, 0.0};
        for (int k = 0; k < kReadings; ++k) {
            for (int dac = 0; dac < 2; ++dac) {
                float volts = 0.0f;
                if (const std::int32_t code = readF32(handle, ain::voltsRegister(kLoopbackChannel[dac]), &volts))
                    return failCommError(context, code);
                sum[dac] += volts;
            }
        }
        for (int dac = 0; dac < 2; ++dac) {
            const double mean = sum[dac] / kReadings;
            const Check& check = phase.check[dac];
            // A mean that is not a number is outside too.
            if (mean >= check.low && mean <= check.high) continue;
            context->resultState = Fatal;
            text::copy(context->details, check.text);
            text::appendFormat(context->details, "%.03f, ", mean);
            return 0;
        }
    }
    text::copy(context->details, "All tests passed.");
    return 0;
}
