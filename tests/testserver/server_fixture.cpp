#include "server_fixture.h"

#include <sqlite3.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace testserver_testing {

testserver::Config ServerTest::config() {
    testserver::Config config;
    config.port = 0;
    config.database = database();
    config.idleTimeoutMs = 5000;
    config.log = [this](std::string_view line) {
        const std::lock_guard lock(logMutex_);
        logLines_.emplace_back(line);
    };
    return config;
}

void ServerTest::start(testserver::Config config) {
    server_ = std::make_unique<testserver::Server>(std::move(config));
    port_ = server_->start();
}

void ServerTest::stopServer() { server_.reset(); }

LineClient ServerTest::connect() {
    LineClient client(port_);
    EXPECT_TRUE(client.connected()) << "cannot connect to port " << port_;
    return client;
}

LineClient ServerTest::loggedIn() {
    LineClient client = connect();
    EXPECT_EQ(client.exchange(kLoginLine), "200") << log();
    return client;
}

bool ServerTest::logged(std::string_view text, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            const std::lock_guard lock(logMutex_);
            for (const std::string& line : logLines_) {
                if (line.find(text) != std::string::npos) return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ServerTest::log() {
    const std::lock_guard lock(logMutex_);
    std::string text = "server log:\n";
    for (const std::string& line : logLines_) text += "  " + line + "\n";
    return text;
}

std::int64_t ServerTest::sqlInteger(const std::string& sql) const {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + database().string());
    }
    sqlite3_stmt* statement = nullptr;
    std::int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int64(statement, 0);
    }
    const std::string error = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (value < 0) throw std::runtime_error(sql + ": " + error);
    return value;
}

}  // namespace testserver_testing
