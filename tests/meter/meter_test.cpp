// The meter driver byte by byte against a scripted COM1 on a virtual clock:
// the Init dialogue and its attempts, configuration, the sample limit, the
// drain, the reading stride and the request time-out.
#include "support/recording_console.h"
#include "support/scoped_clock.h"
#include "support/scripted_serial.h"

#include "meter/meter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::RecordingConsole;
using testing_support::ScopedClock;
using testing_support::ScriptedSerialPorts;

constexpr const char* kIdentification = "DQSIM,34401A,0,1-1-1\r\n";
constexpr const char* kCalString = "\"CAL 7\"\r\n";

struct MeterFixture : ::testing::Test {
    ~MeterFixture() override { closePortsLeftOpen(); }

    // One Init attempt, the meter answering its two queries with these.
    void expectAttempt(const std::string& identification, const std::string& calString = kCalString) {
        ports.expect("SYST:LOC\n");
        ports.expect("SYST:REM\n");
        ports.expect("*RST\n");
        ports.expect("*CLS\n");
        ports.expect("*IDN?\n", identification, 20);
        ports.expect("CAL:STR?\n", calString, 20);
    }
    // A meter found on the first attempt and configured for range 0.
    void initAndConfigure(Meter& meter) {
        expectAttempt(kIdentification);
        ports.expect(meterConfigStrings[0]);
        ASSERT_EQ(meter.Init(), 0);
        meter.Config(0);
    }

    ScopedClock<> clock;
    RecordingConsole console;
    ScriptedSerialPorts ports{clock.clock};
};

TEST_F(MeterFixture, InitFindsTheMeterOnTheFirstAttempt) {
    expectAttempt(kIdentification);
    Meter meter;
    meter.numSamples = 5;
    meter.configured = true;
    EXPECT_EQ(meter.Init(), 0);

    std::vector<std::uint64_t> times;
    for (const auto& write : ports.writes) times.push_back(write.atMs);
    EXPECT_EQ(times, (std::vector<std::uint64_t>{0, 500, 700, 1100, 1600, 2100}));
    EXPECT_EQ(clock.clock.elapsedMs(), 2600u);
    EXPECT_STREQ(meter.idn, kIdentification);
    EXPECT_STREQ(meter.calString, kCalString);
    EXPECT_EQ(meter.numSamples, 1);
    EXPECT_FALSE(meter.configured);
}

TEST_F(MeterFixture, IdentificationOfTenCharactersIsEnoughAndNineIsNot) {
    struct Case {
        std::vector<std::string> replies;  // to *IDN? in each attempt
        std::int32_t result;
    };
    const Case cases[] = {
        {{"34401A,0\r\n"}, 0},
        {{"34401A,\r\n", "34401A,\r\n", "34401A,\r\n"}, Meter::kNoIdentification},
        {{"", "", kIdentification}, 0},
        {{"", "", ""}, Meter::kNoIdentification},
    };
    for (const Case& c : cases) {
        for (const std::string& reply : c.replies) expectAttempt(reply);
        ports.expect("SYST:LOC\n");  // Release
        Meter meter;
        const std::uint64_t start = clock.clock.elapsedMs();
        EXPECT_EQ(meter.Init(), c.result) << c.replies.back();
        EXPECT_EQ(clock.clock.elapsedMs() - start, 2600u * c.replies.size());
        meter.Release();
        EXPECT_EQ(meter.port, nullptr);
    }
    EXPECT_EQ(ports.closes, 4);
}

TEST_F(MeterFixture, MissingPortIsReportedOnceAndASecondInitSendsNothing) {
    ports.openFailure = 2;
    Meter meter;
    EXPECT_EQ(meter.Init(), Meter::kPortNotOpened);
    EXPECT_EQ(console.output(), "ERROR: Could not open COM1 (char *), 2\r\n");
    ASSERT_NE(meter.port, nullptr);
    EXPECT_EQ(meter.port->comHandle, platform::kInvalidSerialHandle);

    EXPECT_EQ(meter.Init(), 0) << "the port is set, whatever became of it";
    meter.Config(0);
    meter.SetNumSamples(4);
    meter.StartRead();
    meter.Release();
    EXPECT_EQ(ports.opens, 1);
    EXPECT_TRUE(ports.writes.empty());
    EXPECT_EQ(clock.clock.elapsedMs(), 0u);
}

TEST_F(MeterFixture, RefusedSetUpLeavesANullPortThatNeverAnswers) {
    ports.refuseSettings = true;
    Meter meter;
    EXPECT_EQ(meter.Init(), Meter::kNoIdentification);
    EXPECT_EQ(console.output(), "ERROR: Could not set com port parameters");
    EXPECT_EQ(meter.port->comHandle, platform::kNullSerialHandle);
    EXPECT_TRUE(ports.writes.empty()) << "every write to the null handle fails";
    EXPECT_EQ(clock.clock.elapsedMs(), 3u * 2600u);
}

TEST_F(MeterFixture, ConfigSendsTheWholeStringAndTheLastTwoRangesShareIt) {
    EXPECT_STREQ(meterConfigStrings[3], meterConfigStrings[2]);
    for (int i = 0; i < kMeterConfigCount; ++i) EXPECT_EQ(std::string(meterConfigStrings[i]).size(), 97u) << i;
    Meter meter;
    initAndConfigure(meter);
    EXPECT_TRUE(meter.configured);
    EXPECT_EQ(ports.writes.back().text,
              ":CONF:VOLT:DC 1.00E+1,1.00E-5;:VOLT:DC:NPLC 100.00;:DET:BAND 3;:ZERO:AUTO OFF;:INP:IMP:AUTO OFF;\n");
}

TEST_F(MeterFixture, SetNumSamplesIsLimitedTo64) {
    Meter meter;
    initAndConfigure(meter);
    ports.expect("Trig:Count 4\n");
    meter.SetNumSamples(4);
    EXPECT_EQ(meter.numSamples, 4);
    EXPECT_EQ(console.output(), "");
    ports.expect("Trig:Count 64\n");
    meter.SetNumSamples(65);
    EXPECT_EQ(meter.numSamples, 64);
    EXPECT_EQ(console.output(), "From SetNumSamples: Meter class only built to handle 64 samples at a time.\r\n");
}

TEST_F(MeterFixture, SetNumSamplesBeforeConfigEndsTheProgram) {
    EXPECT_EXIT(
        {
            expectAttempt(kIdentification);
            Meter meter;
            meter.Init();
            meter.SetNumSamples(4);
        },
        ::testing::ExitedWithCode(1), "");
}

// Four readings in the meter's format, 16 bytes apart, and the line end.
constexpr const char* kFourReadings = "+7.99987654E+00,-1.20000000E-03,+9.90000000E+37,-7.99912345E+00\r\n";

TEST_F(MeterFixture, ReadingsAreTakenAtTheStrideOnceTheWholeReplyIsWaiting) {
    Meter meter;
    initAndConfigure(meter);
    ports.expect("Trig:Count 4\n");
    meter.SetNumSamples(4);

    ports.arrive("+1.00000000E+00\r\n");  // left over from an earlier request
    const std::string reply = kFourReadings;
    ports.expect("READ?\n", reply.substr(0, 40), 400);
    meter.StartRead();
    ports.arrive("");
    double values[4] = {-1, -1, -1, -1};
    int done = 0;
    clock.clock.advanceMs(500);
    meter.GetReadings(values, done);
    EXPECT_EQ(done, 0) << "40 of the 64 bytes are waiting";
    EXPECT_EQ(values[0], -1);

    ports.arrive(reply.substr(40));
    ports.readLengths.clear();
    while (done == 0 && clock.clock.elapsedMs() < 60000) meter.GetReadings(values, done);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(meter.requestTimedOut());
    EXPECT_EQ(ports.readLengths, (std::vector<std::uint32_t>{65}));
    EXPECT_EQ(meter.replyCount, 65);
    EXPECT_DOUBLE_EQ(values[0], 7.99987654);
    EXPECT_DOUBLE_EQ(values[1], -1.2e-3);
    EXPECT_GT(values[2], 10.0) << "an overload";
    EXPECT_DOUBLE_EQ(values[3], -7.99912345);
}

TEST_F(MeterFixture, StartReadDrainsStaleBytes) {
    Meter meter;
    initAndConfigure(meter);
    ports.expect("Trig:Count 1\n");
    meter.SetNumSamples(1);
    ports.arrive("+5.00000000E+00\r\n");
    ports.expect("READ?\n", "+2.50000000E+00\r\n", 400);
    meter.StartRead();
    double value = 0;
    int done = 0;
    while (done == 0) meter.GetReadings(&value, done);
    EXPECT_DOUBLE_EQ(value, 2.5);
    EXPECT_EQ(clock.clock.elapsedMs() - ports.writes.back().atMs, 400u) << "each idle poll waits a millisecond";
}

TEST_F(MeterFixture, SilentMeterEndsByTheTimeOutWithTheReadingsUntouched) {
    Meter meter;
    initAndConfigure(meter);
    ports.expect("Trig:Count 4\n");
    meter.SetNumSamples(4);
    ports.expect("READ?\n", std::string(kFourReadings).substr(0, 20), 100);  // then nothing more
    meter.StartRead();
    double values[4] = {1, 2, 3, 4};
    int done = 0;
    const std::uint64_t start = clock.clock.elapsedMs();
    while (done == 0 && clock.clock.elapsedMs() - start < 60000) meter.GetReadings(values, done);
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(meter.requestTimedOut());
    const std::uint64_t waited = clock.clock.elapsedMs() - start;
    EXPECT_GT(waited, 20000u);
    EXPECT_LE(waited, 22000u);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[3], 4);

    // The next request that is answered clears it.
    ports.expect("READ?\n", kFourReadings, 100);
    meter.StartRead();
    EXPECT_FALSE(meter.requestTimedOut());
    done = 0;
    while (done == 0) meter.GetReadings(values, done);
    EXPECT_FALSE(meter.requestTimedOut());
    EXPECT_DOUBLE_EQ(values[0], 7.99987654);
}

TEST_F(MeterFixture, ReleaseReturnsToLocalAndClosesThePort) {
    Meter meter;
    initAndConfigure(meter);
    ports.expect("SYST:LOC\n");
    meter.Release();
    EXPECT_EQ(meter.port, nullptr);
    EXPECT_FALSE(ports.open_);
}

TEST_F(MeterFixture, AMeterNeverReleasedKeepsThePortUntilTheProgramEnds) {
    {
        Meter first;
        initAndConfigure(first);
    }
    EXPECT_TRUE(ports.open_);
    Meter second;
    EXPECT_EQ(second.Init(), Meter::kPortNotOpened);
    EXPECT_EQ(console.output(), "ERROR: Could not open COM1 (char *), 13\r\n");

    closePortsLeftOpen();
    EXPECT_FALSE(ports.open_);
}

}  // namespace
