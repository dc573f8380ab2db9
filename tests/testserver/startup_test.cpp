// What the server refuses before it serves: configurations that would hand
// out wrong numbers or listen off loopback, and databases it cannot trust.
#include "server_fixture.h"

#include <sqlite3.h>

#include <fstream>
#include <stdexcept>

namespace testserver_testing {
namespace {

struct ConfigCase {
    const char* name;
    void (*change)(testserver::Config&);
    const char* reason;
};

const ConfigCase kConfigCases[] = {
    {"listen_off_loopback", [](testserver::Config& c) { c.listenAddress = "10.0.0.1"; }, "not a 127.x.x.x"},
    {"listen_not_an_address", [](testserver::Config& c) { c.listenAddress = "localhost"; }, "not a 127.x.x.x"},
    {"no_database", [](testserver::Config& c) { c.database.clear(); }, "no database"},
    {"serials_reversed",
     [](testserver::Config& c) {
         c.firstSerial = 5;
         c.lastSerial = 4;
     },
     "serial range 5 to 4"},
    {"serial_zero", [](testserver::Config& c) { c.firstSerial = 0; }, "starts at 0"},
    {"macs_at_the_device_default", [](testserver::Config& c) { c.firstMac = 0x0E5D71002000; },
     "not entirely above the devices' default MAC"},
    {"macs_below_the_device_default",
     [](testserver::Config& c) {
         c.firstMac = 0x0E5D70000000;
         c.lastMac = 0x0E5D71FFFFFF;
     },
     "not entirely above"},
    {"macs_beyond_48_bits", [](testserver::Config& c) { c.lastMac = 0x1000000000000; }, "beyond 48 bits"},
    {"macs_reversed", [](testserver::Config& c) { c.lastMac = c.firstMac - 1; }, "is empty"},
    {"idle_time_out_zero", [](testserver::Config& c) { c.idleTimeoutMs = 0; }, "idle time-out"},
    {"no_connections", [](testserver::Config& c) { c.maxConnections = 0; }, "connection limit"},
    {"fault_status_200",
     [](testserver::Config& c) {
         c.faults.rules.push_back({testserver::FaultAction::Status, testserver::Command::Serial, 200, 0});
     },
     "cannot be 200"},
    {"fault_negative_delay",
     [](testserver::Config& c) {
         c.faults.rules.push_back({testserver::FaultAction::Delay, std::nullopt, -5, 0});
     },
     "MS must be from 1"},
};

void PrintTo(const ConfigCase& c, std::ostream* out) { *out << c.name; }

class ConfigTest : public ServerTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(ConfigTest, RefusedBeforeTheDatabaseIsTouched) {
    testserver::Config c = config();
    GetParam().change(c);
    try {
        testserver::Server server(c);
        ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().reason), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(database()));
}

INSTANTIATE_TEST_SUITE_P(Configs, ConfigTest, ::testing::ValuesIn(kConfigCases),
                         [](const auto& info) { return std::string(info.param.name); });

void runSql(const std::filesystem::path& file, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class DatabaseTest : public ServerTest {
protected:
    void expectRefused(const char* reason) {
        try {
            start();
            ADD_FAILURE() << "served";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
};

TEST_F(DatabaseTest, NewerSchemaIsRefused) {
    start();
    stopServer();
    runSql(database(), "PRAGMA user_version = 7");
    expectRefused("schema version 7 is newer than this dqtest-server's 1");
}

TEST_F(DatabaseTest, SomeoneElsesDatabaseIsRefusedUntouched) {
    runSql(database(), "CREATE TABLE parts (id INTEGER)");
    expectRefused("holds tables but none of dqtest-server's");
    EXPECT_EQ(sqlInteger("PRAGMA user_version"), 0);
}

TEST_F(DatabaseTest, FileThatIsNoDatabaseIsRefused) {
    std::ofstream(database()) << std::string(8192, 'x');
    expectRefused("file is not a database");
}

TEST_F(DatabaseTest, MissingDirectoryIsRefused) {
    testserver::Config c = config();
    c.database = database().parent_path() / "missing" / "server.db";
    try {
        testserver::Server server(c);
        ADD_FAILURE() << "opened";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("cannot open database"), std::string::npos) << e.what();
    }
}

TEST_F(DatabaseTest, HistoryOfNoDatabaseIsAnError) {
    EXPECT_THROW(testserver::readHistory(database(), kFirstSerial), std::runtime_error);
    runSql(database(), "CREATE TABLE parts (id INTEGER)");
    EXPECT_THROW(testserver::readHistory(database(), kFirstSerial), std::runtime_error);
}

TEST_F(DatabaseTest, PortInUseIsAnError) {
    start();
    testserver::Config c = config();
    c.port = port_;
    testserver::Server second(c);
    try {
        second.start();
        ADD_FAILURE() << "listened twice on one port";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("cannot listen on 127.0.0.1:" + std::to_string(port_)), std::string::npos)
            << e.what();
    }
}

}  // namespace
}  // namespace testserver_testing
