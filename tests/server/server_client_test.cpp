// The test-server client on the wire: the login line, how replies are
// decoded (split, long, closed, silent, without their value), the reports'
// bytes and the codes of every failure.
#include "support/fake_server.h"
#include "support/recording_console.h"
#include "support/redirected_sockets.h"

#include "sequencer/steps.h"
#include "server/server_client.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

using testing_support::FakeServer;
using testing_support::RecordingConsole;
using testing_support::RedirectedSockets;
using Answer = FakeServer::Answer;

const LoginInfo kLogin = {"DQTestZ6", 0.65, 0x1702, 0x3C61F94E};
constexpr std::uint64_t kDevice = 470010002;
constexpr int kShortTimeoutMs = 300;

struct Connected {
    FakeServer server;
    RedirectedSockets sockets{server.port()};
    ServerClient client{kShortTimeoutMs};
    Connected() {
        server.expectLogin();
        EXPECT_EQ(client.login(kLogin), 0);
    }
};

TEST(ServerClient, TheLoginLineNamesProgramVersionStationAndPassword) {
    FakeServer server;
    server.expect("ID DQTestZ6 0.65 DQTJ:00001702 PW:3C61F94E\r\n", "200\r\n");
    RedirectedSockets sockets(server.port());
    ServerClient client;
    EXPECT_EQ(client.login(kLogin), 0);
    EXPECT_TRUE(client.connected());
}

TEST(ServerClient, RepliesAreDecodedByTheirStatusAndHexadecimalValues) {
    struct Case {
        const char* reply;
        Answer answer;
        int result;
        std::uint64_t value;  // when result is 0
    } const cases[] = {
        {"200 0x000000001C03C892\r\n", Answer::Whole, 0, 470010002},
        {"200 000000001C03C892\r\n", Answer::Whole, 0, 470010002},
        {"200 0x000000001C03C892\r\n", Answer::TwoPieces, 0, 470010002},  // as if it came whole
        {"200 12G4\r\n", Answer::Whole, 0, 0x1204},                        // G counts as 0
        {"200 0x5\n", Answer::Whole, 0, 5},
        {"200 0xABCDEF0123456789A\r\n", Answer::Whole, 0, 0xBCDEF0123456789A},  // the oldest digit pushed out
        {"404\r\n", Answer::Whole, 404, 0},
        {"OK 0x5\r\n", Answer::Whole, server_code::kNoStatus, 0},
        {"200\r\n", Answer::Whole, server_code::kReplyWithoutValue, 0},  // no stale number taken
        {"20 0x7\r\n", Answer::Whole, 20, 0},
    };
    for (const Case& c : cases) {
        Connected station;
        station.server.expect("serial\r\n", c.reply, c.answer);
        std::uint64_t value = 0;
        EXPECT_EQ(station.client.requestSerial(value), c.result) << c.reply;
        if (c.result == 0) {
            EXPECT_EQ(value, c.value) << c.reply;
        }
    }
}

TEST(ServerClient, ATwoDigitStatusStillMovesThreeCharactersOn) {
    // "20 0x7": the status is 20, the "0x" found at slot 1 only moves on,
    // and slot 2 gets 7.
    ServerReply reply;
    decodeReply("20 0x7\r\n", 8, reply);
    EXPECT_EQ(reply.status(), 20);
    EXPECT_FALSE(reply.has(1));
    ASSERT_TRUE(reply.has(2));
    EXPECT_EQ(reply.slots[2], 7u);
}

TEST(ServerClient, AServerThatClosesWithoutAnsweringIsAFailureAndLaterCommandsDoNotWait) {
    Connected station;
    station.server.expect("serial\r\n", "", Answer::Close);
    std::uint64_t value = 0;
    // The platform reports no error for a connection closed in good order.
    EXPECT_EQ(station.client.requestSerial(value), server_code::kClosedWithoutReply);
    EXPECT_FALSE(station.client.connected());
    EXPECT_EQ(station.client.requestMac(value), server_code::kNotConnected);
}

TEST(ServerClient, OnlyTheFirst499BytesOfAReplyAreDecoded) {
    Connected station;
    // 499 bytes end inside the value: "AB" of "ABCDEF" is all that counts.
    station.server.expect("serial\r\n", "200" + std::string(494, ' ') + "ABCDEF\r\n");
    std::uint64_t value = 0;
    EXPECT_EQ(station.client.requestSerial(value), 0);
    EXPECT_EQ(value, 0xABu);
}

TEST(ServerClient, AServerThatNeverAnswersTimesOutAndTheConnectionIsGivenUp) {
    Connected station;
    station.server.expect("serial\r\n", "", Answer::Never);
    std::uint64_t value = 0;
    EXPECT_EQ(station.client.requestSerial(value), ETIMEDOUT);
    EXPECT_FALSE(station.client.connected());
    // A late answer can no longer be taken for the next one's.
    EXPECT_EQ(station.client.requestMac(value), server_code::kNotConnected);
}

TEST(ServerClient, ResultReportsJoinTheirRowsAndTheTestReportShowsItsLength) {
    RecordingConsole console;
    Connected station;
    station.server.expect("test 0x000000001c03c892 {}\r\n", "200\r\n");
    station.server.expect("qtest 0x000000001c03c892 {Open : Passed : a;b}c;Second : Error : x}\r\n", "200\r\n");
    EXPECT_EQ(station.client.sendTestResults(nullptr, 0, kDevice), 0);
    const char* rows[] = {"Open : Passed : a;b}c", "Second : Error : x"};
    EXPECT_EQ(station.client.sendQuickTestResults(rows, 2, kDevice), 0);
    EXPECT_EQ(console.output(), "TX length: 28\r\n");
}

TEST(ServerClient, AReportThatWouldNotFitItsBufferIsRefusedAndNothingIsSent) {
    Connected station;
    const std::string row(199, 'r');
    std::vector<const char*> rows(33, row.c_str());  // 33 rows fit a test report, not a quick one
    EXPECT_EQ(station.client.sendQuickTestResults(rows.data(), 33, kDevice), server_code::kReportTooLarge);
    EXPECT_EQ(station.client.sendQuickTestResults(rows.data(), 21, kDevice), server_code::kReportTooLarge);
    EXPECT_TRUE(station.client.connected());
    EXPECT_EQ(station.server.received().find("qtest"), std::string::npos);
}

TEST(ServerClient, CalibrationEntriesCarryNineDecimalsUnlessTheirTextHoldsAColon) {
    Connected station;
    std::vector<std::string> texts(kCalReportEntries, "X");
    texts[0] = "DAC0 Slope";
    texts[1] = "HR 10.0V PSlope";
    texts[41] = "Meter Name: M1\r\nrest";
    texts[42] = "Meter Serial: ";
    std::vector<CalReportEntry> entries;
    for (std::string& t : texts) entries.push_back({t.data(), 0.25});
    entries[0].value = 1.5;
    entries[1].value = __builtin_nan("");

    std::string expected = "cal 0x000000001c03c892 {DAC0 Slope:1.500000000;HR 10.0V PSlope:nan";
    for (int i = 2; i < 41; ++i) expected += ";X:0.250000000";
    expected += ";Meter Name: M1;Meter Serial: }\r\n";
    station.server.expect(expected, "200\r\n");
    EXPECT_EQ(station.client.sendCalibration(entries.data(), kDevice), 0);
}

TEST(ServerClient, AFailedLoginLeavesCommandsThatFailWithoutWaiting) {
    struct Case {
        const char* what;
        int login;
        int firstCommand;
    } const cases[] = {
        {"nothing listens", server_code::kNotConnected, ENOTCONN},
        {"the library does not start", server_code::kStartupFailed, server_code::kNotConnected},
        {"the library is not version 2.2", server_code::kWrongSocketVersion, server_code::kNotConnected},
    };
    RecordingConsole console;
    for (const Case& c : cases) {
        RedirectedSockets sockets(1);  // nothing listens on port 1
        if (c.login == server_code::kStartupFailed) sockets.startupFails = true;
        if (c.login == server_code::kWrongSocketVersion) sockets.grantedVersion = 0x0101;
        ServerClient client(kShortTimeoutMs);
        EXPECT_EQ(client.login(kLogin), c.login) << c.what;
        std::uint64_t value = 0;
        EXPECT_EQ(client.requestSerial(value), c.firstCommand) << c.what;
        EXPECT_EQ(client.sendTestResults(nullptr, 0, kDevice), server_code::kNotConnected) << c.what;
    }
}

TEST(ServerClient, ALoginRefusedByStatusKeepsTheConnection) {
    FakeServer server;
    server.expect("ID DQTestZ6 0.65 DQTJ:00001702 PW:3C61F94E\r\n", "403\r\n");
    server.expect("serial\r\n", "401\r\n");
    RedirectedSockets sockets(server.port());
    ServerClient client(kShortTimeoutMs);
    EXPECT_EQ(client.login(kLogin), 403);
    std::uint64_t value = 0;
    EXPECT_EQ(client.requestSerial(value), 401);
}

TEST(ConnectStep, LogsInAndLeavesTheClientForTheLaterStepsWhateverTheOutcome) {
    struct Case {
        const char* reply;  // to the login; null: nothing listens
        ResultState state;
        const char* details;
    } const cases[] = {
        {"200\r\n", Passed, "Connected to Server"},
        {"403\r\n", Fatal, "Connection Error (403)"},
        {nullptr, Fatal, "Connection Error (3)"},
    };
    for (const Case& c : cases) {
        FakeServer server;
        if (c.reply) server.expect("ID DQTestZ6 0.65 DQTJ:00001702 PW:3C61F94E\r\n", c.reply);
        RedirectedSockets sockets(c.reply ? server.port() : 1);
        TestContext context;
        EXPECT_EQ(connectToServerStep(&context), 0) << c.details;
        EXPECT_EQ(context.resultState, c.state) << c.details;
        EXPECT_STREQ(context.details, c.details);
        EXPECT_NE(context.serverClient, nullptr);
    }
}

TEST(ParseHexToken, PrefixBlanksAndTerminators) {
    struct Case {
        const char* text;
        std::uint64_t value;
        std::size_t consumed;
    } const cases[] = {
        {" \t0x1C03C892\r\n", 0x1C03C892, 12}, {"ff 12", 0xFF, 2}, {"0X10", 0x10, 4},
        {"1-2", 0x102, 3},                      {"", 0, 0},         {"x", 0, 1},
    };
    for (const Case& c : cases) {
        std::uint64_t value = 99;
        EXPECT_EQ(parseHexToken(c.text, value), c.consumed) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

}  // namespace
