// "Temperature Sensor": which windows apply on which station, and what the
// details then say.
#include "support/device_on_bus.h"

#include "sequencer/station_flags.h"
#include "sequencer/steps.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testing_support::DeviceOnBus;

constexpr std::uint16_t kInternalKelvin = 60052;
constexpr std::uint16_t kChannel5Volts = 10;  // external sensor, 10 mV per degree F

constexpr std::uint32_t kJig = flags::kTestJig;
constexpr std::uint32_t kCal = flags::kCalStation;

TEST(TemperatureSensor, WindowsByStation) {
    struct Case {
        std::uint32_t flags;
        float tin;
        float externalVolts;
        ResultState state;
        const char* details;
    } const cases[] = {
        {0, 298.15f, 0.0f, Passed, "Tin: 298.15K"},
        {kJig | kCal, 300.0f, 0.77f, Passed, "Tin: 300.00K, Tex: 298.15K"},  // 77 F
        {kJig | kCal, 309.0f, 0.77f, Fatal, "Int Temp: 309.00K, 290.00 to 308.00 required"},
        {kJig | kCal, 300.0f, 0.95f, Fatal, "Ext Temp: 308.15K, 290.00 to 308.00 required"},  // 95 F
        {kJig | kCal, 290.0f, 0.77f, Passed, "Tin: 290.00K, Tex: 298.15K"},
        {kJig | kCal, 308.0f, 0.77f, Passed, "Tin: 308.00K, Tex: 298.15K"},
        {kCal, 309.0f, 0.95f, Fatal, "Int Temp: 309.00K, 290.00 to 308.00 required"},
        {kCal, 300.0f, 0.95f, Passed, "Tin: 300.00K"},                       // no jig: no Tex
        {kJig, 300.0f, 0.95f, Passed, "Tin: 300.00K, Tex: 308.15K"},         // Tex never checked here
        {0, 279.0f, 0.0f, Warning, "Tin: 279.00K"},
        {0, 280.0f, 0.0f, Passed, "Tin: 280.00K"},
        {0, 315.0f, 0.0f, Passed, "Tin: 315.00K"},
        {kJig, 316.0f, 0.77f, Warning, "Tin: 316.00K, Tex: 298.15K"},
        {kCal, NAN, 0.0f, Fatal, "Int Temp: nanK, 290.00 to 308.00 required"},
    };
    for (const Case& c : cases) {
        DeviceOnBus device;
        device.pinF32(kInternalKelvin, {c.tin});
        device.pinF32(kChannel5Volts, {c.externalVolts});
        TestContext context;
        context.handle = device.handle;
        context.stationFlags = c.flags;

        EXPECT_EQ(temperatureSensorStep(&context), 0) << c.details;
        EXPECT_EQ(context.resultState, c.state) << c.details;
        EXPECT_STREQ(context.details, c.details);
    }
}

}  // namespace
