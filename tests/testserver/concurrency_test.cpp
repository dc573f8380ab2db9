// Many stations at once: every number handed out once, all of them in range,
// and the database agreeing with what the stations were told.
#include "server_fixture.h"

#include <latch>
#include <set>
#include <thread>

namespace testserver_testing {
namespace {

constexpr int kStations = 20;
constexpr int kPairsPerStation = 15;  // a serial and a MAC each

std::uint64_t valueOf(const std::string& reply) {
    if (reply.substr(0, 6) != "200 0x") return 0;
    return std::stoull(reply.substr(6), nullptr, 16);
}

class ConcurrencyTest : public ServerTest {};

TEST_F(ConcurrencyTest, StationsAtOnceGetDistinctNumbers) {
    start();
    std::vector<std::vector<std::pair<std::uint64_t, std::uint64_t>>> given(kStations);
    std::vector<std::string> failures(kStations);
    std::latch ready(kStations);
    std::vector<std::thread> stations;
    for (int s = 0; s < kStations; ++s) {
        stations.emplace_back([&, s] {
            LineClient client(port_);
            const bool in = client.exchange(kLoginLine) == "200";
            ready.arrive_and_wait();  // all connected before anyone asks
            if (!in) {
                failures[s] = "login failed";
                return;
            }
            for (int i = 0; i < kPairsPerStation; ++i) {
                const std::string serial = client.exchange("serial");
                const std::string mac = client.exchange("mac");
                if (valueOf(serial) == 0 || valueOf(mac) == 0) {
                    failures[s] = serial + " / " + mac;
                    return;
                }
                given[s].emplace_back(valueOf(serial), valueOf(mac));
            }
        });
    }
    for (std::thread& station : stations) station.join();
    for (const std::string& failure : failures) ASSERT_EQ(failure, "") << log();

    constexpr std::uint64_t kCount = kStations * kPairsPerStation;
    std::set<std::uint64_t> serials;
    std::set<std::uint64_t> macs;
    for (const auto& pairs : given) {
        for (const auto& [serial, mac] : pairs) {
            serials.insert(serial);
            macs.insert(mac);
        }
    }
    // Distinct, and as nothing failed, exactly the first ones of each range.
    ASSERT_EQ(serials.size(), kCount);
    ASSERT_EQ(macs.size(), kCount);
    EXPECT_EQ(*serials.begin(), kFirstSerial);
    EXPECT_EQ(*serials.rbegin(), kFirstSerial + kCount - 1);
    EXPECT_EQ(*macs.begin(), 0x0E5D71100000u);
    EXPECT_EQ(*macs.rbegin(), 0x0E5D71100000u + kCount - 1);

    EXPECT_EQ(sqlInteger("SELECT count(DISTINCT value) FROM allocations WHERE kind = 'serial'"), kCount);
    EXPECT_EQ(sqlInteger("SELECT count(DISTINCT value) FROM allocations WHERE kind = 'mac'"), kCount);
    // Each MAC is on record with the serial its own station got just before it.
    for (const auto& pairs : given) {
        for (const auto& [serial, mac] : pairs) {
            const testserver::History history = testserver::readHistory(database(), serial);
            ASSERT_EQ(history.allocations.size(), 2u) << serial;
            EXPECT_EQ(history.allocations[0].kind, "mac");
            EXPECT_EQ(history.allocations[0].value, mac);
        }
    }
}

}  // namespace
}  // namespace testserver_testing
