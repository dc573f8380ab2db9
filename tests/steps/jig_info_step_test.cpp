// "Read Test Jig Info" against jigs of every kind, and the exact request
// it sends.
#include "support/device_on_bus.h"
#include "support/scripted_device.h"

#include "sequencer/steps.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testing_support::DeviceOnBus;

TEST(ReadTestJigInfo, ChecksTheCodeFirstThenTheTypeAndKeepsWhatTheMemoryHolds) {
    struct Case {
        const char* what;
        std::uint32_t type;
        std::uint32_t code;       // in the memory
        std::uint32_t wiredCode;  // on lines 0 to 4
        bool blank;
        ResultState state;
        const char* details;
    } const cases[] = {
        {"good jig", 6, 3, 3, false, Passed, "Jig found: (6,3,3)"},
        {"code 0", 6, 0, 0, false, Passed, "Jig found: (6,0,0)"},
        {"blank memory", 6, 3, 3, true, Fatal, "Code mismatch: (65535,255,3)"},
        {"memory code 35 is not line code 3", 6, 35, 3, false, Fatal, "Code mismatch: (6,35,3)"},
        {"wrong type", 5, 3, 3, false, Fatal, "Wrong Jig Type: (5,3,3)"},
        {"both wrong: the code is reported", 5, 3, 4, false, Fatal, "Code mismatch: (5,3,4)"},
    };
    for (const Case& c : cases) {
        z6::Scenario scenario;
        scenario.jig.type = c.type;
        scenario.jig.code = c.code;
        scenario.jig.wiredCode = c.wiredCode;
        scenario.jig.memoryBlank = c.blank;
        DeviceOnBus device(scenario);
        TestContext context;
        context.handle = device.handle;

        EXPECT_EQ(readTestJigInfoStep(&context), 0) << c.what;
        EXPECT_EQ(context.resultState, c.state) << c.what;
        EXPECT_STREQ(context.details, c.details) << c.what;
        EXPECT_EQ(context.jigType, c.blank ? 0xFFFF : static_cast<std::int32_t>(c.type)) << c.what;
        EXPECT_EQ(context.jigCode, c.blank ? 0xFF : static_cast<std::int32_t>(c.code)) << c.what;
        // The constants are kept whatever the checks find: blank memory
        // gives the float of 0xFFFFFFFF, not a number.
        const z6::JigSettings& jig = scenario.jig;
        const double expected[] = {jig.vmPlusRatio, jig.vmMinusRatio, jig.load200uAOhms,
                                   jig.load10uAOhms, jig.senseOhms,   jig.biasShuntOhms};
        const double kept[] = {context.jigCal1, context.jigCal2, context.jigCal3,
                               context.jigCal5, context.jigCal6, context.jigCal7};
        for (int i = 0; i < 6; ++i) {
            if (c.blank) {
                EXPECT_TRUE(std::isnan(kept[i])) << c.what << " constant " << i;
            } else {
                EXPECT_EQ(kept[i], expected[i]) << c.what << " constant " << i;
            }
        }
    }
}

TEST(ReadTestJigInfo, AFailedExchangeClearsTheIdentityAndLeavesTheConstants) {
    z6::Scenario noJig;
    noJig.jig.present = false;  // nothing answers the exchange
    DeviceOnBus device(noJig);
    TestContext context;
    context.handle = device.handle;
    context.jigType = 6;
    context.jigCode = 3;
    context.jigCal6 = 0.1;

    EXPECT_EQ(readTestJigInfoStep(&context), 1);
    EXPECT_EQ(context.resultState, Fatal);
    EXPECT_STREQ(context.details, "Comm Error: (2383)");
    EXPECT_EQ(context.jigType, 0);
    EXPECT_EQ(context.jigCode, 0);
    EXPECT_EQ(context.jigCal6, 0.1);
}

TEST(ReadTestJigInfo, OneTransactionSetsUpTheExchangeReadsTheRecordAndPort0) {
    testing_support::ScriptedDevice device;
    device.expectFeedback(
        "01 13 EC 0B 00 07 00 06 FF FF 00 00 00 50 00 00 00 00 00 00 00 01 00 20 00 00"  // write 5100
        " 00 14 28 10"                                                                    // read 5160, 16 registers
        " 00 09 C4 01",                                                                   // read 2500, 1 register
        "00 0C 00 06 40 40 00 00 C0 40 00 00 46 9C 40 00 3F 80 00 00"
        " 47 43 50 00 3D CC CC CD 47 C3 50 00"  // the record: code 12, type 6, seven constants
        " FF EC");                              // port 0: bits above line 4 do not count
    TestContext context;
    context.handle = device.handle();

    EXPECT_EQ(readTestJigInfoStep(&context), 0);
    EXPECT_EQ(context.resultState, Passed);
    EXPECT_STREQ(context.details, "Jig found: (6,12,12)");
    EXPECT_EQ(context.jigCal1, 3.0);
    EXPECT_EQ(context.jigCal2, -3.0);
    EXPECT_EQ(context.jigCal3, 20000.0);
    EXPECT_EQ(context.jigCal5, 50000.0);
    EXPECT_EQ(context.jigCal6, static_cast<double>(0.1f));
    EXPECT_EQ(context.jigCal7, 100000.0);
}

}  // namespace
