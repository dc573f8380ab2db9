// "Temperature Sensor": the device's own temperature and, with the jig, the
// jig's external sensor. A calibrating station needs both in a narrow
// window (Fatal outside); elsewhere only the device's is checked, against a
// wider window, and only warns.
#include "device/mbfb.h"
#include "device/registers.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/analog_input.h"

namespace {

constexpr std::int32_t kRegister48005 = 48005;  // written 1, as after opening the device
constexpr std::int32_t kInternalSensorChannel = 14;
constexpr std::int32_t kTemperatureRegister = 60052;  // float, kelvin
constexpr std::int32_t kExternalSensorChannel = 5;    // 10 mV per degree Fahrenheit
constexpr std::int32_t kSettling = 1000;

// Kelvin, limits included. Exact in single precision, as the comparisons are.
struct Window {
    float low;
    float high;
};
constexpr Window kCalibrationWindow = {290.0f, 308.0f};
constexpr Window kWarningWindow = {280.0f, 315.0f};

// A reading that is not a number is outside every window.
bool outside(float kelvin, const Window& window) { return !(kelvin >= window.low && kelvin <= window.high); }

float externalKelvin(float volts) {
    const float celsius = (volts * 100.0f - 32.0f) * 5.0f / 9.0f;
    return static_cast<float>(celsius + 273.15);
}

void failWindow(TestContext* context, const char* which, float kelvin) {
    context->resultState = Fatal;
    text::copy(context->details, which);
    text::appendFormat(context->details, "%.02fK", kelvin);
    text::appendFormat(context->details, ", %.02f to %.02f required", kCalibrationWindow.low, kCalibrationWindow.high);
}

}  // namespace

std::int32_t temperatureSensorStep(TestContext* context) {
    context->resultState = Passed;
    const std::int32_t handle = context->handle;
    writeU16(handle, kRegister48005, 1);  // not examined
    if (const std::int32_t code = ain::configureSingleEnded(handle, kInternalSensorChannel, kSettling))
        return failCommError(context, code);
    MbfbOperation read = MbfbOperation::read(kTemperatureRegister, 2, kMbfbF32);
    if (const std::int32_t code = mbfbTransact(handle, 1, &read)) return failCommError(context, code);
    const float tin = read.f32();
    text::format(context->details, "Tin: %.02fK", tin);

    const bool jig = (context->stationFlags & flags::kTestJig) != 0;
    float tex = 0.0f;
    if (jig) {
        float volts = 0.0f;
        if (const std::int32_t code = ain::configureSingleEnded(handle, kExternalSensorChannel, kSettling))
            return failCommError(context, code);
        if (const std::int32_t code = readF32(handle, ain::voltsRegister(kExternalSensorChannel), &volts))
            return failCommError(context, code);
        tex = externalKelvin(volts);
        text::appendFormat(context->details, ", Tex: %.02fK", tex);
    }

    if ((context->stationFlags & flags::kCalStation) != 0) {
        if (outside(tin, kCalibrationWindow)) {
            failWindow(context, "Int Temp: ", tin);
        } else if (jig && outside(tex, kCalibrationWindow)) {
            failWindow(context, "Ext Temp: ", tex);
        }
    } else if (outside(tin, kWarningWindow)) {
        context->resultState = Warning;
    }
    return 0;
}
