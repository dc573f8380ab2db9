// Injected faults: the command-line form, and what each does on the wire
// and in the database.
#include "server_fixture.h"

#include <chrono>
#include <stdexcept>

namespace testserver_testing {
namespace {

using namespace std::chrono_literals;
using testserver::Command;
using testserver::FaultAction;
using testserver::FaultRule;

struct FormCase {
    const char* form;
    FaultAction action;
    std::optional<Command> command;
    int value;
    int times;
};

const FormCase kForms[] = {
    {"status=serial:404", FaultAction::Status, Command::Serial, 404, 0},
    {"status=login:403,times=2", FaultAction::Status, Command::Login, 403, 2},
    {"close=mac", FaultAction::Close, Command::Mac, 0, 0},
    {"delay=any:1500", FaultAction::Delay, std::nullopt, 1500, 0},
    {"split=qtest", FaultAction::Split, Command::QTest, 0, 0},
    {"silent=cal,times=1", FaultAction::Silent, Command::Cal, 0, 1},
    {"close=test", FaultAction::Close, Command::Test, 0, 0},
};

TEST(FaultForm, ParsesAndPrintsBack) {
    for (const FormCase& c : kForms) {
        SCOPED_TRACE(c.form);
        const FaultRule rule = testserver::parseFault(c.form);
        EXPECT_EQ(rule.action, c.action);
        EXPECT_EQ(rule.command, c.command);
        EXPECT_EQ(rule.value, c.value);
        EXPECT_EQ(rule.times, c.times);
        EXPECT_EQ(testserver::describeFault(rule), c.form);
    }
}

TEST(FaultForm, RefusesWithAReason) {
    const std::pair<const char*, const char*> bad[] = {
        {"", "not in the form"},
        {"closemac", "not in the form"},
        {"explode=serial", "unknown action \"explode\""},
        {"close=reboot", "unknown command \"reboot\""},
        {"status=serial", "status needs :STATUS"},
        {"status=serial:200", "not 200"},
        {"status=serial:99", "from 100 to 999"},
        {"status=serial:1000", "from 100 to 999"},
        {"status=serial:40x", "from 100 to 999"},
        {"close=mac:5", "close takes no value"},
        {"delay=any:0", "from 1 to 600000"},
        {"close=mac,times=0", "times=N"},
        {"close=mac,count=1", "times=N"},
    };
    for (const auto& [form, reason] : bad) {
        SCOPED_TRACE(form);
        try {
            testserver::parseFault(form);
            ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
}

class FaultTest : public ServerTest {
protected:
    void startWith(const std::vector<const char*>& forms, int idleTimeoutMs = 5000) {
        testserver::Config c = config();
        c.idleTimeoutMs = idleTimeoutMs;
        for (const char* form : forms) c.faults.rules.push_back(testserver::parseFault(form));
        start(c);
    }
};

struct WireCase {
    const char* name;
    const char* form;
    std::string line;
    std::optional<std::string> reply;  // nullopt: none comes
    bool closes;
    int atLeastMs;
    const char* committedQuery;  // counts what the command left in the database
    int committed;
};

const WireCase kWireCases[] = {
    {"status_instead_of_serial", "status=serial:404", "serial", "404", false, 0, "SELECT count(*) FROM allocations", 0},
    {"status_instead_of_report", "status=test:503", std::string("test ") + kDevice + " {a}", "503", false, 0,
     "SELECT count(*) FROM runs", 0},
    {"close_after_serial", "close=serial", "serial", std::nullopt, true, 0, "SELECT count(*) FROM allocations", 1},
    {"delayed_mac", "delay=mac:300", "mac", kFirstMacReply, false, 300, "SELECT count(*) FROM allocations", 1},
    {"silent_report", "silent=cal", std::string("cal ") + kDevice + " {A:1.0}", std::nullopt, false, 0,
     "SELECT count(*) FROM calibrations", 1},
};

void PrintTo(const WireCase& c, std::ostream* out) { *out << c.name; }

class WireFaultTest : public FaultTest, public ::testing::WithParamInterface<WireCase> {};

TEST_P(WireFaultTest, RepliesAsToldAndStoresConsistently) {
    const WireCase& c = GetParam();
    startWith({c.form});
    LineClient client = loggedIn();
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.send(c.line + "\r\n"));
    EXPECT_EQ(client.readLine(c.reply ? 3000 : 500), c.reply);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(c.atLeastMs));
    EXPECT_EQ(client.closed(), c.closes);
    EXPECT_EQ(sqlInteger(c.committedQuery), c.committed);
    EXPECT_TRUE(logged(std::string("fault ") + c.form)) << log();
}

INSTANTIATE_TEST_SUITE_P(Faults, WireFaultTest, ::testing::ValuesIn(kWireCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaultTest, RefusedLoginLeavesTheStationLoggedOut) {
    startWith({"status=login:403"});
    LineClient client = connect();
    EXPECT_EQ(client.exchange(kLoginLine), "403");
    EXPECT_EQ(client.exchange("serial"), "401");
    EXPECT_EQ(sqlInteger("SELECT count(*) FROM logins WHERE accepted = 0 AND status = 403"), 1);
}

TEST_F(FaultTest, LimitedFaultCountsLinesOfEveryConnection) {
    startWith({"status=serial:404,times=1"});
    EXPECT_EQ(loggedIn().exchange("serial"), "404");
    // Nothing was used up by the refused request.
    EXPECT_EQ(loggedIn().exchange("serial"), kFirstSerialReply);
}

TEST_F(FaultTest, AllocationWhoseReplyIsLostStaysGivenOut) {
    startWith({"close=serial,times=1"});
    LineClient first = loggedIn();
    ASSERT_TRUE(first.send("serial\r\n"));
    EXPECT_TRUE(first.closedWithin(2000));
    EXPECT_EQ(loggedIn().exchange("serial"), "200 0x000000001C03C893");
    EXPECT_EQ(testserver::readHistory(database(), kFirstSerial).allocations.size(), 1u);
}

TEST_F(FaultTest, SplitReplyComesInTwoParts) {
    startWith({"split=serial"});
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send("serial\r\n"));
    const std::vector<std::string> chunks = client.readChunksOfLine();
    ASSERT_GE(chunks.size(), 2u);
    EXPECT_EQ(chunks.front(), "20");
    std::string whole;
    for (const std::string& chunk : chunks) whole += chunk;
    EXPECT_EQ(whole, std::string(kFirstSerialReply) + "\r\n");
}

TEST_F(FaultTest, AnyCommandIncludesTheLogin) {
    startWith({"delay=any:150"});
    LineClient client = connect();
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(client.exchange(kLoginLine), "200");
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 150ms);
}

TEST_F(FaultTest, SilentConnectionStaysOpenUntilTheIdleTimeOut) {
    startWith({"silent=serial"}, 800);
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send("serial\r\n"));
    EXPECT_EQ(client.readLine(400), std::nullopt);
    EXPECT_FALSE(client.closed());
    EXPECT_TRUE(client.closedWithin(3000));
    EXPECT_TRUE(logged("idle for 800 ms")) << log();
}

TEST_F(FaultTest, StopCutsALongDelayShort) {
    startWith({"delay=serial:60000"});
    LineClient client = loggedIn();
    ASSERT_TRUE(client.send("serial\r\n"));
    ASSERT_TRUE(logged("fault delay=serial:60000"));
    const auto begin = std::chrono::steady_clock::now();
    stopServer();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
    EXPECT_TRUE(client.closedWithin(1000));
}

}  // namespace
}  // namespace testserver_testing
