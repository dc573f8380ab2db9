#include "z6/power.h"

namespace z6 {

void Power::goAway(std::uint32_t awayMs) {
    away_ = true;
    awayStartTick_ = clock_.tickCount();
    awayMs_ = awayMs;
}

std::uint32_t Power::awayForMs() const {
    if (!away_) return 0;
    const std::uint32_t elapsed = clock_.tickCount() - awayStartTick_;
    return elapsed >= awayMs_ ? 0 : awayMs_ - elapsed;
}

bool Power::poll(bool& bootedNow) {
    bootedNow = false;
    if (!away_) return true;
    if (awayForMs() > 0) return false;
    away_ = false;
    ++boots_;
    bootedNow = true;
    return true;
}

}  // namespace z6
