// The self diagnostic's two balance rounds on the jig's reference source
// (channel 8 against 9): the reference is stepped until the raw reading sits
// near 0xC00000 on one range, then read on two others. Line 5 low puts the
// jig's divider in for round 2. The gain and divider faults each break
// their own part.
#include "support/device_on_bus.h"

#include "device/registers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using testing_support::DeviceOnBus;

constexpr std::int32_t kReference = 30014;
constexpr std::int32_t kRange = 40016;  // channel 8
constexpr std::int32_t kRaw = 50016;
constexpr float kStep = 0.0003f;
constexpr int kStepLimit = 500;

std::uint32_t raw(DeviceOnBus& device) {
    std::uint32_t value = 0;
    EXPECT_EQ(readAddressU32(device.handle, kRaw, &value), 0);
    return value;
}

// Steps the reference from start until the reading is within 0x1000 of
// 0xC00000: the steps taken, or nothing within kStepLimit.
std::optional<int> balance(DeviceOnBus& device, float start) {
    float volts = start;
    for (int step = 0; step < kStepLimit; ++step) {
        EXPECT_EQ(writeF32(device.handle, kReference, volts), 0);
        const std::uint32_t reading = raw(device);
        if (reading > 0xC01000) {
            volts -= kStep;
        } else if (reading < 0xBFF000) {
            volts += kStep;
        } else {
            return step;
        }
    }
    return std::nullopt;
}

struct Check {
    float range;
    std::uint32_t expected;
};
struct Round {
    const char* name;
    bool line5High;
    float balanceRange;
    float start;
    int fewestSteps;
    int mostSteps;
    Check checks[2];
};
constexpr Round kRounds[] = {
    {"round 1", true, 0.9f, 0.5f, 18, 25, {{9.9f, 0x891C40}, {0.09f, 0xFFFF00}}},
    {"round 2", false, 0.09f, 1.12f, 0, 5, {{0.9f, 0x891700}, {0.009f, 0xFFFF00}}},
};

// What goes wrong in the two rounds, one line each.
std::vector<std::string> selfDiagnosticFaults(DeviceOnBus& device) {
    std::vector<std::string> faults;
    EXPECT_EQ(configureAin(device.handle, 8, 1, 8, 9, 0), 0);
    for (const Round& round : kRounds) {
        EXPECT_EQ(writeReg2005(device.handle, round.line5High ? 1 : 0), 0);
        EXPECT_EQ(writeF32(device.handle, kRange, round.balanceRange), 0);
        const std::optional<int> steps = balance(device, round.start);
        if (!steps) {
            faults.push_back(std::string(round.name) + " does not settle");
            continue;
        }
        if (*steps < round.fewestSteps || *steps > round.mostSteps) {
            faults.push_back(std::string(round.name) + " settles after " + std::to_string(*steps) + " steps");
        }
        for (const Check& check : round.checks) {
            EXPECT_EQ(writeF32(device.handle, kRange, check.range), 0);
            const std::uint32_t reading = raw(device);
            const std::uint32_t off = reading > check.expected ? reading - check.expected : check.expected - reading;
            if (off > 0x80000) faults.push_back(std::string(round.name) + " at " + std::to_string(check.range) + " V");
        }
    }
    return faults;
}

TEST(Z6SelfDiagnostic, AGoodDeviceBalancesBothRoundsAndEachFaultBreaksItsOwnCheck) {
    struct Case {
        const char* scenario;
        std::vector<std::string> faults;
    } const cases[] = {
        {"healthy", {}},
        {"healthy-pro", {}},
        // Round 2 balances on the 0.1 V range too: it would need 11 V.
        {"gain-error-round1", {"round 1 at 0.090000 V", "round 2 does not settle"}},
        {"gain-error-round2", {"round 2 at 0.009000 V"}},
        {"balance-fails", {"round 2 does not settle"}},
    };
    for (const Case& c : cases) {
        DeviceOnBus device(c.scenario);
        EXPECT_EQ(selfDiagnosticFaults(device), c.faults) << c.scenario;
    }
}

float referenceVolts(DeviceOnBus& device) {
    float volts = 0.0f;
    EXPECT_EQ(readF32(device.handle, 16, &volts), 0);
    return volts;
}

TEST(Z6SelfDiagnostic, Line5LowDividesTheReferenceUntilTheNextBoot) {
    struct Case {
        const char* scenario;
        double divided;  // 1.12 V with line 5 low
    } const cases[] = {{"healthy", 1.12 * 0.0441}, {"balance-fails", 1.12}};
    for (const Case& c : cases) {
        DeviceOnBus device(c.scenario);
        ASSERT_EQ(configureAin(device.handle, 8, 0, 8, 9, 0), 0);
        ASSERT_EQ(writeF32(device.handle, kReference, 1.12f), 0);
        EXPECT_NEAR(referenceVolts(device), 1.12, 1e-3) << c.scenario;
        ASSERT_EQ(writeReg2005(device.handle, 0), 0);
        EXPECT_NEAR(referenceVolts(device), c.divided, 1e-3) << c.scenario;

        ASSERT_EQ(writeU32(device.handle, 61994, 0), 0);  // soft reset: line 5 an input again
        ASSERT_EQ(configureAin(device.handle, 8, 0, 8, 9, 0), 0);
        EXPECT_NEAR(referenceVolts(device), 1.12, 1e-3) << c.scenario;
    }
}

}  // namespace
