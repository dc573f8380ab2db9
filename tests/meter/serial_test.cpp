// The meter's port: its names, the open and set-up failures as the console
// shows them, and what a Serial leaves in comHandle.
#include "support/recording_console.h"
#include "support/scoped_clock.h"
#include "support/scripted_serial.h"

#include "meter/com_port_names.h"
#include "meter/meter.h"
#include "meter/serial.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using testing_support::RecordingConsole;
using testing_support::ScopedClock;
using testing_support::ScriptedSerialPorts;

TEST(ComPortNames, FirstHasNoColonTheOthersDo) {
    const wchar_t* expected[] = {L"COM1", L"COM2:", L"COM3:", L"COM4:", L"COM5:", L"COM6:", L"COM7:", L"COM8:"};
    for (std::size_t i = 0; i < kComPortCount; ++i) EXPECT_EQ(comPortNames[i], expected[i]) << i;
}

struct SerialFixture : ::testing::Test {
    ScopedClock<> clock;
    RecordingConsole console;
    ScriptedSerialPorts ports{clock.clock};
};

TEST_F(SerialFixture, OpensAndSetsUpComOne) {
    {
        Serial serial(meterLineSettings());
        EXPECT_EQ(serial.comHandle, ScriptedSerialPorts::kHandle);
        EXPECT_TRUE(ports.open_);
        EXPECT_EQ(ports.timeouts.readIntervalTimeout, 0xFFFFFFFFu);
        EXPECT_EQ(ports.timeouts.readTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(ports.timeouts.readTotalTimeoutConstant, 0u);
        EXPECT_EQ(ports.timeouts.writeTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(ports.timeouts.writeTotalTimeoutConstant, 0u);
        const platform::SerialSettings& s = ports.settings;
        EXPECT_EQ(s.length, 28u);
        EXPECT_EQ(s.baudRate, 9600u);
        EXPECT_EQ(s.byteSize, 8);
        EXPECT_EQ(s.parityCode, 0);
        EXPECT_FALSE(s.parity);
        EXPECT_EQ(s.stopBits, 2);
        EXPECT_TRUE(s.binary);
        EXPECT_EQ(s.dtrControl, 2);
        EXPECT_EQ(s.rtsControl, 2);
        EXPECT_FALSE(s.outxCtsFlow || s.outxDsrFlow || s.dsrSensitivity || s.txContinueOnXoff || s.outX ||
                     s.inX || s.errorCharEnabled || s.null || s.abortOnError);
        EXPECT_EQ(s.xonLim + s.xoffLim + s.xonChar + s.xoffChar + s.errorChar + s.eofChar + s.evtChar, 0);
    }
    EXPECT_EQ(ports.closes, 1);
    EXPECT_EQ(console.output(), "");
}

TEST_F(SerialFixture, OpenFailureShowsTheNameAndCodeAndLeavesTheHandleInvalid) {
    ports.openFailure = 2;
    {
        Serial serial(meterLineSettings());
        EXPECT_EQ(serial.comHandle, platform::kInvalidSerialHandle);
    }
    EXPECT_EQ(console.output(), "ERROR: Could not open COM1 (char *), 2\r\n");
    EXPECT_EQ(ports.closes, 0);
}

TEST_F(SerialFixture, RefusedSetUpClosesThePortAndLeavesItNull) {
    struct Case {
        bool timeouts;
        bool settings;
        const char* console;
    };
    const Case cases[] = {
        // Without time-outs the settings go to the null handle and fail too.
        {true, false, "ERROR: Could not set com port time-outsERROR: Could not set com port parameters"},
        {false, true, "ERROR: Could not set com port parameters"},
    };
    for (const Case& c : cases) {
        ports.refuseTimeouts = c.timeouts;
        ports.refuseSettings = c.settings;
        ports.closes = 0;
        console.clear();
        {
            Serial serial(meterLineSettings());
            EXPECT_EQ(serial.comHandle, platform::kNullSerialHandle);
            EXPECT_FALSE(ports.open_);
        }
        EXPECT_EQ(console.output(), c.console);
        EXPECT_EQ(ports.closes, 1) << "closed once when the set-up failed, not again when destroyed";
    }
}

}  // namespace
