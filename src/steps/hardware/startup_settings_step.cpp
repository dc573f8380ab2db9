// "Startup DAQ Settings": the device must start with its factory start-up
// settings. A station allowed to restore them does; otherwise a device
// with its own settings only warns.
#include "device/registers.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"

namespace {

constexpr std::int32_t kSettingsIndicator = 49000;  // 1: factory settings in force
constexpr std::uint32_t kFactorySettings = 1;
constexpr std::int32_t kRestoreFactory = 49004;
constexpr std::uint32_t kRestoreFactoryKey = 0x5A3B81F2;

}  // namespace

std::int32_t startupDaqSettingsStep(TestContext* context) {
    context->resultState = Passed;
    std::uint32_t indicator = 0;
    if (const std::int32_t code = readAddressU32(context->handle, kSettingsIndicator, &indicator))
        return failCommError(context, code);
    if (indicator == kFactorySettings) {
        text::copy(context->details, "Factory settings detected");
        return 0;
    }
    if ((context->stationFlags & flags::kRestoreFactorySettings) != 0) {
        writeU32(context->handle, kRestoreFactory, kRestoreFactoryKey);  // not examined
        text::copy(context->details, "Changed to factory settings");
        return 0;
    }
    text::copy(context->details, "non-Factory settings detected");
    context->resultState = Warning;
    return 0;
}
