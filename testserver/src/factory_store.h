// The server's records: allocations made in one transaction each and
// committed before anyone is told, logins, and reports. Safe to share
// between connections.
#pragma once

#include "sqlite_db.h"
#include "testserver/history.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

// Who asked, and when.
struct Origin {
    std::uint32_t stationId = 0;
    std::string peer;
    std::int64_t time = 0;
};

struct LoginRecord {
    std::string peer;
    std::int64_t time = 0;
    std::optional<std::uint32_t> stationId;
    std::string program;
    std::string version;
    bool accepted = false;
    int status = 0;
    std::string reason;
    std::string line;  // password word masked
};

struct ValueRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

enum class AllocationKind { Serial, Mac };

class FactoryStore {
public:
    // Opens or creates the database. Throws DatabaseError.
    FactoryStore(const std::filesystem::path& file, int busyTimeoutMs);

    // The lowest unused value from where the last one left off (or from
    // range.first when that lies outside the range); nullopt when the range
    // is used up. A serial belongs to the device it becomes; a MAC to
    // deviceId, if any. Throws DatabaseError when nothing was committed.
    std::optional<std::uint64_t> allocate(AllocationKind kind, ValueRange range, std::optional<std::uint64_t> deviceId,
                                          const Origin& origin);

    // Each throws DatabaseError when nothing was committed.
    void recordLogin(const LoginRecord& login);
    void recordRun(std::string_view kind, std::uint64_t deviceId, const Origin& origin, std::string_view raw,
                   const std::vector<std::string>& rows);
    void recordCalibration(std::uint64_t deviceId, const Origin& origin, std::string_view raw,
                           const std::vector<CalPoint>& points);

    // How many values of a kind were handed out so far.
    std::uint64_t allocatedCount(AllocationKind kind);

private:
    std::mutex mutex_;  // one transaction at a time on the one connection
    Database db_;
};

std::string_view kindName(AllocationKind kind);

}  // namespace testserver
