// "Vs and Current" and "Vmux" on readings at and around their limits.
#include "support/device_on_bus.h"

#include "sequencer/station_flags.h"
#include "sequencer/steps.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testing_support::DeviceOnBus;

constexpr std::uint16_t kChannel6Volts = 12;   // Vs, then the sense voltage
constexpr std::uint16_t kChannel12Volts = 24;  // Vm- divided
constexpr std::uint16_t kChannel13Volts = 26;  // Vm+ divided

TEST(VsAndCurrent, SupplyLimitsInSingleAndDoublePrecision) {
    const float justAbove4v2 = std::nextafter(4.2f, 5.0f);
    const float justAbove4v7 = std::nextafter(4.7f, 5.0f);
    struct Case {
        float vs;
        bool calStation;
        ResultState state;
        const char* details;
    } const cases[] = {
        {4.5f, false, Passed, "Vs: 4.500V, Is: 0.200A"},
        {4.5f, true, Fatal, "Vs too low to Cal: 4.500"},
        {4.1f, false, Fatal, "Vs too low: 4.100"},
        {4.1f, true, Fatal, "Vs too low: 4.100"},
        // The float nearest 4.2 is 4.19999980926513671875: below the double 4.2.
        {4.2f, false, Fatal, "Vs too low: 4.200"},
        {justAbove4v2, false, Passed, "Vs: 4.200V, Is: 0.200A"},
        {4.7f, true, Fatal, "Vs too low to Cal: 4.700"},
        {4.7f, false, Passed, "Vs: 4.700V, Is: 0.200A"},
        {justAbove4v7, true, Passed, "Vs: 4.700V, Is: 0.200A"},
        {5.5f, true, Passed, "Vs: 5.500V, Is: 0.200A"},
        {5.51f, false, Fatal, "Vs too high: 5.510"},
        {NAN, false, Fatal, "Vs too low: nan"},
    };
    for (const Case& c : cases) {
        DeviceOnBus device;
        device.pinF32(kChannel6Volts, {c.vs, 0.02f});
        TestContext context;
        context.handle = device.handle;
        context.stationFlags = flags::kTestJig | (c.calStation ? flags::kCalStation : 0);
        context.jigCal6 = 0.1;

        EXPECT_EQ(vsAndCurrentStep(&context), c.state == Passed ? 0 : 1) << c.vs << " " << c.calStation;
        EXPECT_EQ(context.resultState, c.state) << c.vs << " " << c.calStation;
        EXPECT_STREQ(context.details, c.details) << c.vs << " " << c.calStation;
    }
}

TEST(VsAndCurrent, WithoutTheJigItIsFatalWithoutTouchingTheDevice) {
    DeviceOnBus device;
    TestContext context;
    context.handle = device.handle;
    context.stationFlags = flags::kDefault & ~flags::kTestJig;

    EXPECT_EQ(vsAndCurrentStep(&context), 1);
    EXPECT_EQ(context.resultState, Fatal);
    EXPECT_STREQ(context.details, "Test Jig Required.");
    EXPECT_EQ(device.bus.exchanges(), 0u);
}

TEST(Vmux, BothRailsMustLieInTheirWindowsAndBothAreAlwaysShown) {
    // Vm+ = 2 x channel 13, Vm- = 4 x channel 12: a mix-up of the two
    // constants or channels shows.
    struct Case {
        float channel13;
        float channel12;
        ResultState state;
        const char* details;
    } const cases[] = {
        {6.25f, -3.125f, Passed, "Vm+: 12.500V, Vm-: -12.500V"},
        {5.5f, -3.5f, Passed, "Vm+: 11.000V, Vm-: -14.000V"},
        {7.0f, -2.75f, Passed, "Vm+: 14.000V, Vm-: -11.000V"},
        {7.005f, -3.125f, Fatal, "Vm+: 14.010V, Vm-: -12.500V"},
        {5.495f, -3.125f, Fatal, "Vm+: 10.990V, Vm-: -12.500V"},
        {6.25f, -2.725f, Fatal, "Vm+: 12.500V, Vm-: -10.900V"},
        {6.25f, -3.5025f, Fatal, "Vm+: 12.500V, Vm-: -14.010V"},
        {NAN, -3.125f, Fatal, "Vm+: nanV, Vm-: -12.500V"},
    };
    for (const Case& c : cases) {
        DeviceOnBus device;
        device.pinF32(kChannel13Volts, {c.channel13});
        device.pinF32(kChannel12Volts, {c.channel12});
        TestContext context;
        context.handle = device.handle;
        context.jigCal1 = 2.0;
        context.jigCal2 = 4.0;

        EXPECT_EQ(vmuxStep(&context), c.state == Passed ? 0 : 1) << c.details;
        EXPECT_EQ(context.resultState, c.state) << c.details;
        EXPECT_STREQ(context.details, c.details);
    }
}

}  // namespace
