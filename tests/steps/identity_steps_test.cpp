// Open Daqora and the three version steps against a Z6 model: the version
// limits at their edges, the Pro detection, and what each step reports when
// its read fails.
#include "sequencer/station_flags.h"
#include "sequencer/steps.h"
#include "support/model_device.h"
#include "support/scripted_device.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using testing_support::ModelDevice;

constexpr std::uint32_t kPlainStation = flags::kDefault & ~flags::kCalStation;

z6::Scenario withIdentity(void (*change)(z6::Identity&)) {
    z6::Scenario scenario;
    change(scenario.identity);
    return scenario;
}

// A step run on a context already holding the device's handle.
struct StepRun {
    explicit StepRun(const z6::Scenario& scenario, std::uint32_t stationFlags = flags::kDefault)
        : device(scenario) {
        context.handle = device.handle;
        context.stationFlags = stationFlags;
    }
    std::int32_t run(TestFunction step) { return step(&context); }
    std::string details() const { return context.details; }

    ModelDevice device;
    TestContext context;
};

TEST(OpenDaqora, AcceptsTheZ6ProductIdentifierWithinItsToleranceOnly) {
    const struct {
        float productId;
        ResultState state;
        const char* details;
    } cases[] = {
        {7.0f, Passed, "Daqora Z6 Found"},
        {7.000005f, Passed, "Daqora Z6 Found"},
        {6.999995f, Passed, "Daqora Z6 Found"},
        {7.00002f, Fatal, "Can not process HW ID: 7,"},
        {4.0f, Fatal, "Can not process HW ID: 4,"},
        {std::numeric_limits<float>::quiet_NaN(), Fatal, "Can not process HW ID: nan,"},
    };
    for (const auto& c : cases) {
        z6::Scenario scenario;
        scenario.identity.productId = c.productId;
        StepRun step(scenario);
        step.context.handle = 0;
        EXPECT_EQ(step.run(openDaqoraStep), c.state == Passed ? 0 : 1) << c.productId;
        EXPECT_EQ(step.context.resultState, c.state) << c.productId;
        EXPECT_EQ(step.details(), c.details) << c.productId;
        EXPECT_NE(step.context.handle, 0) << "the device stays open for the rest of the run";
        EXPECT_EQ(step.context.handle, step.context.usbHandle);
        DQM_Close(step.context.usbHandle);
    }
}

TEST(OpenDaqora, OptionBitZeroMarksTheProVariant) {
    for (const auto& [options, isPro, details] : {std::tuple{3u, true, "Daqora Z6-Pro Found"},
                                                  std::tuple{1u, true, "Daqora Z6-Pro Found"},
                                                  std::tuple{2u, false, "Daqora Z6 Found"}}) {
        z6::Scenario scenario;
        scenario.identity.options = options;
        StepRun step(scenario);
        step.context.isPro = !isPro;
        step.run(openDaqoraStep);
        EXPECT_EQ(step.context.resultState, Passed);
        EXPECT_EQ(step.details(), details) << options;
        EXPECT_EQ(step.context.isPro, isPro) << options;
        DQM_Close(step.context.usbHandle);
    }
}

TEST(OpenDaqora, PreparesTheDeviceAndWaitsFiveSecondsBeforeIdentifyingIt) {
    for (const std::uint32_t stationFlags : {flags::kDefault, flags::kDefault & ~flags::kTestJig}) {
        StepRun step({}, stationFlags);
        step.device.model.registers().setF32(30014, 1.5f);
        step.device.model.registers().setU32(4990, 7);
        step.run(openDaqoraStep);
        const z6::RegisterMap& registers = step.device.model.registers();
        EXPECT_EQ(registers.getU32(4990), 0u);
        EXPECT_EQ(registers.getU16(48005), 1);
        EXPECT_EQ(registers.getU16(48003), 1);
        EXPECT_EQ(registers.getU16(48004), 0);
        EXPECT_EQ(registers.getU16(43990), 1);
        EXPECT_EQ(registers.getF32(30014), (stationFlags & flags::kTestJig) ? 0.0f : 1.5f) << "jig stations only";
        EXPECT_EQ(step.device.clock.clock.sleptMs(), 5000u);
        DQM_Close(step.context.usbHandle);
    }
}

TEST(OpenDaqora, NoDeviceOnUsbIsFatal) {
    testing_support::ScopedClock<> clock;
    TestContext context;
    context.handle = 99;
    context.isPro = true;
    EXPECT_EQ(openDaqoraStep(&context), 1);
    EXPECT_EQ(context.resultState, Fatal);
    EXPECT_STREQ(context.details, "No Daqoras found (1010)");
    EXPECT_EQ(context.handle, 0);
    EXPECT_FALSE(context.isPro);
}

TEST(OpenDaqora, SendsItsSettingsInOrderAndReportsAFailedIdentificationRead) {
    testing_support::ScopedClock<> clock;
    testing_support::ScriptedDevice device;
    device.expectFeedback("01 13 7E 02 00 00 00 00");  // 4990 = 0
    device.expectFeedback("01 BB 85 01 00 01");        // 48005 = 1
    device.expectFeedback("01 BB 83 01 00 01");        // 48003 = 1
    device.expectFeedback("01 BB 84 01 00 00");        // 48004 = 0
    device.expectFeedback("01 AB D6 01 00 01");        // 43990 = 1
    device.expectFeedback("01 75 3E 02 00 00 00 00");  // 30014 = 0.0, jig station
    device.expectFailure(testing_support::feedbackMessage("00 EA 60 02 00 EA 6A 02"), DQM_ERR_TIMEOUT);
    TestContext context;
    context.stationFlags = flags::kDefault;
    EXPECT_EQ(openDaqoraStep(&context), 1);
    EXPECT_EQ(context.resultState, Fatal);
    EXPECT_STREQ(context.details, "Comm Error: (1031)");
    DQM_Close(context.usbHandle);
}

TEST(FirmwareVersion, JudgesFirmwareThenBootstrapAgainstTheirMinimums) {
    const struct {
        float firmware;
        float bootstrap;
        std::uint32_t chip;
        std::uint32_t stationFlags;
        ResultState state;
        const char* details;
    } cases[] = {
        {1.0255f, 0.96f, 73, flags::kDefault, Passed, "FW 1.0255, BS 0.9600, FC 73"},
        {1.02549f, 0.95999f, 73, flags::kDefault, Passed, "FW 1.0255, BS 0.9600, FC 73"},
        {1.0254f, 0.96f, 73, flags::kDefault, Fatal, "FW 1.0254, BS 0.9600, FC 73, FW 1.0255 Required"},
        {1.0254f, 0.96f, 73, kPlainStation, Warning, "FW 1.0254, BS 0.9600, FC 73, FW 1.0255 Required"},
        {1.0254f, 0.90f, 73, flags::kDefault, Fatal, "FW 1.0254, BS 0.9000, FC 73, FW 1.0255 Required"},
        {1.0255f, 0.95f, 74, flags::kDefault, Passed, "FW 1.0255, BS 0.9500, FC 74"},
        {1.0255f, 0.95f, 73, kPlainStation, Warning, "FW 1.0255, BS 0.9500, FC 73, BS 0.9600 Required"},
        {1.0255f, 0.9599f, 73, flags::kDefault, Fatal, "FW 1.0255, BS 0.9599, FC 73, BS 0.9600 Required"},
        {std::numeric_limits<float>::quiet_NaN(), 0.96f, 73, kPlainStation, Warning,
         "FW nan, BS 0.9600, FC 73, FW 1.0255 Required"},
    };
    for (const auto& c : cases) {
        z6::Scenario scenario;
        scenario.identity.firmwareVersion = c.firmware;
        scenario.identity.bootstrapVersion = c.bootstrap;
        scenario.identity.flashChipId = c.chip;
        StepRun step(scenario, c.stationFlags);
        EXPECT_EQ(step.run(firmwareVersionStep), 0);
        EXPECT_EQ(step.context.resultState, c.state) << c.details;
        EXPECT_EQ(step.details(), c.details);
        EXPECT_EQ(step.context.bootstrapVersion, static_cast<double>(c.bootstrap));
        if (!std::isnan(c.firmware)) {
            EXPECT_EQ(step.context.firmwareVersion, static_cast<double>(c.firmware));
        }
    }
}

TEST(FirmwareVersion, AFlashChipUnknownToTheFirmwareIsFatalOnAnyStation) {
    StepRun step(withIdentity([](z6::Identity& i) {
                     i.flashChipId = 99;
                     i.flashFlags = 0x41;
                     i.firmwareVersion = 1.0f;
                 }),
                 kPlainStation);
    EXPECT_EQ(step.run(firmwareVersionStep), 0);
    EXPECT_EQ(step.context.resultState, Fatal);
    EXPECT_EQ(step.details(), "Unknown flash chip: 99");
    EXPECT_EQ(step.device.console.output(), "Flash ID: 99, Flash flags: 41");
}

TEST(HardwareVersion, RecordsTheBoardRevisionAndPassesAfterAFirmwareWarning) {
    StepRun step(withIdentity([](z6::Identity& i) {
                     i.hardwareVersion = 1.5f;
                     i.firmwareVersion = 1.0f;
                 }),
                 kPlainStation);
    step.run(firmwareVersionStep);
    ASSERT_EQ(step.context.resultState, Warning);
    EXPECT_EQ(step.run(hardwareVersionStep), 0);
    EXPECT_EQ(step.context.resultState, Passed);
    EXPECT_EQ(step.details(), "HW 1.50");
}

TEST(RecoveryVersion, JudgesTheVersionInTheRecoveryHeader) {
    const struct {
        const char* versionBytes;
        ResultState state;
        const char* details;
    } cases[] = {
        {"3F 33 33 33", Passed, "0.7000"},
        {"3F 29 1D 15", Passed, "0.6606"},  // the float nearest 0.6606
        {"3F 28 F5 C3", Fatal, "0.6600, 0.6606 Required"},
        {"FF FF FF FF", Fatal, "No recovery version (FFFFFFFF), 0.6606 Required"},  // erased
        {"7F 80 00 00", Fatal, "No recovery version (7F800000), 0.6606 Required"},  // infinity
    };
    for (const auto& c : cases) {
        StepRun step({});
        z6::Flash& flash = step.device.model.flash();
        flash.erasePage(0x382000);
        flash.program(0x382000, testing_support::hex("44 51 46 58 05 F5 FC 6D"));
        flash.program(0x382008, testing_support::hex(c.versionBytes));
        EXPECT_EQ(step.run(recoveryVersionStep), 0);
        EXPECT_EQ(step.context.resultState, c.state) << c.versionBytes;
        EXPECT_EQ(step.details(), c.details);
    }
}

TEST(VersionSteps, AFailedReadIsACommErrorNotAJudgementOfValuesNeverRead) {
    for (const TestFunction versionStep : {firmwareVersionStep, hardwareVersionStep, recoveryVersionStep}) {
        StepRun step({});
        step.device.unplugAfter(0);
        EXPECT_EQ(step.run(versionStep), 1);
        EXPECT_EQ(step.context.resultState, Fatal);
        EXPECT_EQ(step.details(), "Comm Error: (1030)");
    }
}

}  // namespace
