#include "factory_store.h"

#include "schema.h"

namespace testserver {

namespace {

constexpr const char* kFirstFreeFrom = R"sql(
    SELECT v FROM (
        SELECT ?2 AS v
        UNION ALL
        SELECT value + 1 FROM allocations WHERE kind = ?1 AND value >= ?2 AND value < ?3
    ) AS candidate
    WHERE NOT EXISTS (SELECT 1 FROM allocations a WHERE a.kind = ?1 AND a.value = candidate.v)
    ORDER BY v LIMIT 1
)sql";

// Where to look first: the next value kept in the database, when it lies in the range.
std::uint64_t searchStart(Database& db, std::string_view kind, ValueRange range) {
    Statement next = db.prepare("SELECT next FROM next_values WHERE kind = ?1");
    next.bind(1, kind);
    if (!next.step()) return range.first;
    const std::uint64_t value = next.unsignedInteger(0);
    return value >= range.first && value <= range.last ? value : range.first;
}

}  // namespace

std::string_view kindName(AllocationKind kind) { return kind == AllocationKind::Serial ? "serial" : "mac"; }

FactoryStore::FactoryStore(const std::filesystem::path& file, int busyTimeoutMs)
    : db_(file, Database::Mode::CreateOrWrite, busyTimeoutMs) {
    prepareForServing(db_, file);
}

std::optional<std::uint64_t> FactoryStore::allocate(AllocationKind kind, ValueRange range,
                                                    std::optional<std::uint64_t> deviceId, const Origin& origin) {
    const std::string_view name = kindName(kind);
    const std::lock_guard lock(mutex_);
    Transaction transaction(db_);

    Statement free = db_.prepare(kFirstFreeFrom);
    free.bind(1, name).bind(2, searchStart(db_, name, range)).bind(3, range.last);
    if (!free.step()) return std::nullopt;
    const std::uint64_t value = free.unsignedInteger(0);
    if (value > range.last) return std::nullopt;

    Statement insert = db_.prepare(
        "INSERT INTO allocations (kind, value, device_id, station_id, peer, time) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    insert.bind(1, name).bind(2, value);
    if (kind == AllocationKind::Serial) {
        insert.bind(3, value);
    } else if (deviceId) {
        insert.bind(3, *deviceId);
    } else {
        insert.bindNull(3);
    }
    insert.bind(4, origin.stationId).bind(5, origin.peer).bind(6, origin.time).run();

    Statement next = db_.prepare(
        "INSERT INTO next_values (kind, next) VALUES (?1, ?2) ON CONFLICT (kind) DO UPDATE SET next = excluded.next");
    next.bind(1, name).bind(2, value + 1).run();
    transaction.commit();
    return value;
}

void FactoryStore::recordLogin(const LoginRecord& login) {
    const std::lock_guard lock(mutex_);
    Statement insert = db_.prepare(
        "INSERT INTO logins (time, peer, station_id, program, version, accepted, status, reason, line) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    insert.bind(1, login.time).bind(2, login.peer);
    if (login.stationId) {
        insert.bind(3, *login.stationId);
    } else {
        insert.bindNull(3);
    }
    insert.bind(4, login.program)
        .bind(5, login.version)
        .bind(6, std::int64_t{login.accepted})
        .bind(7, std::int64_t{login.status})
        .bind(8, login.reason)
        .bind(9, login.line)
        .run();
}

void FactoryStore::recordRun(std::string_view kind, std::uint64_t deviceId, const Origin& origin, std::string_view raw,
                             const std::vector<std::string>& rows) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    Statement run =
        db_.prepare("INSERT INTO runs (kind, device_id, station_id, peer, time, raw) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    run.bind(1, kind).bind(2, deviceId).bind(3, origin.stationId).bind(4, origin.peer).bind(5, origin.time);
    run.bind(6, raw).run();
    const std::int64_t runId = db_.lastInsertId();
    Statement row = db_.prepare("INSERT INTO run_rows (run_id, position, text) VALUES (?1, ?2, ?3)");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        row.bind(1, runId).bind(2, static_cast<std::int64_t>(i)).bind(3, rows[i]).run();
        row.reset();
    }
    transaction.commit();
}

void FactoryStore::recordCalibration(std::uint64_t deviceId, const Origin& origin, std::string_view raw,
                                     const std::vector<CalPoint>& points) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    Statement calibration =
        db_.prepare("INSERT INTO calibrations (device_id, station_id, peer, time, raw) VALUES (?1, ?2, ?3, ?4, ?5)");
    calibration.bind(1, deviceId).bind(2, origin.stationId).bind(3, origin.peer).bind(4, origin.time);
    calibration.bind(5, raw).run();
    const std::int64_t calibrationId = db_.lastInsertId();
    Statement point = db_.prepare(
        "INSERT INTO cal_points (calibration_id, position, name, has_value, value, text) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    for (std::size_t i = 0; i < points.size(); ++i) {
        point.bind(1, calibrationId).bind(2, static_cast<std::int64_t>(i)).bind(3, points[i].name);
        point.bind(4, std::int64_t{points[i].value.has_value()}).bind(5, points[i].value).bind(6, points[i].text);
        point.run();
        point.reset();
    }
    transaction.commit();
}

std::uint64_t FactoryStore::allocatedCount(AllocationKind kind) {
    const std::lock_guard lock(mutex_);
    Statement count = db_.prepare("SELECT count(*) FROM allocations WHERE kind = ?1");
    count.bind(1, kindName(kind));
    count.step();
    return count.unsignedInteger(0);
}

}  // namespace testserver
