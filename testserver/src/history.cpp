// readHistory: a device's records, newest first.
#include "report_line.h"
#include "schema.h"
#include "sqlite_db.h"
#include "testserver/history.h"

#include <system_error>

namespace testserver {

namespace {

constexpr int kReadBusyTimeoutMs = 5000;

std::vector<Allocation> allocationsOf(Database& db, std::uint64_t deviceId) {
    Statement query = db.prepare(
        "SELECT kind, value, station_id, peer, time FROM allocations WHERE device_id = ?1 "
        "ORDER BY time DESC, id DESC");
    query.bind(1, deviceId);
    std::vector<Allocation> result;
    while (query.step()) {
        result.push_back({query.text(0), query.unsignedInteger(1), static_cast<std::uint32_t>(query.integer(2)),
                          query.text(3), query.integer(4)});
    }
    return result;
}

std::vector<Run> runsOf(Database& db, std::uint64_t deviceId) {
    Statement query = db.prepare(
        "SELECT id, kind, station_id, peer, time, raw FROM runs WHERE device_id = ?1 ORDER BY time DESC, id DESC");
    query.bind(1, deviceId);
    Statement rows = db.prepare("SELECT text FROM run_rows WHERE run_id = ?1 ORDER BY position");
    std::vector<Run> result;
    while (query.step()) {
        Run run{query.text(1), static_cast<std::uint32_t>(query.integer(2)),
                query.text(3), query.integer(4),
                query.text(5), {}};
        rows.bind(1, query.integer(0));
        while (rows.step()) run.rows.push_back({rows.text(0)});
        rows.reset();
        result.push_back(std::move(run));
    }
    return result;
}

std::vector<Calibration> calibrationsOf(Database& db, std::uint64_t deviceId) {
    Statement query = db.prepare(
        "SELECT id, station_id, peer, time, raw FROM calibrations WHERE device_id = ?1 ORDER BY time DESC, id DESC");
    query.bind(1, deviceId);
    Statement points =
        db.prepare("SELECT name, has_value, text FROM cal_points WHERE calibration_id = ?1 ORDER BY position");
    std::vector<Calibration> result;
    while (query.step()) {
        Calibration calibration{
            static_cast<std::uint32_t>(query.integer(1)), query.text(2), query.integer(3), query.text(4), {}};
        points.bind(1, query.integer(0));
        while (points.step()) {
            // The value comes back from its text: the REAL column cannot hold NaN.
            const std::string text = points.text(2);
            const std::optional<double> value = points.integer(1) != 0 ? parseCalValue(text) : std::nullopt;
            calibration.points.push_back({points.text(0), value, text});
        }
        points.reset();
        result.push_back(std::move(calibration));
    }
    return result;
}

}  // namespace

History readHistory(const std::filesystem::path& database, std::uint64_t deviceId) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(database, error)) {
        throw std::runtime_error("cannot open database " + database.string() + ": no such file");
    }
    try {
        Database db(database, Database::Mode::WriteExisting, kReadBusyTimeoutMs);
        checkReadable(db, database);
        // One read transaction, so that the three lists agree with each other.
        db.exec("BEGIN");
        History history{allocationsOf(db, deviceId), runsOf(db, deviceId), calibrationsOf(db, deviceId)};
        db.exec("COMMIT");
        return history;
    } catch (const DatabaseError& e) {
        throw std::runtime_error(e.what());
    }
}

}  // namespace testserver
