// "DAC Test": the windows of the two phases and which failure is reported.
#include "support/device_on_bus.h"

#include "sequencer/steps.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testing_support::DeviceOnBus;

constexpr std::uint16_t kChannel0Volts = 0;  // DAC0 loop-back
constexpr std::uint16_t kChannel1Volts = 2;  // DAC1 loop-back

// 16 readings in phase A (DAC0 low, DAC1 high), then 16 in phase B.
std::vector<float> phases(float a, float b) {
    std::vector<float> readings(16, a);
    readings.insert(readings.end(), 16, b);
    return readings;
}

TEST(DacTest, TheFirstMeanOutsideItsWindowIsReported) {
    struct Case {
        std::vector<float> dac0;
        std::vector<float> dac1;
        ResultState state;
        const char* details;
    } const cases[] = {
        {phases(0.625f, 3.75f), phases(3.75f, 0.625f), Passed, "All tests passed."},
        {phases(0.5f, 3.875f), phases(3.625f, 0.75f), Passed, "All tests passed."},
        {phases(0.75f, 3.625f), phases(3.875f, 0.5f), Passed, "All tests passed."},
        {phases(0.76f, 3.75f), phases(3.75f, 0.625f), Fatal, "DAC0 0x2000 Error: 0.760, "},
        {phases(0.625f, 3.75f), phases(0.0f, 0.0f), Fatal, "DAC1 0xC000 Error: 0.000, "},
        {phases(0.0f, 0.0f), phases(0.0f, 0.0f), Fatal, "DAC0 0x2000 Error: 0.000, "},  // DAC1 not judged
        {phases(3.75f, 0.625f), phases(0.625f, 3.75f), Fatal, "DAC0 0x2000 Error: 3.750, "},  // swapped
        {phases(0.625f, 3.6f), phases(3.75f, 0.625f), Fatal, "DAC0 0xC000 Error: 3.600, "},
        {phases(0.625f, 3.75f), phases(3.75f, 0.49f), Fatal, "DAC1 0x2000 Error: 0.490, "},
    };
    for (const Case& c : cases) {
        DeviceOnBus device;
        device.pinF32(kChannel0Volts, c.dac0);
        device.pinF32(kChannel1Volts, c.dac1);
        TestContext context;
        context.handle = device.handle;

        EXPECT_EQ(dacTestStep(&context), 0) << c.details;
        EXPECT_EQ(context.resultState, c.state) << c.details;
        EXPECT_STREQ(context.details, c.details);
    }
}

TEST(DacTest, TheMeanOfSixteenReadingsIsJudgedAndTheDacsStayAtThePhaseBCodes) {
    {
        std::vector<float> dac0 = phases(0.5f, 3.75f);
        dac0[7] = 0.4f;  // mean 0.49375
        DeviceOnBus device;
        device.pinF32(kChannel0Volts, dac0);
        TestContext context;
        context.handle = device.handle;
        dacTestStep(&context);
        EXPECT_STREQ(context.details, "DAC0 0x2000 Error: 0.494, ");
    }
    DeviceOnBus device;  // the model's own DACs and loop-backs
    TestContext context;
    context.handle = device.handle;
    dacTestStep(&context);
    EXPECT_STREQ(context.details, "All tests passed.");
    EXPECT_EQ(device.model.registers().getU32(51000), 0xC000u);
    EXPECT_EQ(device.model.registers().getU32(51002), 0x2000u);
}

}  // namespace
