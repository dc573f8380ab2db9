// "Recovery Version": checks the version in the header of the recovery
// firmware image stored in flash.
#include "device/flash.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/identity/version_limits.h"

#include <cmath>
#include <cstring>

namespace {

constexpr std::uint32_t kHeaderSize = 128;
constexpr std::uint32_t kVersionOffset = 8;  // big-endian float

}  // namespace

std::int32_t recoveryVersionStep(TestContext* context) {
    std::uint8_t header[kHeaderSize] = {};
    if (const std::int32_t code =
            flashRead(context->handle, flash::kRecoveryHeader.key, flash::kRecoveryHeader.start, kHeaderSize, header))
        return failCommError(context, code);

    const std::uint8_t* field = header + kVersionOffset;
    const std::uint32_t bits = static_cast<std::uint32_t>(field[0]) << 24 | static_cast<std::uint32_t>(field[1]) << 16 |
                               static_cast<std::uint32_t>(field[2]) << 8 | field[3];
    float version;
    std::memcpy(&version, &bits, sizeof version);

    const VersionLimit& limit = version_limits::kRecovery;
    if (!std::isfinite(version)) {
        // An erased header (FF FF FF FF) or garbage: no recovery image to trust.
        context->resultState = Fatal;
        text::format(context->details, "No recovery version (%08X), %.04f Required", bits, limit.required);
    } else if (!limit.accepts(version)) {
        context->resultState = Fatal;
        text::format(context->details, "%.04f, %.04f Required", version, limit.required);
    } else {
        text::format(context->details, "%.04f", version);
        context->resultState = Passed;
    }
    return 0;
}
