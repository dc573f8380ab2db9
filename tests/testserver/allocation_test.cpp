// Serial numbers and MAC addresses: their reply form, their ranges, never
// the same one twice, and never a 200 for one that is not committed.
#include "server_fixture.h"

#include <sqlite3.h>

namespace testserver_testing {
namespace {

class AllocationTest : public ServerTest {};

TEST_F(AllocationTest, FirstValuesInTheirReplyForm) {
    start();
    LineClient client = loggedIn();
    EXPECT_EQ(client.exchange("serial"), kFirstSerialReply);
    EXPECT_EQ(client.exchange("serial"), "200 0x000000001C03C893");
    EXPECT_EQ(client.exchange("mac"), kFirstMacReply);
    EXPECT_EQ(client.exchange("mac"), "200 0x0E5D71100001");
}

struct UsedUpCase {
    const char* command;
    void (*narrow)(testserver::Config&);
    std::vector<std::string> replies;
};

const UsedUpCase kUsedUpCases[] = {
    {"serial",
     [](testserver::Config& c) {
         c.firstSerial = 10;
         c.lastSerial = 12;
     },
     {"200 0x000000000000000A", "200 0x000000000000000B", "200 0x000000000000000C", "503", "503"}},
    {"mac",
     [](testserver::Config& c) {
         c.firstMac = 0xFFFFFFFFFFFE;
         c.lastMac = 0xFFFFFFFFFFFF;
     },
     {"200 0xFFFFFFFFFFFE", "200 0xFFFFFFFFFFFF", "503"}},
};

TEST_F(AllocationTest, UsedUpRangeAnswers503AndNothingOutside) {
    for (const UsedUpCase& c : kUsedUpCases) {
        SCOPED_TRACE(c.command);
        testserver::Config narrowed = config();
        c.narrow(narrowed);
        start(narrowed);
        LineClient client = loggedIn();
        for (const std::string& reply : c.replies) EXPECT_EQ(client.exchange(c.command), reply);
        EXPECT_TRUE(logged("503 serial or MAC range used up")) << log();
        stopServer();
    }
}

TEST_F(AllocationTest, RestartCarriesOn) {
    start();
    EXPECT_EQ(loggedIn().exchange("serial"), kFirstSerialReply);
    stopServer();
    start();
    LineClient client = loggedIn();
    EXPECT_EQ(client.exchange("serial"), "200 0x000000001C03C893");
    EXPECT_EQ(client.exchange("mac"), kFirstMacReply);
}

TEST_F(AllocationTest, RangeMovedBackSkipsWhatWasGivenOut) {
    testserver::Config first = config();
    first.firstSerial = 10;
    first.lastSerial = 20;
    start(first);
    {
        LineClient client = loggedIn();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(client.exchange("serial").substr(0, 3), "200");  // 10, 11, 12
    }
    stopServer();

    testserver::Config moved = config();
    moved.firstSerial = 8;
    moved.lastSerial = 11;
    start(moved);
    LineClient client = loggedIn();
    EXPECT_EQ(client.exchange("serial"), "200 0x0000000000000008");
    EXPECT_EQ(client.exchange("serial"), "200 0x0000000000000009");
    EXPECT_EQ(client.exchange("serial"), "503");
}

TEST_F(AllocationTest, MacGoesWithTheLatestSerialOfItsConnection) {
    start();
    LineClient client = loggedIn();
    EXPECT_EQ(client.exchange("mac"), "200 0x0E5D71100000");  // no serial yet
    EXPECT_EQ(client.exchange("serial"), kFirstSerialReply);
    EXPECT_EQ(client.exchange("mac"), "200 0x0E5D71100001");
    EXPECT_EQ(client.exchange("serial"), "200 0x000000001C03C893");
    EXPECT_EQ(client.exchange("mac"), "200 0x0E5D71100002");

    const auto macsOf = [&](std::uint64_t serial) {
        std::vector<std::uint64_t> macs;
        for (const auto& allocation : testserver::readHistory(database(), serial).allocations) {
            if (allocation.kind == "mac") macs.push_back(allocation.value);
            EXPECT_EQ(allocation.stationId, 0x1702u);
        }
        return macs;
    };
    EXPECT_EQ(macsOf(kFirstSerial), std::vector<std::uint64_t>{0x0E5D71100001});
    EXPECT_EQ(macsOf(kFirstSerial + 1), std::vector<std::uint64_t>{0x0E5D71100002});
    EXPECT_EQ(sqlInteger("SELECT count(*) FROM allocations WHERE kind = 'mac' AND device_id IS NULL"), 1);
}

// Another writer holds the database's write lock longer than the server waits.
class LockedDatabase {
public:
    explicit LockedDatabase(const std::filesystem::path& file) {
        sqlite3_open(file.c_str(), &db_);
        locked_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~LockedDatabase() { sqlite3_close(db_); }
    bool locked() const { return locked_; }
    void release() { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

private:
    sqlite3* db_ = nullptr;
    bool locked_ = false;
};

TEST_F(AllocationTest, DatabaseFailureIsNeverA200) {
    testserver::Config c = config();
    c.busyTimeoutMs = 100;
    start(c);
    LineClient client = loggedIn();
    LockedDatabase lock(database());
    ASSERT_TRUE(lock.locked());
    EXPECT_EQ(client.exchange("serial"), "500");
    EXPECT_EQ(client.exchange("mac"), "500");
    EXPECT_EQ(client.exchange(std::string("test ") + kDevice + " {a}"), "500");
    EXPECT_TRUE(logged("500 database failure")) << log();

    lock.release();
    EXPECT_EQ(client.exchange("serial"), kFirstSerialReply);
    EXPECT_TRUE(testserver::readHistory(database(), kFirstSerial).runs.empty());
}

}  // namespace
}  // namespace testserver_testing
