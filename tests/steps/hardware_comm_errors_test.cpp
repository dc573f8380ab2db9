// Every hardware step on a device that stops answering: at its first
// transaction (an invalid handle) and at a later one (a register that
// fails from its n-th access).
#include "support/device_on_bus.h"
#include "support/recording_console.h"

#include "sequencer/station_flags.h"
#include "sequencer/steps.h"

#include <gtest/gtest.h>

#include <bit>
#include <memory>

namespace {

using testing_support::DeviceOnBus;

constexpr std::uint32_t kAllFlags = flags::kDefault;  // jig, calibration, restore, set clock

struct Step {
    const char* name;
    TestFunction function;
};
constexpr Step kSteps[] = {
    {"Read Test Jig Info", readTestJigInfoStep}, {"Vs and Current", vsAndCurrentStep},
    {"Vmux", vmuxStep},                          {"Temperature Sensor", temperatureSensorStep},
    {"DAC Test", dacTestStep},                   {"Startup DAQ Settings", startupDaqSettingsStep},
    {"Device Name", deviceNameStep},             {"System Time", systemTimeStep},
    {"Self Diagnostic", selfDiagnosticStep},     {"DIO Jig Test", dioJigTestStep},
    {"DIO Short Test", dioShortTestStep},        {"AIn Noise (16b counts)", ainNoiseStep},
    {"Analog Test", analogTestStep},
};

TEST(HardwareStepsCommError, AFailedFirstTransactionIsFatalWithTheLibrarysCode) {
    testing_support::RecordingConsole console;  // the noise step's marks
    for (const Step& step : kSteps) {
        TestContext context;
        context.handle = 0;  // the library answers 1001: not open
        context.stationFlags = kAllFlags;
        context.isPro = true;
        EXPECT_EQ(step.function(&context), 1) << step.name;
        EXPECT_EQ(context.resultState, Fatal) << step.name;
        EXPECT_STREQ(context.details, "Comm Error: (1001)") << step.name;
    }

    // Test DIO Operation sends nothing with the jig; without it, it meets the failure too.
    {
        TestContext context;
        EXPECT_EQ(testDioOperationStep(&context), 1);
        EXPECT_STREQ(context.details, "Comm Error: (1001)");
    }

    // Reset does not look at its writes.
    TestContext context;
    context.handle = 0;
    EXPECT_EQ(resetStep(&context), 0);
    EXPECT_EQ(context.resultState, Passed);
    EXPECT_STREQ(context.details, "Soft reset issued");
}

TEST(HardwareStepsCommError, ALaterFailureReplacesWhatTheStepHadWritten) {
    struct Case {
        const char* what;
        TestFunction step;
        std::uint16_t address;
        bool write;
        int failFrom;           // the first failing access of that register, counting from 1
        std::uint32_t answer;   // what the accesses before it read
    } const cases[] = {
        {"Vs and Current: the sense reading", vsAndCurrentStep, 12, false, 2, std::bit_cast<std::uint32_t>(5.0f)},
        {"Vmux: the Vm+ reading", vmuxStep, 26, false, 1, 0},
        {"Temperature Sensor: the external sensor", temperatureSensorStep, 10, false, 1, 0},
        {"DAC Test: the third DAC1 reading", dacTestStep, 2, false, 3, std::bit_cast<std::uint32_t>(3.75f)},
        {"Device Name: writing the new name", deviceNameStep, 60500, true, 1, 0},
        {"System Time: reading back the clock set", systemTimeStep, 61500, false, 2, 1767225600},
    };
    for (const Case& c : cases) {
        z6::Scenario scenario;
        scenario.identity.options = 1;
        scenario.settings.name = "";  // to be replaced
        DeviceOnBus device(scenario);
        auto accesses = std::make_shared<int>(0);
        const auto outcome = [accesses, failFrom = c.failFrom] {
            return ++*accesses >= failFrom ? z6::DeviceError::AnalogSettingInvalid : z6::DeviceError::None;
        };
        if (c.write) {
            device.model.registers().onWrite(c.address, [outcome](std::span<const std::uint8_t>) { return outcome(); });
        } else {
            device.model.registers().onRead(c.address, [outcome, answer = c.answer](std::span<std::uint8_t> block) {
                z6::storeU32(block.data(), answer);
                return outcome();
            });
        }
        TestContext context;
        context.handle = device.handle;
        context.stationFlags = kAllFlags;
        context.isPro = true;
        context.jigCal6 = 0.1;

        EXPECT_EQ(c.step(&context), 1) << c.what;
        EXPECT_EQ(context.resultState, Fatal) << c.what;
        EXPECT_STREQ(context.details, "Comm Error: (2380)") << c.what;
    }
}

}  // namespace
