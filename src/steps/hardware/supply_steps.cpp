// "Vs and Current" and "Vmux": the supply the device runs from, the current
// it draws (through the jig's sense resistor), and the two Vm rails
// (through the jig's dividers). Out of their windows they are Fatal.
#include "device/registers.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/analog_input.h"

namespace {

constexpr std::int32_t kSettling = 200;

// Vs on channel 6; the sense resistor sits between channels 6 and 7.
constexpr std::int32_t kSupplyChannel = 6;
constexpr std::int32_t kSenseNegative = 7;

// Checks on Vs, in order; the first that holds decides. A lower limit is a
// double compared with the reading widened to double, so the float nearest
// 4.2 (just below it) is too low; 5.5 is exact in single precision, so the
// upper limit compares as a float would. A reading that is not a number
// meets no limit and fails as too low.
struct SupplyLimit {
    bool upper;
    double volts;
    bool calStationOnly;
    const char* text;
};
constexpr SupplyLimit kSupplyLimits[] = {
    {false, 4.2, false, "Vs too low: "},
    {false, 4.7, true, "Vs too low to Cal: "},
    {true, 5.5, false, "Vs too high: "},
};

bool fails(const SupplyLimit& limit, float vs) {
    const double reading = vs;
    return limit.upper ? reading > limit.volts : !(reading >= limit.volts);
}

// Vm- comes in on channel 12 through constant 2, Vm+ on channel 13 through
// constant 1. The limits themselves pass.
constexpr std::int32_t kVmChannels[] = {12, 13};
struct Window {
    float low;
    float high;
};
constexpr Window kVmPlusWindow = {11.0f, 14.0f};
constexpr Window kVmMinusWindow = {-14.0f, -11.0f};

// A reading that is not a number is outside every window.
bool outside(float value, const Window& window) { return !(value >= window.low && value <= window.high); }

}  // namespace

std::int32_t vsAndCurrentStep(TestContext* context) {
    context->resultState = Passed;
    if ((context->stationFlags & flags::kTestJig) == 0) {
        context->resultState = Fatal;
        text::copy(context->details, "Test Jig Required.");
        return 1;
    }
    const std::int32_t handle = context->handle;
    const std::int32_t supplyRegister = ain::voltsRegister(kSupplyChannel);
    float vs = 0.0f;
    float vsense = 0.0f;
    if (const std::int32_t code = ain::configureSingleEnded(handle, kSupplyChannel, kSettling))
        return failCommError(context, code);
    if (const std::int32_t code = readF32(handle, supplyRegister, &vs)) return failCommError(context, code);
    if (const std::int32_t code =
            configureAin(handle, kSupplyChannel, ain::kRange100mV, ain::kResolution, kSenseNegative, kSettling))
        return failCommError(context, code);
    if (const std::int32_t code = readF32(handle, supplyRegister, &vsense)) return failCommError(context, code);
    const float is = vsense / static_cast<float>(context->jigCal6);

    const bool calStation = (context->stationFlags & flags::kCalStation) != 0;
    for (const SupplyLimit& limit : kSupplyLimits) {
        if (limit.calStationOnly && !calStation) continue;
        if (!fails(limit, vs)) continue;
        context->resultState = Fatal;
        text::copy(context->details, limit.text);
        text::appendFormat(context->details, "%.03f", vs);
        return 1;
    }
    text::format(context->details, "Vs: %.03fV, ", vs);
    text::appendFormat(context->details, "Is: %.03fA", is);
    return 0;
}

std::int32_t vmuxStep(TestContext* context) {
    context->resultState = Passed;
    const std::int32_t handle = context->handle;
    for (const std::int32_t channel : kVmChannels) {
        if (const std::int32_t code = ain::configureSingleEnded(handle, channel, kSettling))
            return failCommError(context, code);
    }
    float readings[2] = {0.0f, 0.0f};
    for (int i = 0; i < 2; ++i) {
        if (const std::int32_t code = readF32(handle, ain::voltsRegister(kVmChannels[i]), &readings[i]))
            return failCommError(context, code);
    }
    const float vmPlus = static_cast<float>(context->jigCal1) * readings[1];
    const float vmMinus = static_cast<float>(context->jigCal2) * readings[0];

    if (outside(vmPlus, kVmPlusWindow) || outside(vmMinus, kVmMinusWindow)) context->resultState = Fatal;
    text::format(context->details, "Vm+: %.03fV, ", vmPlus);
    text::appendFormat(context->details, "Vm-: %.03fV", vmMinus);
    return context->resultState == Passed ? 0 : 1;
}
