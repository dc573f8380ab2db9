// A thin owner of an SQLite connection and its statements; every failure
// becomes a DatabaseError carrying SQLite's own message.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testserver {

class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement;

class Database {
public:
    enum class Mode { CreateOrWrite, WriteExisting };
    Database(const std::filesystem::path& file, Mode mode, int busyTimeoutMs);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const char* sql);
    Statement prepare(const char* sql);
    // The single value of a one-row query, e.g. a PRAGMA.
    std::int64_t queryInteger(const char* sql);
    std::string queryText(const char* sql);

    std::int64_t lastInsertId() const;
    [[noreturn]] void fail(std::string_view what) const;

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(Database& db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::uint64_t value) { return bind(index, static_cast<std::int64_t>(value)); }
    Statement& bind(int index, std::uint32_t value) { return bind(index, static_cast<std::int64_t>(value)); }
    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, std::optional<double> value);  // NaN and none become NULL
    Statement& bindNull(int index);

    bool step();  // true: a row is there; false: done
    void run();   // steps a statement that returns no rows
    void reset();

    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    std::uint64_t unsignedInteger(int column) const { return static_cast<std::uint64_t>(integer(column)); }
    std::string text(int column) const;

private:
    Database& db_;
    sqlite3_stmt* statement_;
};

// BEGIN IMMEDIATE: takes the write lock at once, so that what is read inside
// stays true until the commit. Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& db_;
    bool open_ = true;
};

}  // namespace testserver
