// Reproducible noise: normally distributed values from a seeded generator.
// The generator's sequence is fixed by the language standard and the transform is
// done here (not by a library distribution), so a seed gives the same
// sequence on every run and with every standard library.
#pragma once

#include <cstdint>
#include <random>

namespace z6 {

class GaussianNoise {
public:
    explicit GaussianNoise(std::uint32_t seed) : engine_(seed) {}

    // The next value of mean 0 and standard deviation 1.
    double next();

private:
    double uniform();  // in (0, 1]

    std::mt19937 engine_;
    bool haveSpare_ = false;
    double spare_ = 0.0;
};

}  // namespace z6
