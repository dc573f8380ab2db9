// The real dqtest-server program: its command line and exit statuses,
// allocations and reports that survive a SIGKILL, and the history command.
#include "server_fixture.h"
#include "sim_process.h"
#include "support/temp_dir.h"

#include <nlohmann/json.hpp>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

namespace testserver_testing {
namespace {

using e2e::SimProcess;

constexpr int kStartMs = 10000;

class ProgramTest : public ::testing::Test {
protected:
    std::filesystem::path database() const { return dir_.path() / "station.db"; }

    std::unique_ptr<SimProcess> run(std::vector<std::string> args) {
        return std::make_unique<SimProcess>(DQTEST_SERVER_PROGRAM, std::move(args),
                                            SimProcess::Launch{dir_.path(), {}});
    }
    // Started on a free port with the scratch database; the port it took.
    std::uint16_t serve(std::unique_ptr<SimProcess>& process) {
        process = run({"--port", "0", "--db", database().string()});
        const auto listening = process->waitForLine("dqtest-server: listening 127.0.0.1:", kStartMs);
        EXPECT_TRUE(listening) << process->output();
        EXPECT_TRUE(process->waitForLine("dqtest-server: ready", kStartMs)) << process->output();
        if (!listening) return 0;
        return static_cast<std::uint16_t>(std::stoi(listening->substr(listening->rfind(':') + 1)));
    }

    testing_support::TempDir dir_{"testserver-program"};
};

TEST_F(ProgramTest, WhatWasAnsweredSurvivesSigkill) {
    std::unique_ptr<SimProcess> server;
    const std::uint16_t port = serve(server);
    {
        LineClient station(port);
        ASSERT_EQ(station.exchange(kLoginLine), "200") << server->output();
        ASSERT_EQ(station.exchange("serial"), kFirstSerialReply);
        ASSERT_EQ(station.exchange(std::string("test ") + kDevice + " {Open Daqora : Passed : Found}"), "200");
        EXPECT_EQ(server->signalAndWait(SIGKILL, 5000), 128 + SIGKILL);
    }
    const testserver::History history = testserver::readHistory(database(), kFirstSerial);
    ASSERT_EQ(history.allocations.size(), 1u);
    ASSERT_EQ(history.runs.size(), 1u);
    EXPECT_EQ(history.runs[0].raw, "Open Daqora : Passed : Found");

    const std::uint16_t again = serve(server);
    LineClient station(again);
    ASSERT_EQ(station.exchange(kLoginLine), "200") << server->output();
    EXPECT_EQ(station.exchange("serial"), "200 0x000000001C03C893");
}

TEST_F(ProgramTest, StopsCleanlyOnSigterm) {
    std::unique_ptr<SimProcess> server;
    serve(server);
    EXPECT_EQ(server->signalAndWait(SIGTERM, 5000), 0);
    EXPECT_TRUE(server->waitForLine("SIGTERM: stopping", 0)) << server->output();
}

struct BadStartCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* message;
};

const BadStartCase kBadStarts[] = {
    {"listen_off_loopback", {"--listen", "10.0.0.1"}, 2, "not a 127.x.x.x address"},
    {"port_too_big", {"--port", "70000"}, 2, "--port: \"70000\" is not a whole number"},
    {"mac_block_at_device_default", {"--mac-first", "0E5D71002000"}, 2, "not entirely above"},
    {"mac_block_beyond_48_bits", {"--mac-last", "0x1000000000000"}, 2, "beyond 48 bits"},
    {"password_not_hex", {"--password", "xyz"}, 2, "--password: \"xyz\" is not a hex number"},
    {"serials_reversed", {"--first-serial", "5", "--last-serial", "4"}, 2, "serial range 5 to 4"},
    {"bad_fault", {"--fault", "explode=serial"}, 2, "unknown action"},
    {"unknown_option", {"--verbose"}, 2, "unknown option --verbose"},
    {"value_missing", {"--db"}, 2, "--db needs a value"},
    {"history_without_serial", {"history", "--db", "x.db"}, 2, "history needs --serial"},
    {"database_unusable", {"--db", "garbage.db"}, 1, "file is not a database"},
    {"history_of_missing_database", {"history", "--db", "none.db", "--serial", "1"}, 1, "no such file"},
};

void PrintTo(const BadStartCase& c, std::ostream* out) { *out << c.name; }

class BadStartTest : public ProgramTest, public ::testing::WithParamInterface<BadStartCase> {};

TEST_P(BadStartTest, ExitsWithItsStatusAndSaysWhy) {
    std::ofstream(dir_.path() / "garbage.db") << std::string(4096, 'g');
    std::vector<std::string> args = GetParam().args;
    if (args[0] != "history") args.insert(args.begin(), {"--port", "0"});
    const auto process = run(args);
    EXPECT_EQ(process->waitExit(kStartMs), GetParam().status) << process->output();
    EXPECT_NE(process->output().find(GetParam().message), std::string::npos) << process->output();
}

INSTANTIATE_TEST_SUITE_P(Program, BadStartTest, ::testing::ValuesIn(kBadStarts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramTest, PortInUseExitsWith1) {
    const int busy = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(busy, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(busy, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(busy, reinterpret_cast<sockaddr*>(&address), &length);
    const auto process = run({"--port", std::to_string(ntohs(address.sin_port)), "--db", database().string()});
    EXPECT_EQ(process->waitExit(kStartMs), 1) << process->output();
    EXPECT_NE(process->output().find("Address already in use"), std::string::npos) << process->output();
    ::close(busy);
}

// A database holding one device's run and calibration, written by the server itself.
class HistoryCommandTest : public ServerTest {
protected:
    void SetUp() override {
        start();
        LineClient station = loggedIn();
        ASSERT_EQ(station.exchange("serial"), kFirstSerialReply);
        ASSERT_EQ(station.exchange(std::string("test ") + kDevice + " {" + kRun + "}"), "200");
        ASSERT_EQ(station.exchange(std::string("cal ") + kDevice + " {" + kCal + "}"), "200");
        stopServer();
    }
    std::unique_ptr<SimProcess> history(std::vector<std::string> extra) {
        std::vector<std::string> args{"history", "--db", database().string(), "--serial"};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<SimProcess>(DQTEST_SERVER_PROGRAM, args);
    }

    static constexpr const char* kRun = "Open Daqora : Passed : Found;Note : Passed : a;b}c";
    static constexpr const char* kCal =
        "HS 10.0V PSlope:0.000315806;HR 10V PSlope:nan;Meter Name: HP;34401A};Meter Serial: ";
};

TEST_F(HistoryCommandTest, Text) {
    const auto process = history({"470010002"});
    ASSERT_EQ(process->waitExit(kStartMs), 0) << process->output();
    const std::string out = process->output();
    for (const char* expected :
         {"device 470010002 (0x000000001C03C892)", "serial 470010002", "test, 3 rows",
          "    Open Daqora : Passed : Found\n", "    b}c\n", "5 entries", "    HS 10.0V PSlope:0.000315806\n",
          "    HR 10V PSlope:nan\n", "    Meter Name: HP\n"}) {
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
    }
}

TEST_F(HistoryCommandTest, Json) {
    const auto process = history({"0x1C03C892", "--json"});
    ASSERT_EQ(process->waitExit(kStartMs), 0) << process->output();
    const nlohmann::json document = nlohmann::json::parse(process->output());
    EXPECT_EQ(document["device"], kFirstSerial);
    ASSERT_EQ(document["allocations"].size(), 1u);
    EXPECT_EQ(document["allocations"][0]["station"], "00001702");
    ASSERT_EQ(document["runs"].size(), 1u);
    EXPECT_EQ(document["runs"][0]["raw"], kRun);
    EXPECT_EQ(document["runs"][0]["rows"].size(), 3u);
    ASSERT_EQ(document["calibrations"].size(), 1u);
    EXPECT_EQ(document["calibrations"][0]["raw"], kCal);
    const auto& points = document["calibrations"][0]["points"];
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[0]["value"], 0.000315806);
    EXPECT_TRUE(points[1]["value"].is_null());
    EXPECT_EQ(points[1]["text"], "nan");
    EXPECT_EQ(points[2]["name"], "Meter Name");
    EXPECT_TRUE(points[2]["value"].is_null());
}

TEST_F(HistoryCommandTest, UnknownSerialIsAnEmptyHistory) {
    const auto process = history({"1", "--json"});
    ASSERT_EQ(process->waitExit(kStartMs), 0) << process->output();
    const std::string out = process->output();
    EXPECT_NE(out.find("no history for device 1"), std::string::npos) << out;
    const nlohmann::json document = nlohmann::json::parse(out.substr(out.find('{')));
    EXPECT_TRUE(document["allocations"].empty());
    EXPECT_TRUE(document["runs"].empty());
    EXPECT_TRUE(document["calibrations"].empty());
}

}  // namespace
}  // namespace testserver_testing
