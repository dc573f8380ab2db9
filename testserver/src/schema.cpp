#include "schema.h"

#include <array>
#include <string>

namespace testserver {

namespace {

// kMigrations[i] takes a database from version i to i + 1. Device ids,
// serials and MACs are stored as the bit pattern of a signed 64-bit integer.
constexpr std::array<const char*, kSchemaVersion> kMigrations = {
    R"sql(
    CREATE TABLE logins (
        id INTEGER PRIMARY KEY,
        time INTEGER NOT NULL,
        peer TEXT NOT NULL,
        station_id INTEGER,            -- NULL when the line held none
        program TEXT NOT NULL,
        version TEXT NOT NULL,
        accepted INTEGER NOT NULL,
        status INTEGER NOT NULL,       -- the status answered
        reason TEXT NOT NULL,
        line TEXT NOT NULL             -- with the password word masked
    );
    CREATE TABLE next_values (
        kind TEXT PRIMARY KEY CHECK (kind IN ('serial', 'mac')),
        next INTEGER NOT NULL
    );
    CREATE TABLE allocations (
        id INTEGER PRIMARY KEY,
        kind TEXT NOT NULL CHECK (kind IN ('serial', 'mac')),
        value INTEGER NOT NULL,
        device_id INTEGER,             -- a MAC's: the serial before it on the connection, if any
        station_id INTEGER NOT NULL,
        peer TEXT NOT NULL,
        time INTEGER NOT NULL,
        UNIQUE (kind, value)
    );
    CREATE INDEX allocations_by_device ON allocations (device_id);
    CREATE TABLE runs (
        id INTEGER PRIMARY KEY,
        kind TEXT NOT NULL CHECK (kind IN ('test', 'qtest')),
        device_id INTEGER NOT NULL,
        station_id INTEGER NOT NULL,
        peer TEXT NOT NULL,
        time INTEGER NOT NULL,
        raw TEXT NOT NULL
    );
    CREATE INDEX runs_by_device ON runs (device_id);
    CREATE TABLE run_rows (
        run_id INTEGER NOT NULL REFERENCES runs (id),
        position INTEGER NOT NULL,
        text TEXT NOT NULL,
        PRIMARY KEY (run_id, position)
    );
    CREATE TABLE calibrations (
        id INTEGER PRIMARY KEY,
        device_id INTEGER NOT NULL,
        station_id INTEGER NOT NULL,
        peer TEXT NOT NULL,
        time INTEGER NOT NULL,
        raw TEXT NOT NULL
    );
    CREATE INDEX calibrations_by_device ON calibrations (device_id);
    CREATE TABLE cal_points (
        calibration_id INTEGER NOT NULL REFERENCES calibrations (id),
        position INTEGER NOT NULL,
        name TEXT NOT NULL,
        has_value INTEGER NOT NULL,
        value REAL,                    -- NULL for NaN and for text entries
        text TEXT NOT NULL,            -- the value as sent, or the entry's text
        PRIMARY KEY (calibration_id, position)
    );
    )sql",
};

// The version, after checking the file is an SQLite database of ours.
int versionOf(Database& db) {
    const std::int64_t version = db.queryInteger("PRAGMA user_version");
    const std::int64_t tables = db.queryInteger("SELECT count(*) FROM sqlite_schema");
    if (version == 0 && tables > 0) throw DatabaseError("it holds tables but none of dqtest-server's");
    if (version > kSchemaVersion) {
        throw DatabaseError("its schema version " + std::to_string(version) + " is newer than this dqtest-server's " +
                            std::to_string(kSchemaVersion) + "; use a newer dqtest-server");
    }
    if (version < 0) throw DatabaseError("its schema version " + std::to_string(version) + " is unknown");
    return static_cast<int>(version);
}

void upgrade(Database& db) {
    versionOf(db);  // refuse someone else's database before touching its journal
    if (db.queryText("PRAGMA journal_mode=WAL") != "wal")
        throw DatabaseError("the write-ahead log cannot be used there");
    db.exec("PRAGMA synchronous=FULL");
    db.exec("PRAGMA foreign_keys=ON");
    // Read again under the write lock: another server may have upgraded it meanwhile.
    Transaction transaction(db);
    for (int version = versionOf(db); version < kSchemaVersion; ++version) {
        db.exec(kMigrations[static_cast<std::size_t>(version)]);
        db.exec(("PRAGMA user_version=" + std::to_string(version + 1)).c_str());
    }
    transaction.commit();
}

}  // namespace

void prepareForServing(Database& db, const std::filesystem::path& file) {
    try {
        upgrade(db);
    } catch (const DatabaseError& e) {
        throw DatabaseError("cannot use database " + file.string() + ": " + e.what());
    }
}

void checkReadable(Database& db, const std::filesystem::path& file) {
    int version = 0;
    try {
        version = versionOf(db);
    } catch (const DatabaseError& e) {
        throw DatabaseError("cannot read database " + file.string() + ": " + e.what());
    }
    if (version == 0) throw DatabaseError("cannot read database " + file.string() + ": it holds no test server data");
}

}  // namespace testserver
