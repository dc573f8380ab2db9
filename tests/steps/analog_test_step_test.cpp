// "Analog Test": without the jig nothing is sent; with it every loop-back
// row runs, and the first row out of tolerance is named.
#include "support/model_device.h"
#include "support/scripted_device.h"

#include "sequencer/station_flags.h"
#include "z6/byte_order.h"
#include "sequencer/steps.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::ModelDevice;

TEST(AnalogTest, WithoutTheJigNothingIsSent) {
    testing_support::ScriptedDevice device;  // any request would fail the test
    TestContext context;
    context.handle = device.handle();
    EXPECT_EQ(analogTestStep(&context), 0);
    EXPECT_EQ(context.resultState, Passed);
    EXPECT_STREQ(context.details, "w/o Jig test not implemented");
}

TEST(AnalogTest, EveryRowRunsAndTheFirstOutOfToleranceIsNamed) {
    struct Case {
        const char* what;
        std::vector<float> channel0;  // readings of rows 0 to 3; empty: the device's own
        ResultState state;
        const char* details;
    } const cases[] = {
        {"the device's own loop-backs", {}, Passed, "8 loop-back rows passed"},
        {"row 0 at 4.011 V", {4.011f, 0.4f, 0.04f, 0.004f}, Fatal,
         "Row 0, AIN0 10V: 4.0110 V, expected 4.0000 +- 0.0100 (1 of 8 rows failed)"},
        {"rows 0 and 3 out", {4.011f, 0.4f, 0.04f, 0.0051f}, Fatal,
         "Row 0, AIN0 10V: 4.0110 V, expected 4.0000 +- 0.0100 (2 of 8 rows failed)"},
        {"row 3 out, and a reading that is not a number", {4.0f, 0.4f, 0.04f, __builtin_nanf("")}, Fatal,
         "Row 3, AIN0 0.01V: nan V, expected 0.0040 +- 0.0010 (1 of 8 rows failed)"},
    };
    for (const Case& c : cases) {
        ModelDevice device;
        if (!c.channel0.empty()) {
            auto next = std::make_shared<std::size_t>(0);
            device.model.registers().onRead(0, [values = c.channel0, next](std::span<std::uint8_t> block) {
                z6::storeF32(block.data(), values[*next < values.size() ? (*next)++ : values.size() - 1]);
                return z6::DeviceError::None;
            });
        }
        TestContext context;
        context.handle = device.handle;
        context.stationFlags = flags::kTestJig;
        EXPECT_EQ(analogTestStep(&context), 0) << c.what;
        EXPECT_EQ(context.resultState, c.state) << c.what;
        EXPECT_STREQ(context.details, c.details) << c.what;
        EXPECT_EQ(device.traffic.reads(2), 4u) << c.what << ": channel 1's rows run too";
    }
}

}  // namespace
