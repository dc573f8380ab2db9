// "AIn Noise (16b counts)": the sets, their limits, the three attempts and
// what the details and console show, against a grounded input whose noise
// the test chooses set by set.
#include "support/model_device.h"

#include "sequencer/steps.h"
#include "z6/byte_order.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

namespace {

using testing_support::ModelDevice;

constexpr std::uint16_t kRaw15 = 50030;
constexpr std::uint16_t kRange15 = 40030;
constexpr std::uint16_t kResolution15 = 41515;

// Which noise set channel 15 is configured for (1 to 6), from its range and
// resolution.
int configuredSet(const z6::RegisterMap& registers) {
    const bool small = registers.getF32(kRange15) < 0.5f;
    switch (registers.getU16(kResolution15)) {
        case 1: return small ? 2 : 1;
        case 8: return small ? 4 : 3;
        default: return small ? 6 : 5;
    }
}

// Raw readings of channel 15 that alternate between base and base + span,
// span (raw) chosen per attempt (from 1) and set. From the failAt-th read
// on (counting from 1), reads fail.
struct NoisyInput {
    std::function<std::uint32_t(int attempt, int set)> span;
    std::uint32_t base = 0x800000;
    int failAt = 0;
    int reads = 0;
    int attempt = 0;  // a new one begins with set 1 after another set
    int lastSet = 0;
};

std::shared_ptr<NoisyInput> attach(ModelDevice& device, NoisyInput input) {
    auto state = std::make_shared<NoisyInput>(std::move(input));
    z6::RegisterMap& registers = device.model.registers();
    registers.onRead(kRaw15, [state, &registers](std::span<std::uint8_t> block) {
        const int set = configuredSet(registers);
        if (set == 1 && state->lastSet != 1) ++state->attempt;
        state->lastSet = set;
        ++state->reads;
        if (state->failAt != 0 && state->reads >= state->failAt) return z6::DeviceError::AnalogSettingInvalid;
        z6::storeU32(block.data(), state->base + (state->reads % 2 ? state->span(state->attempt, set) : 0));
        return z6::DeviceError::None;
    });
    return state;
}

constexpr std::uint32_t counts(double value) { return static_cast<std::uint32_t>(value * 256); }

// Quiet on every set: 3, 25, 0.45, 6.125, 0.203125, 3.5 counts.
std::uint32_t quiet(int, int set) {
    constexpr double spans[] = {0, 3.0, 25.0, 0.45, 6.125, 0.203125, 3.5};
    return counts(spans[set]);
}

struct NoiseRun {
    std::int32_t returned;
    ResultState state;
    std::string details;
    std::string console;
    int reads;
};

NoiseRun runNoise(NoisyInput input, bool pro) {
    ModelDevice device;
    const auto state = attach(device, std::move(input));
    TestContext context;
    context.handle = device.handle;
    context.isPro = pro;
    const std::int32_t returned = ainNoiseStep(&context);
    return {returned, context.resultState, context.details, device.console.output(), state->reads};
}

TEST(NoiseStep, OneQuietAttemptShowsFourNumbersOrSixOnAPro) {
    const NoiseRun plain = runNoise({quiet}, false);
    EXPECT_EQ(plain.returned, 0);
    EXPECT_EQ(plain.state, Passed);
    EXPECT_EQ(plain.details, "Noise: 3.0,25.0,0.45,6.12");
    EXPECT_EQ(plain.console, "Noise Step: 1 2 3 4");
    EXPECT_EQ(plain.reads, 4 * 128);

    const NoiseRun pro = runNoise({quiet}, true);
    EXPECT_EQ(pro.state, Passed);
    EXPECT_EQ(pro.details, "Noise: 3.0,25.0,0.45,6.12,0.20,3.50");
    EXPECT_EQ(pro.console, "Noise Step: 1 2 3 4 5 6 ");
    EXPECT_EQ(pro.reads, 4 * 128 + 2 * 16);
}

TEST(NoiseStep, ANoisySetIsTriedThreeTimesAndOnlyTheLastAttemptsNumbersRemain) {
    struct Case {
        const char* what;
        std::function<std::uint32_t(int, int)> span;
        ResultState state;
        const char* details;
        int attempts;
    } const cases[] = {
        {"set 3 at 1.25 counts on every attempt",
         [](int attempt, int set) { return set == 3 ? counts(1.25) : quiet(attempt, set) + attempt * 256; }, Fatal,
         "Noise: 6.0,28.0,1.25,9.12", 3},
        {"set 2 noisy on the first attempt only",
         [](int attempt, int set) { return attempt == 1 && set == 2 ? counts(200) : quiet(attempt, set); }, Passed,
         "Noise: 3.0,25.0,0.45,6.12", 2},
        {"every set at its limit (set 3 just under: raw steps are 1/256 count)", [](int, int set) {
             constexpr double limits[] = {0, 12.0, 110.0, 1.2, 18.0};
             return static_cast<std::uint32_t>(std::lround(limits[set] * 256));
         },
         Passed, "Noise: 12.0,110.0,1.20,18.00", 1},
    };
    for (const Case& c : cases) {
        const NoiseRun run = runNoise({c.span}, false);
        EXPECT_EQ(run.returned, 0) << c.what;
        EXPECT_EQ(run.state, c.state) << c.what;
        EXPECT_EQ(run.details, c.details) << c.what;
        std::string marks = "Noise Step:";
        for (int i = 0; i < c.attempts; ++i) marks += " 1 2 3 4";
        EXPECT_EQ(run.console, marks) << c.what;
    }
}

TEST(NoiseStep, OneRawStepAboveTheLimitFails) {
    // Raw 1000 to 4072 is 12.0 counts and passes; to 4073 it is 12.00390625.
    for (const std::uint32_t top : {4072u, 4073u}) {
        const auto span = [top](int attempt, int set) { return set == 1 ? top - 1000 : quiet(attempt, set); };
        const NoiseRun run = runNoise({span, 1000}, false);
        EXPECT_EQ(run.state, top == 4072 ? Passed : Fatal) << top;
        EXPECT_EQ(run.details, "Noise: 12.0,25.0,0.45,6.12") << top;
    }
}

TEST(NoiseStep, AFailedReadAnywhereInABatchEndsTheStepAtOnce) {
    // The first read of set 1, one inside set 2, and the last of set 4.
    for (const int failAt : {1, 200, 512}) {
        const NoiseRun run = runNoise({quiet, 0x800000, failAt}, false);
        EXPECT_EQ(run.returned, 1) << failAt;
        EXPECT_EQ(run.state, Fatal) << failAt;
        EXPECT_EQ(run.details, "Comm Error: (2380)") << failAt;
        EXPECT_EQ(run.reads, failAt) << "no read after the failed one";
    }
}

}  // namespace
