// The oldest firmware a Z6 may leave the factory with. Each minimum sits just
// below the version shown as required, so that the float a device reports
// for that version passes.
#pragma once

#include <cstdint>

struct VersionLimit {
    double minimum;   // accepted when at least this
    double required;  // shown to the operator
    // A version that is not a number is never accepted.
    bool accepts(double version) const { return version >= minimum; }
};

namespace version_limits {

constexpr VersionLimit kFirmware{1.02549, 1.0255};
constexpr VersionLimit kBootstrap{0.95999, 0.96};
constexpr VersionLimit kRecovery{0.6606, 0.6606};

// Boards with this flash chip run any bootstrap version.
constexpr std::uint32_t kAnyBootstrapFlashChip = 74;

// The product identifier of a Z6, compared in single precision.
constexpr float kZ6ProductId = 7.0f;
constexpr float kProductIdTolerance = 0.00001f;

}  // namespace version_limits
