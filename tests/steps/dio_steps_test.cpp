// "DIO Jig Test", "DIO Short Test" and "Test DIO Operation": the bytes of
// the jig patterns, and what each step reports for good lines, stuck lines
// and shorts.
#include "support/model_device.h"
#include "support/scripted_device.h"

#include "sequencer/station_flags.h"
#include "sequencer/steps.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::ModelDevice;
using testing_support::ScriptedDevice;

struct Outcome {
    std::int32_t returned;
    ResultState state;
    std::string details;
};

Outcome run(TestFunction step, std::int32_t handle, std::uint32_t stationFlags = 0) {
    TestContext context;
    context.handle = handle;
    context.stationFlags = stationFlags;
    const std::int32_t returned = step(&context);
    return {returned, context.resultState, context.details};
}

// A device out of any jig, with the given line faults.
z6::Scenario withoutJig(std::uint32_t stuckHigh = 0, std::uint32_t stuckLow = 0, std::uint32_t shorted = 0) {
    z6::Scenario scenario;
    scenario.jig.present = false;
    scenario.faults.dioStuckHigh = stuckHigh;
    scenario.faults.dioStuckLow = stuckLow;
    scenario.faults.dioShorted = shorted;
    return scenario;
}

TEST(DioJigTest, OnTheWireTheFirstPatternThatReadsBackWrongIsFatal) {
    ScriptedDevice device;
    // States of ports 1 to 3 (2501-2503), their directions (2601-2603), then
    // the four port states as bytes. Port 0's bytes take no part.
    device.expectFeedback("01 09 C5 01 00 00  01 09 C6 01 00 00  01 09 C7 01 00 00"
                          "01 0A 29 01 00 00  01 0A 2A 01 00 00  01 0A 2B 01 00 00  00 09 C4 04",
                          "AB CD 00 7F 00 0F 00 07");
    device.expectFeedback("01 09 C5 01 00 00  01 09 C6 01 00 00  01 09 C7 01 00 00"
                          "01 0A 29 01 00 15  01 0A 2A 01 00 05  01 0A 2B 01 00 07  00 09 C4 04",
                          "12 34 00 41 00 00 00 00");
    const Outcome got = run(dioJigTestStep, device.handle());
    EXPECT_EQ(got.returned, 0);
    EXPECT_EQ(got.state, Fatal);
    EXPECT_EQ(got.details, "E/C/M 0,2,4 output low: 0x00000041");
}

TEST(DioJigTest, AGoodDeviceInTheJigPassesEveryPatternAndAStuckLineFailsItsFirst) {
    {
        ModelDevice device;
        const Outcome got = run(dioJigTestStep, device.handle);
        EXPECT_EQ(got.state, Passed);
        EXPECT_EQ(got.details, "8 tests passed");
        EXPECT_EQ(device.traffic.requests().size(), 8u);
    }
    ModelDevice device(z6::loadScenario("dio-jig-line-stuck-high"));  // E0, tied to E1 by the jig
    const Outcome got = run(dioJigTestStep, device.handle);
    EXPECT_EQ(got.state, Fatal);
    EXPECT_EQ(got.details, "E/C/M 0,2,4 output low: 0x00000043");
}

TEST(DioShortTest, GoodLinesShortsAndStuckLines) {
    struct Case {
        const char* what;
        z6::Scenario scenario;
        ResultState state;
        const char* details;
    } const cases[] = {
        {"good lines", withoutJig(), Passed, "All tests passed"},
        {"lines 3 and 4 shorted", withoutJig(0, 0, 0x18), Error, "Possible short DIO#: 3, 4"},
        // The all-high check fails first (Fatal); line 0's walk then finds
        // line 9 low with it and has the last word.
        {"line 9 stuck low", withoutJig(0, 0x200), Error, "Possible short DIO#: 0, 9"},
        {"line 9 stuck high", withoutJig(0x200), Error, "DIO# 9 will not go low"},
        {"line 22 stuck high", withoutJig(0x400000), Error, "DIO# 22 will not go low"},
        {"lines 0 and 22 shorted", withoutJig(0, 0, 0x400001), Error, "Possible short DIO#: 0, 22"},
    };
    for (const Case& c : cases) {
        ModelDevice device(c.scenario);
        const Outcome got = run(dioShortTestStep, device.handle);
        EXPECT_EQ(got.returned, 0) << c.what;
        EXPECT_EQ(got.state, c.state) << c.what;
        EXPECT_EQ(got.details, c.details) << c.what;
    }
}

TEST(TestDioOperation, WithTheJigNothingIsSent) {
    ScriptedDevice device;  // any request would fail the test
    const Outcome got = run(testDioOperationStep, device.handle(), flags::kTestJig);
    EXPECT_EQ(got.returned, 0);
    EXPECT_EQ(got.state, Passed);
    EXPECT_EQ(got.details, "Not run with the test jig");
}

TEST(TestDioOperation, GoodPortsPassAndAStuckLineFailsEveryPassOfItsPort) {
    {
        ModelDevice device(withoutJig());
        const Outcome got = run(testDioOperationStep, device.handle);
        EXPECT_EQ(got.state, Passed);
        EXPECT_EQ(got.details, "23 passes of 4 ports passed");
    }
    struct Case {
        const char* what;
        z6::Scenario scenario;
        const char* details;
    } const cases[] = {
        // Line 9 is port 1's line 1: the first step, all lines low, reads it high.
        {"line 9 stuck high", withoutJig(0x200), "Port 1, pass 1, phase 1, step 0: 0x02 expected 0x00"},
        // Line 20 is port 3's line 0, the first the walk drives high alone.
        {"line 20 stuck low", withoutJig(0, 0x100000), "Port 3, pass 1, phase 1, step 1: 0x00 expected 0x01"},
    };
    for (const Case& c : cases) {
        ModelDevice device(c.scenario);
        const Outcome got = run(testDioOperationStep, device.handle);
        EXPECT_EQ(got.returned, 0) << c.what;
        EXPECT_EQ(got.state, Fatal) << c.what;
        EXPECT_EQ(got.details, std::string(c.details) + " (23 of 92 port tests failed)") << c.what;
    }
}

TEST(TestDioOperation, AFailedTransactionEndsThePassesAtOnce) {
    // A device that stopped answering would cost each of the 92 port tests
    // its own time-out: nothing is sent after the first failure.
    ScriptedDevice device;
    // Port 0, all lines outputs and low: write-inhibit, direction, state.
    device.expectFailure(testing_support::feedbackMessage("01 0A 8C 01 00 00  01 0A 28 01 00 FF  01 09 C4 01 00 00"),
                         DQM_ERR_CONNECTION_LOST);
    const Outcome got = run(testDioOperationStep, device.handle());
    EXPECT_EQ(got.returned, 1);
    EXPECT_EQ(got.state, Fatal);
    EXPECT_EQ(got.details, "Comm Error: (" + std::to_string(DQM_ERR_CONNECTION_LOST) + ")");
}

}  // namespace
