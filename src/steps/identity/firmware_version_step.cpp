// "Firmware Version": checks the main firmware, the bootstrap loader and the
// flash chip. Old versions are a Warning on a plain station and Fatal on a
// calibration station; a flash chip the firmware does not know is Fatal.
#include "device/identity_registers.h"
#include "device/mbfb.h"
#include "sequencer/console_io.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/identity/version_limits.h"

namespace {

struct VersionCheck {
    const char* label;
    double version;
    VersionLimit limit;
    bool exempt;
};

}  // namespace

std::int32_t firmwareVersionStep(TestContext* context) {
    MbfbOperation reads[] = {
        MbfbOperation::read(identity_reg::kFirmwareVersion, 2, kMbfbF32),
        MbfbOperation::read(identity_reg::kBootstrapVersion, 2, kMbfbF32),
        MbfbOperation::read(identity_reg::kFlashChipId, 2, kMbfbU32),
        MbfbOperation::read(identity_reg::kFlashFlags, 2, kMbfbU32),
    };
    if (const std::int32_t code = mbfbTransact(context->handle, 4, reads)) return failCommError(context, code);

    context->resultState = Passed;
    context->firmwareVersion = reads[0].f32();
    context->bootstrapVersion = reads[1].f32();
    const std::uint32_t chip = reads[2].u32();
    const std::uint32_t flashFlags = reads[3].u32();
    text::format(context->details, "FW %.04f, BS %.04f, FC %i", context->firmwareVersion, context->bootstrapVersion,
                 static_cast<std::int32_t>(chip));

    if (flashFlags & identity_reg::kFlashChipUnknown) {
        text::format(context->details, "Unknown flash chip: %i", static_cast<std::int32_t>(chip));
        print("Flash ID: %i, Flash flags: %X", static_cast<std::int32_t>(chip), flashFlags);
        context->resultState = Fatal;
        return 0;
    }

    // Only the first version below its minimum is named.
    const VersionCheck checks[] = {
        {"FW", context->firmwareVersion, version_limits::kFirmware, false},
        {"BS", context->bootstrapVersion, version_limits::kBootstrap, chip == version_limits::kAnyBootstrapFlashChip},
    };
    for (const VersionCheck& check : checks) {
        if (check.exempt || check.limit.accepts(check.version)) continue;
        context->resultState = (context->stationFlags & flags::kCalStation) ? Fatal : Warning;
        text::appendFormat(context->details, ", %s %.04f Required", check.label, check.limit.required);
        break;
    }
    return 0;
}
