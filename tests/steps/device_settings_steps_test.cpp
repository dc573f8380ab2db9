// "Startup DAQ Settings", "Device Name", "System Time" and "Reset" against
// the model.
#include "support/device_on_bus.h"

#include "sequencer/station_flags.h"
#include "sequencer/steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using testing_support::DeviceOnBus;

TEST(StartupDaqSettings, FactorySettingsPassAndOthersAreRestoredOrReported) {
    struct Case {
        bool factory;
        std::uint32_t flags;
        ResultState state;
        const char* details;
        std::uint32_t indicatorAfter;
        std::uint64_t transactions;
    } const cases[] = {
        {true, flags::kDefault, Passed, "Factory settings detected", 1, 1},
        {false, flags::kDefault, Passed, "Changed to factory settings", 1, 2},
        {false, flags::kDefault & ~flags::kRestoreFactorySettings, Warning, "non-Factory settings detected", 0, 1},
    };
    for (const Case& c : cases) {
        z6::Scenario scenario;
        scenario.settings.factoryStartup = c.factory;
        DeviceOnBus device(scenario);
        TestContext context;
        context.handle = device.handle;
        context.stationFlags = c.flags;

        EXPECT_EQ(startupDaqSettingsStep(&context), 0) << c.details;
        EXPECT_EQ(context.resultState, c.state) << c.details;
        EXPECT_STREQ(context.details, c.details);
        EXPECT_EQ(device.model.registers().getU32(49000), c.indicatorAfter) << c.details;
        EXPECT_EQ(device.bus.exchanges(), c.transactions) << c.details;
    }
}

// 40 name bytes: the text, then padding.
std::vector<std::uint8_t> nameBytes(const std::string& text, std::uint8_t padding = 0) {
    std::vector<std::uint8_t> bytes(40, padding);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), bytes.size()), bytes.begin());
    return bytes;
}

TEST(DeviceName, ANameMustEndInTheSerialsLastFourDigitsOrItIsReplaced) {
    const std::string fortyLetters = "Line3_0042_abcdefghijklmnopqrstuvwxyz012";
    struct Case {
        const char* what;
        std::vector<std::uint8_t> stored;
        std::uint64_t serial;
        const char* details;
        std::vector<std::uint8_t> storedAfter;
    } const cases[] = {
        {"never written", nameBytes("", 0xFF), 470010042, "Name: My_Z6_0042", nameBytes("My_Z6_0042")},
        {"another prefix", nameBytes("Bench_0042"), 470010042, "Name: Bench_0042", nameBytes("Bench_0042")},
        {"another serial", nameBytes("My_Z6_0041"), 470010042, "Name: My_Z6_0042", nameBytes("My_Z6_0042")},
        {"suffix 0000", nameBytes("My_Z6_0041"), 470010000, "Name: My_Z6_0000", nameBytes("My_Z6_0000")},
        {"empty", nameBytes(std::string("\0y_Z6_0042", 10)), 470010042, "Name: My_Z6_0042", nameBytes("My_Z6_0042")},
        {"no zero byte", nameBytes(fortyLetters), 470010042, "Name: Line3_0042_abcdefghijklmnopqrstuvwxyz012",
         nameBytes(fortyLetters)},
    };
    for (const Case& c : cases) {
        DeviceOnBus device;
        device.model.registers().setRaw(60500, c.stored);
        TestContext context;
        context.handle = device.handle;
        context.serialNumber = c.serial;

        EXPECT_EQ(deviceNameStep(&context), 0) << c.what;
        EXPECT_EQ(context.resultState, Passed) << c.what;
        EXPECT_STREQ(context.details, c.details) << c.what;
        EXPECT_EQ(device.model.registers().raw(60500), c.storedAfter) << c.what;
    }
}

TEST(SystemTime, AProClockIsComparedAndSetWhenTheStationMay) {
    struct Case {
        const char* what;
        bool pro;
        std::int32_t offset;
        bool setClock;
        std::string details;  // station time: the virtual clock's start
    } const cases[] = {
        {"no clock without Pro", false, -3, true, "RTC not present; Pro only"},
        {"3 s behind, only compared", true, -3, false, "Z6: 1767225597, delta: -3"},
        {"5 s ahead, only compared", true, 5, false, "Z6: 1767225605, delta: 5"},
        {"3 s behind, set", true, -3, true, "delta: -3 . Set to: 1767225602"},  // read back 2 s later
    };
    for (const Case& c : cases) {
        z6::Scenario scenario;
        scenario.identity.options = c.pro ? 1 : 0;
        scenario.clock.offsetSeconds = c.offset;
        DeviceOnBus device(scenario);
        ASSERT_EQ(device.clock.clock.calendarSeconds(), 1767225600);
        TestContext context;
        context.handle = device.handle;
        context.isPro = c.pro;
        context.stationFlags = c.setClock ? flags::kSetClock : 0;

        EXPECT_EQ(systemTimeStep(&context), 0) << c.what;
        EXPECT_EQ(context.resultState, Passed) << c.what;
        EXPECT_EQ(context.details, c.details) << c.what;
        EXPECT_GE(device.bus.exchanges(), 1u) << c.what << ": the clock is read first";
        if (c.pro && c.setClock) {
            EXPECT_EQ(device.model.deviceClock().seconds(), device.clock.clock.calendarSeconds()) << c.what;
        }
    }
}

TEST(Reset, TheDeviceRestartsAndTheStepGoesOnOnceItIsBack) {
    DeviceOnBus device;
    TestContext context;
    context.handle = device.handle;

    EXPECT_EQ(resetStep(&context), 0);
    EXPECT_EQ(context.resultState, Passed);
    EXPECT_STREQ(context.details, "Soft reset issued");
    EXPECT_EQ(device.model.boots(), 2u);
    EXPECT_EQ(device.model.registers().getU16(48005), 1u);  // written once the device was back
    EXPECT_GE(device.clock.clock.elapsedMs(), z6::kSoftResetAwayMs);
}

}  // namespace
