// Installs a clock for the life of the object and puts the previous one back.
#pragma once

#include "platform/clock.h"
#include "platform/virtual_clock.h"

namespace testing_support {

// Installs a virtual clock for the life of the object.
template <class ClockType = platform::VirtualClock>
class ScopedClock {
public:
    ScopedClock() { previous_ = platform::installClock(&clock); }
    ~ScopedClock() { platform::installClock(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
    ClockType clock;

private:
    platform::Clock* previous_;
};

}  // namespace testing_support
