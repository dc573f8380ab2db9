#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace platform {
namespace {

class PosixClock : public Clock {
public:
    void sleepMs(std::uint32_t ms) override {
        timespec remaining{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        // Resume after signals until the whole time has passed.
        while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
        }
    }
    std::int64_t calendarSeconds() override { return static_cast<std::int64_t>(std::time(nullptr)); }
    std::uint32_t tickCount() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<std::uint32_t>(ms);
    }
};

}  // namespace

Clock& systemClock() {
    static PosixClock clock;
    return clock;
}

}  // namespace platform
