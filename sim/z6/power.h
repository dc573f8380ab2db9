// The Z6's power state. A restart or a soft reset makes the device drop its
// connections and leave the USB bus for a while; when it comes back it boots
// again. Time is the model's clock, so in process a restart costs nothing.
#pragma once

#include "platform/clock.h"

#include <cstdint>

namespace z6 {

// How long the device is away after each request.
inline constexpr std::uint32_t kRestartAwayMs = 5000;    // full restart (new firmware)
inline constexpr std::uint32_t kSoftResetAwayMs = 2000;  // soft reset
// Boot loaders older than this take far longer to start a new image (the
// station waits 40 s for them instead of 14 s).
inline constexpr float kSlowRestartBootstrapBelow = 0.89f;
inline constexpr std::uint32_t kSlowRestartAwayMs = 30000;

// How long a full restart takes with this boot loader version.
constexpr std::uint32_t restartAwayMs(float bootstrapVersion) {
    return bootstrapVersion < kSlowRestartBootstrapBelow ? kSlowRestartAwayMs : kRestartAwayMs;
}

class Power {
public:
    explicit Power(platform::Clock& clock) : clock_(clock) {}

    // The device goes away now, for awayMs.
    void goAway(std::uint32_t awayMs);
    // False while the device is away. The first call after it is back
    // returns true and counts a boot: the caller then boots the device.
    bool poll(bool& bootedNow);
    // Boots so far, counting the first; connections of an older boot are gone.
    std::uint64_t boots() const { return boots_; }
    // Milliseconds until the device is back; 0 when it is here.
    std::uint32_t awayForMs() const;

private:
    platform::Clock& clock_;
    bool away_ = false;
    std::uint32_t awayStartTick_ = 0;
    std::uint32_t awayMs_ = 0;
    std::uint64_t boots_ = 1;
};

}  // namespace z6
