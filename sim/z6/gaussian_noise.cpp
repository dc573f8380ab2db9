#include "z6/gaussian_noise.h"

#include <cmath>
#include <numbers>

namespace z6 {

double GaussianNoise::uniform() {
    // 32 random bits; never 0, so the logarithm below stays finite.
    return (static_cast<double>(engine_()) + 1.0) / 4294967296.0;
}

double GaussianNoise::next() {
    // Box-Muller: two uniform values give two independent normal ones.
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    const double radius = std::sqrt(-2.0 * std::log(uniform()));
    const double angle = 2.0 * std::numbers::pi * uniform();
    spare_ = radius * std::sin(angle);
    haveSpare_ = true;
    return radius * std::cos(angle);
}

}  // namespace z6
