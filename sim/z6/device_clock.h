// The Z6's real-time clock, in seconds since 1970, running from the
// simulator's clock. On the Pro variant it is battery-backed and keeps its
// time across restarts; without it the register counts seconds since boot.
// Writing the set register sets it. Attaches itself to the register map.
#pragma once

#include "platform/clock.h"
#include "z6/register_map.h"
#include "z6/scenario.h"

#include <cstdint>

namespace z6 {

class DeviceClock {
public:
    DeviceClock(const Scenario& scenario, platform::Clock& clock, RegisterMap& registers);
    DeviceClock(const DeviceClock&) = delete;
    DeviceClock& operator=(const DeviceClock&) = delete;

    void boot();
    std::uint32_t seconds() const;

private:
    platform::Clock& clock_;
    bool batteryBacked_;
    std::int64_t offsetSeconds_;  // device time minus the simulator's
};

}  // namespace z6
