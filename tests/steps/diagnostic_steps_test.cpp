// "Self Diagnostic" and "Check SD Card": the diagnostic codes, the two
// balance rounds and their gain checks, the balance bound, failed reads
// inside the rounds, and the SD-card bit.
#include "support/model_device.h"

#include "sequencer/station_flags.h"
#include "z6/byte_order.h"
#include "sequencer/steps.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::ModelDevice;

constexpr std::uint16_t kChannel8Raw = 50016;
constexpr std::uint16_t kStimulus = 30014;
constexpr std::uint16_t kLine5 = 2005;

struct Outcome {
    std::int32_t returned;
    ResultState state;
    std::string details;
};

Outcome run(TestFunction step, ModelDevice& device, std::uint32_t stationFlags, bool pro = false) {
    TestContext context;
    context.handle = device.handle;
    context.stationFlags = stationFlags;
    context.isPro = pro;
    const std::int32_t returned = step(&context);
    return {returned, context.resultState, context.details};
}

// From now on channel 8's raw reads give these values in turn, the last one
// again once they are used up; the failAt-th read (from 1) fails.
void pinRaw(ModelDevice& device, std::vector<std::uint32_t> values, int failAt = 0) {
    device.model.registers().onRead(
        kChannel8Raw, [values, failAt, reads = 0](std::span<std::uint8_t> block) mutable {
            const std::size_t next = static_cast<std::size_t>(reads++);
            if (reads == failAt) return z6::DeviceError::AnalogSettingInvalid;
            z6::storeU32(block.data(), values[next < values.size() ? next : values.size() - 1]);
            return z6::DeviceError::None;
        });
}

z6::Scenario withDiagnosticCode(std::uint16_t code) {
    z6::Scenario scenario;
    scenario.faults.diagnosticCode = code;
    return scenario;
}

TEST(SelfDiagnostic, ANonzeroCodeIsFatalAndWithoutTheJigCodeZeroIsTheWholeStep) {
    struct Case {
        std::uint16_t code;
        std::uint32_t flags;
        std::int32_t returned;
        ResultState state;
        const char* details;
    } const cases[] = {
        {2950, flags::kDefault, 1, Fatal, "Main OSC Failure. (2950)"},
        {7, flags::kDefault, 1, Fatal, "Diagnostic code: 7"},
        {0, flags::kDefault & ~flags::kTestJig, 0, Passed, "No problems detected."},
    };
    for (const Case& c : cases) {
        ModelDevice device(withDiagnosticCode(c.code));
        const Outcome got = run(selfDiagnosticStep, device, c.flags);
        EXPECT_EQ(got.returned, c.returned) << c.code;
        EXPECT_EQ(got.state, c.state) << c.code;
        EXPECT_EQ(got.details, c.details) << c.code;
        EXPECT_EQ(device.traffic.requests().size(), 1u) << "only the code is read";
    }
}

TEST(SelfDiagnostic, AGoodDeviceInTheJigBalancesBothRoundsAndLeavesLine5High) {
    ModelDevice device;
    const Outcome got = run(selfDiagnosticStep, device, flags::kDefault);
    EXPECT_EQ(got.returned, 0);
    EXPECT_EQ(got.state, Passed);
    EXPECT_EQ(got.details, "No problems detected.");
    EXPECT_EQ(device.traffic.u16Writes(kLine5), (std::vector<std::uint16_t>{1, 0, 1}));
    const std::size_t tries = device.traffic.u32Writes(kStimulus).size();
    EXPECT_GE(tries, 15u);
    EXPECT_LE(tries, 40u);
}

TEST(SelfDiagnostic, GainChecksPassUpToTheirToleranceAndReportTheFirstBeyondIt) {
    constexpr std::uint32_t kBalanced = 0xC00000;
    constexpr std::uint32_t d = 0x80000;
    struct Case {
        const char* what;
        std::vector<std::uint32_t> raw;  // balance, three checks, balance, three checks
        std::int32_t returned;
        ResultState state;
        const char* details;
    } const cases[] = {
        {"every check exactly at its tolerance",
         {kBalanced, 0x891C40 + d, 0xC03300 - d, 0xFFFF00 - d, kBalanced, 0x891700 - d, 0xC00B80 + d, 0xFFFF00 - d},
         0, Passed, "No problems detected."},
        {"round 1, 10 V, 0x100000 away", {kBalanced, 0x991C40}, 1, Fatal, "Gain error, Round 1, 10V,  991C40"},
        {"round 2, 0.01 V, one past",
         {kBalanced, 0x891C40, 0xC03300, 0xFFFF00, kBalanced, 0x891700, 0xC00B80, 0xFFFF00 - d - 1}, 1, Fatal,
         "Gain error, Round 2, 0.01V,  F7FEFF"},
    };
    for (const Case& c : cases) {
        ModelDevice device;
        pinRaw(device, c.raw);
        const Outcome got = run(selfDiagnosticStep, device, flags::kDefault);
        EXPECT_EQ(got.returned, c.returned) << c.what;
        EXPECT_EQ(got.state, c.state) << c.what;
        EXPECT_EQ(got.details, c.details) << c.what;
    }
}

TEST(SelfDiagnostic, AFirstReadingInsideTheWindowEndsTheBalanceAfterOneWriteAndOneRead) {
    ModelDevice device;
    pinRaw(device, {0xBFF000, 0x891C40, 0xC03300, 0xFFFF00, 0xC01000, 0x891700, 0xC00B80, 0xFFFF00});
    EXPECT_EQ(run(selfDiagnosticStep, device, flags::kDefault).state, Passed);
    const auto stimulus = device.traffic.u32Writes(kStimulus);
    ASSERT_EQ(stimulus.size(), 2u);
    EXPECT_EQ(stimulus[0].value, 0x3F000000u);  // 0.5
    EXPECT_EQ(stimulus[1].value, 0x3F8F5C29u);  // 1.12
}

TEST(SelfDiagnostic, ABalanceThatNeverSettlesStopsAtItsBound) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> raw;
        const char* details;
        std::size_t stimulusWrites;
    } const cases[] = {
        {"round 1 reads low for ever", {0x800000}, "Balance not reached, Round 1, 500 steps, last 800000", 500},
        {"round 2 reads high for ever", {0xC00000, 0x891C40, 0xC03300, 0xFFFF00},
         "Balance not reached, Round 2, 500 steps, last FFFF00", 501},
    };
    for (const Case& c : cases) {
        ModelDevice device;
        pinRaw(device, c.raw);
        const Outcome got = run(selfDiagnosticStep, device, flags::kDefault);
        EXPECT_EQ(got.returned, 1) << c.what;
        EXPECT_EQ(got.state, Fatal) << c.what;
        EXPECT_EQ(got.details, c.details) << c.what;
        EXPECT_EQ(device.traffic.u32Writes(kStimulus).size(), c.stimulusWrites) << c.what;
    }
}

TEST(SelfDiagnostic, AFailedReadInsideARoundIsACommErrorNotAStaleReading) {
    // Without the check a failed read would leave the last reading standing.
    const std::vector<std::uint32_t> raw = {0x800000, 0xC00000, 0x891C40, 0xC03300, 0xFFFF00,
                                            0x800000, 0xC00000, 0x891700, 0xC00B80, 0xFFFF00};
    // Round 1's balance and its last try, its 1 V check; the same in round 2.
    for (const int failAt : {1, 2, 4, 6, 7, 9}) {
        ModelDevice device;
        pinRaw(device, raw, failAt);
        const Outcome got = run(selfDiagnosticStep, device, flags::kDefault);
        EXPECT_EQ(got.returned, 1) << failAt;
        EXPECT_EQ(got.state, Fatal) << failAt;
        EXPECT_EQ(got.details, "Comm Error: (2380)") << failAt;
    }
}

TEST(CheckSdCard, OnlyAProDeviceIsAskedAndItsCardMustBeMounted) {
    struct Case {
        std::uint32_t options;
        bool pro;
        std::int32_t returned;
        ResultState state;
        const char* details;
    } const cases[] = {
        {0x8, false, 0, Passed, "Pro-Only, Skipping."},  // bit 3 not looked at
        {0x9, true, 0, Passed, "SD Card Mounted."},
        {0x1, true, 1, Fatal, "SD Card could not be mounted."},
    };
    for (const Case& c : cases) {
        z6::Scenario scenario;
        scenario.identity.options = c.options;
        ModelDevice device(scenario);
        const Outcome got = run(checkSdCardStep, device, flags::kDefault, c.pro);
        EXPECT_EQ(got.returned, c.returned) << c.options;
        EXPECT_EQ(got.state, c.state) << c.options;
        EXPECT_EQ(got.details, c.details) << c.options;
    }

    TestContext context;  // handle 0: the library answers 1001
    context.isPro = true;
    EXPECT_EQ(checkSdCardStep(&context), 1);
    EXPECT_EQ(context.resultState, Fatal);
    EXPECT_STREQ(context.details, "Comm error:  1001");
}

}  // namespace
