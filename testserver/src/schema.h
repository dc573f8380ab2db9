// The server's tables, created and upgraded by the server itself; the
// version lives in PRAGMA user_version.
#pragma once

#include "sqlite_db.h"

#include <filesystem>

namespace testserver {

inline constexpr int kSchemaVersion = 1;

// Write-ahead log with full synchronous commits, then the schema brought up
// to date. Throws DatabaseError for a database that is not the server's or
// is newer than it knows.
void prepareForServing(Database& db, const std::filesystem::path& file);

// Only checks that the database is the server's, of a version it can read.
void checkReadable(Database& db, const std::filesystem::path& file);

}  // namespace testserver
