// "AIn Noise (16b counts)": the peak-to-peak noise of the jig's grounded
// input at several ranges and resolutions, in 16-bit counts. A set noisier
// than its limit fails the device; the whole measurement is tried three
// times before that failure stands.
#include "device/registers.h"
#include "sequencer/console_io.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/analog_input.h"

namespace {

constexpr std::int32_t kChannel = 15;
constexpr std::int32_t kRawRegister = 50000 + 2 * kChannel;
constexpr std::int32_t kSettling = 200;
constexpr int kAttempts = 3;
constexpr double kCountsPerRaw = 0.00390625;  // a raw result is 16-bit counts x 256
constexpr int kMaxReadings = 128;

struct NoiseSet {
    std::int32_t rangeIndex;
    std::int32_t resolutionIndex;
    int readings;
    double limit;        // counts peak to peak; equal passes
    const char* format;  // appended to the details
    const char* mark;    // printed before the set
    bool proOnly;
};

constexpr NoiseSet noiseSets[] = {
    {ain::kRange10V, 1, 128, 12.0, "%.01f,", " 1", false},
    {ain::kRange10mV, 1, 128, 110.0, "%.01f,", " 2", false},
    {ain::kRange10V, 8, 128, 1.2, "%.02f,", " 3", false},
    {ain::kRange10mV, 8, 128, 18.0, "%.02f", " 4", false},
    {ain::kRange10V, 12, 16, 0.37, ",%.02f,", " 5", true},
    {ain::kRange10mV, 12, 16, 8.0, "%.02f", " 6 ", true},
};

// Peak to peak of one set's readings, in counts. Returns the first failed
// read's code: a reading that was not made must not count.
std::int32_t measure(std::int32_t handle, const NoiseSet& set, double& peakToPeak) {
    std::uint32_t readings[kMaxReadings] = {};
    for (int i = 0; i < set.readings; ++i) {
        if (const std::int32_t code = readAddressU32(handle, kRawRegister, &readings[i])) return code;
    }
    double highest = readings[0];
    double lowest = readings[0];
    for (int i = 1; i < set.readings; ++i) {
        const double reading = readings[i];
        if (reading > highest) highest = reading;
        if (reading < lowest) lowest = reading;
    }
    peakToPeak = (highest - lowest) * kCountsPerRaw;
    return 0;
}

}  // namespace

std::int32_t ainNoiseStep(TestContext* context) {
    print("Noise Step:");
    for (int attempt = 1;; ++attempt) {
        context->resultState = Passed;
        text::copy(context->details, "Noise: ");
        for (const NoiseSet& set : noiseSets) {
            if (set.proOnly && !context->isPro) continue;
            print("%s", set.mark);
            if (const std::int32_t code = configureAin(context->handle, kChannel, set.rangeIndex, set.resolutionIndex,
                                                       ain::kSingleEnded, kSettling))
                return failCommError(context, code);
            double peakToPeak = 0.0;
            if (const std::int32_t code = measure(context->handle, set, peakToPeak))
                return failCommError(context, code);
            if (peakToPeak > set.limit) context->resultState = Fatal;  // the other sets still run
            text::appendFormat(context->details, set.format, peakToPeak);
        }
        if (context->resultState == Passed || attempt == kAttempts) return 0;
    }
}
