// "Analog Test", for the alternate plan: known voltages on the two DAC
// outputs, which the jig loops back to inputs 0 and 1, read on every range.
// Every row runs; a reading outside its tolerance is Fatal, and the details
// name the first such row.
#include "device/mbfb.h"
#include "device/registers.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/analog_input.h"

#include <iterator>

namespace {

constexpr std::int32_t kSettling = 4;

struct AnalogLoopbackRow {
    std::int32_t channel;
    std::int32_t outputRegister;  // DAC volts, float
    float output;
    std::int32_t rangeIndex;
    std::int32_t inputRegister;  // the channel's reading in volts, float
    float expected;
    float tolerance;
};

constexpr AnalogLoopbackRow analogLoopbackRows[] = {
    {0, 1000, 4.0f, ain::kRange10V, 0, 4.0f, 0.01f},
    {0, 1000, 0.4f, ain::kRange1V, 0, 0.4f, 0.001f},
    {0, 1000, 0.04f, ain::kRange100mV, 0, 0.04f, 0.001f},
    {0, 1000, 0.004f, ain::kRange10mV, 0, 0.004f, 0.001f},
    {1, 1002, 4.0f, ain::kRange10V, 2, 4.0f, 0.01f},
    {1, 1002, 0.4f, ain::kRange1V, 2, 0.4f, 0.001f},
    {1, 1002, 0.04f, ain::kRange100mV, 2, 0.04f, 0.001f},
    {1, 1002, 0.004f, ain::kRange10mV, 2, 0.004f, 0.001f},
};
constexpr int kRows = static_cast<int>(std::size(analogLoopbackRows));

constexpr const char* kRangeNames[] = {"10V", "1V", "0.1V", "0.01V"};

}  // namespace

std::int32_t analogTestStep(TestContext* context) {
    context->resultState = Passed;
    if ((context->stationFlags & flags::kTestJig) == 0) {
        text::copy(context->details, "w/o Jig test not implemented");
        return 0;
    }

    const std::int32_t handle = context->handle;
    int failed = 0;
    for (int i = 0; i < kRows; ++i) {
        const AnalogLoopbackRow& row = analogLoopbackRows[i];
        MbfbOperation output(row.outputRegister, 2, kMbfbF32, row.output);
        mbfbTransact(handle, 1, &output);  // not examined: the reading shows it
        if (const std::int32_t code =
                configureAin(handle, row.channel, row.rangeIndex, ain::kResolution, ain::kSingleEnded, kSettling))
            return failCommError(context, code);
        float reading = 0.0f;
        if (const std::int32_t code = readF32(handle, row.inputRegister, &reading)) return failCommError(context, code);

        // A reading that is not a number is outside too.
        if (absF32(reading - row.expected) <= row.tolerance) continue;
        context->resultState = Fatal;
        if (++failed > 1) continue;
        text::format(context->details, "Row %d, AIN%d %s: %.4f V, expected %.4f +- %.4f", i, row.channel,
                     kRangeNames[row.rangeIndex], reading, row.expected, row.tolerance);
    }
    if (failed == 0) {
        text::format(context->details, "%d loop-back rows passed", kRows);
    } else {
        text::appendFormat(context->details, " (%d of %d rows failed)", failed, kRows);
    }
    return 0;
}
