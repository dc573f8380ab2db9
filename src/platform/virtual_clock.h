// A clock for tests and in-process simulation: time moves only when someone
// sleeps or advances it, so a 5 s sleep returns at once.
#pragma once

#include "platform/clock.h"

#include <cstdint>

namespace platform {

class VirtualClock : public Clock {
public:
    // 2026-01-01 00:00:00 UTC, a fixed, reproducible start.
    static constexpr std::int64_t kDefaultStartSeconds = 1767225600;

    explicit VirtualClock(std::int64_t startCalendarSeconds = kDefaultStartSeconds,
                          std::uint32_t startTicks = 0)
        : startSeconds_(startCalendarSeconds), startTicks_(startTicks) {}

    void sleepMs(std::uint32_t ms) override {
        advanceMs(ms);
        sleptMs_ += ms;
        ++sleepCount_;
    }
    std::int64_t calendarSeconds() override {
        return startSeconds_ + static_cast<std::int64_t>(elapsedMs_ / 1000);
    }
    std::uint32_t tickCount() override {
        return static_cast<std::uint32_t>(startTicks_ + elapsedMs_);
    }

    void advanceMs(std::uint64_t ms) { elapsedMs_ += ms; }
    std::uint64_t elapsedMs() const { return elapsedMs_; }
    // Total time and number of calls spent in sleepMs, for tests of pacing.
    std::uint64_t sleptMs() const { return sleptMs_; }
    std::uint64_t sleepCount() const { return sleepCount_; }

private:
    std::int64_t startSeconds_;
    std::uint32_t startTicks_;
    std::uint64_t elapsedMs_ = 0;
    std::uint64_t sleptMs_ = 0;
    std::uint64_t sleepCount_ = 0;
};

}  // namespace platform
