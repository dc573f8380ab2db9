// The line protocol over a real loopback socket: every line gets one reply
// with a three-digit status, bad input an error and a log line, and no
// connection is left hanging.
#include "server_fixture.h"

#include <chrono>
#include <optional>
#include <thread>

namespace testserver_testing {
namespace {

using namespace std::chrono_literals;

struct ReplyCase {
    const char* name;
    bool loggedIn;
    std::string line;
    const char* reply;
    const char* logText;
};

const std::string kReport = std::string("test ") + kDevice + " {";

const ReplyCase kReplyCases[] = {
    {"login", false, kLoginLine, "200", "login station 00001702 (DQTestZ6 0.65)"},
    {"login_lower_case_hex", false, "ID DQTestZ6 12.34 DQTJ:0000abcd PW:3c61f94e", "200", "login station 0000ABCD"},
    {"wrong_password", false, "ID DQTestZ6 0.65 DQTJ:00001702 PW:3C61F94F", "401", "wrong password"},
    {"wrong_program", false, "ID DQTestZ5 0.65 DQTJ:00001702 PW:3C61F94E", "403", "program \"DQTestZ5\""},
    {"version_with_one_decimal", false, "ID DQTestZ6 0.6 DQTJ:00001702 PW:3C61F94E", "403", "version \"0.6\""},
    {"version_not_a_number", false, "ID DQTestZ6 v.65 DQTJ:00001702 PW:3C61F94E", "403", "version"},
    {"station_id_seven_digits", false, "ID DQTestZ6 0.65 DQTJ:0001702 PW:3C61F94E", "403", "station id"},
    {"no_password_word", false, "ID DQTestZ6 0.65 DQTJ:00001702", "403", "not in the form"},
    {"doubled_space", false, "ID  DQTestZ6 0.65 DQTJ:00001702 PW:3C61F94E", "403", "not in the form"},
    {"serial_before_login", false, "serial", "401", "log in first: serial"},
    {"mac_before_login", false, "mac", "401", "log in first: mac"},
    {"report_before_login", false, kReport + "}", "401", "log in first: test"},
    {"cal_before_login", false, std::string("cal ") + kDevice + " {}", "401", "log in first: cal"},
    {"unknown_before_login", false, "HELLO", "400", "unknown command: \"HELLO\""},
    {"unknown_command", true, "hello", "400", "unknown command"},
    {"empty_line", true, "", "400", "unknown command"},
    {"keyword_in_capitals", true, "SERIAL", "400", "unknown command"},
    {"serial_with_argument", true, "serial now", "400", "serial takes nothing after it"},
    {"mac_with_argument", true, "mac 1", "400", "mac takes nothing after it"},
    {"report_without_body", true, std::string("test ") + kDevice, "400", "no \" {\""},
    {"report_short_device_id", true, "test 0x1c03c892 {}", "400", "16 hex digits"},
    {"report_device_id_not_hex", true, "qtest 0x00000000zzzzzzzz {}", "400", "16 hex digits"},
    {"report_without_0x", true, "test 000000001c03c892 {}", "400", "0x"},
    {"report_body_not_closed", true, kReport + "a;b", "400", "does not end with"},
    {"nul_byte", true, std::string("serial\0", 7), "400", "control or NUL bytes"},
    {"control_byte_in_report", true,
     kReport + "a\x01"
               "b}",
     "400", "\\x01"},
    {"delete_byte", true, kReport + "a\x7f}", "400", "control or NUL bytes"},
    {"eight_bit_text_is_text", true, kReport + "Noise : Passed : 10 \xb5V}", "200", "test report"},
};

void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }

class ReplyTest : public ServerTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyTest, AnswersAndLogs) {
    const ReplyCase& c = GetParam();
    start();
    LineClient client = c.loggedIn ? loggedIn() : connect();
    EXPECT_EQ(client.exchange(c.line), c.reply);
    EXPECT_TRUE(logged(c.logText)) << log();
    // The connection still serves after any answer.
    EXPECT_EQ(client.exchange("hello"), "400");
}

INSTANTIATE_TEST_SUITE_P(Lines, ReplyTest, ::testing::ValuesIn(kReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

class SessionTest : public ServerTest {};

TEST_F(SessionTest, FailedLoginLogsOut) {
    start();
    LineClient client = loggedIn();
    EXPECT_EQ(client.exchange("ID DQTestZ6 0.65 DQTJ:00001702 PW:00000000"), "401");
    EXPECT_EQ(client.exchange("serial"), "401");
}

TEST_F(SessionTest, LoginsAreRecordedWithoutThePasswordWord) {
    start();
    LineClient client = connect();
    EXPECT_EQ(client.exchange("ID DQTestZ6 0.65 DQTJ:00001702 PW:12345678"), "401");
    EXPECT_EQ(client.exchange(kLoginLine), "200");
    EXPECT_EQ(sqlInteger("SELECT count(*) FROM logins WHERE accepted = 1 AND station_id = 5890"), 1);
    EXPECT_EQ(sqlInteger("SELECT count(*) FROM logins WHERE accepted = 0 AND status = 401"), 1);
    EXPECT_EQ(sqlInteger("SELECT count(*) FROM logins WHERE line LIKE '%3C61F94E%' OR line LIKE '%12345678%'"), 0);
}

TEST_F(SessionTest, ConfiguredPasswordWord) {
    testserver::Config c = config();
    c.password = 0x12345678;
    start(c);
    LineClient client = connect();
    EXPECT_EQ(client.exchange(kLoginLine), "401");
    EXPECT_EQ(client.exchange("ID DQTestZ6 0.65 DQTJ:00001702 PW:12345678"), "200");
}

class LineShapeTest : public ServerTest {};

TEST_F(LineShapeTest, LineSplitAcrossSegments) {
    start();
    LineClient client = loggedIn();
    for (const char* part : {"se", "rial\r", "\n"}) {
        ASSERT_TRUE(client.send(part));
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_EQ(client.readLine(), kFirstSerialReply);
}

TEST_F(LineShapeTest, TwoLinesInOneSegmentAnsweredInOrder) {
    start();
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send("serial\r\nmac\r\n"));
    EXPECT_EQ(client.readLine(), kFirstSerialReply);
    EXPECT_EQ(client.readLine(), kFirstMacReply);
}

TEST_F(LineShapeTest, BareLineFeedEndsALine) {
    start();
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send("serial\n"));
    EXPECT_EQ(client.readLine(), kFirstSerialReply);
}

TEST_F(LineShapeTest, OverLongLineIsAnsweredBeforeItEndsThenSkipped) {
    start();
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send(kReport + std::string(70000, 'x')));
    EXPECT_EQ(client.readLine(), "413");
    ASSERT_TRUE(client.send(std::string(5000, 'x') + "}\r\nserial\r\n"));
    EXPECT_EQ(client.readLine(), kFirstSerialReply);
    EXPECT_TRUE(testserver::readHistory(database(), kFirstSerial).runs.empty());
    EXPECT_TRUE(logged("413 line longer than 64 KiB")) << log();
}

TEST_F(LineShapeTest, OverLongLineArrivingWholeIsRefused) {
    start();
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send(kReport + std::string(70000, 'x') + "}\r\nmac\r\n"));
    EXPECT_EQ(client.readLine(), "413");
    EXPECT_EQ(client.readLine(), kFirstMacReply);
}

TEST_F(LineShapeTest, LineThatNeverEndsIsClosedAfterAnAnswer) {
    start();
    LineClient client = loggedIn();
    const std::string block(64 * 1024, 'x');
    for (int i = 0; i < 40 && client.send(block); ++i) {
    }
    EXPECT_TRUE(client.closedWithin(3000));
    EXPECT_TRUE(logged("bytes without a line end")) << log();
}

class ClosingTest : public ServerTest {
protected:
    testserver::Config shortIdle() {
        testserver::Config c = config();
        c.idleTimeoutMs = 300;
        return c;
    }
};

TEST_F(ClosingTest, SilentClientClosedAtIdleTimeOut) {
    start(shortIdle());
    LineClient client = connect();
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(client.closedWithin(3000));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 250ms);
    EXPECT_TRUE(logged("idle for 300 ms")) << log();
}

TEST_F(ClosingTest, ClientStoppingMidLineClosedAtIdleTimeOut) {
    start(shortIdle());
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send("seri"));
    EXPECT_TRUE(client.closedWithin(3000));
    EXPECT_TRUE(logged("in the middle of a line (4 bytes)")) << log();
}

TEST_F(ClosingTest, LineWithoutEndAtCloseIsDropped) {
    start();
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send("serial"));
    client.shutdownWrite();
    EXPECT_EQ(client.readLine(2000), std::nullopt);
    EXPECT_TRUE(client.closed());
    EXPECT_TRUE(logged("middle of a line; 6 bytes dropped")) << log();
    EXPECT_EQ(sqlInteger("SELECT count(*) FROM allocations"), 0);
}

TEST_F(ClosingTest, ConnectionsBeyondTheLimitAreTurnedAway) {
    testserver::Config c = config();
    c.maxConnections = 2;
    start(c);
    std::optional<LineClient> first = loggedIn();
    LineClient second = loggedIn();
    LineClient third = connect();
    EXPECT_EQ(third.readLine(), "421");
    EXPECT_TRUE(third.closedWithin(2000));
    EXPECT_EQ(second.exchange("serial"), kFirstSerialReply);

    // Once one goes, another is served again.
    first.reset();
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (reply != "200" && std::chrono::steady_clock::now() < deadline) {
        LineClient next = connect();
        reply = next.exchange(kLoginLine);
        if (reply != "200") std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(reply, "200") << log();
}

TEST_F(ClosingTest, StopClosesOpenConnections) {
    start();
    LineClient idle = connect();
    LineClient midLine = loggedIn();
    ASSERT_TRUE(midLine.send("ser"));
    const auto begin = std::chrono::steady_clock::now();
    stopServer();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
    EXPECT_TRUE(idle.closedWithin(1000));
    EXPECT_TRUE(midLine.closedWithin(1000));
}

}  // namespace
}  // namespace testserver_testing
