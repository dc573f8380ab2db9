// The one clock every step uses: sleeps, calendar time and a tick counter.
// Production uses the system clock; tests install a VirtualClock, where a
// sleep only advances time and costs nothing.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Blocks the caller for ms milliseconds.
    virtual void sleepMs(std::uint32_t ms) = 0;
    // Seconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t calendarSeconds() = 0;
    // Milliseconds since an arbitrary start; wraps around at 2^32.
    virtual std::uint32_t tickCount() = 0;
};

// The real clock of this platform.
Clock& systemClock();

// The clock in use: the system clock unless another was installed.
Clock& clock();

// Installs a clock (nullptr restores the system clock); returns the one
// that was in use so that a caller can put it back.
Clock* installClock(Clock* clock);

inline void sleepMs(std::uint32_t ms) { clock().sleepMs(ms); }
inline std::int64_t calendarSeconds() { return clock().calendarSeconds(); }
inline std::uint32_t tickCount() { return clock().tickCount(); }

}  // namespace platform
