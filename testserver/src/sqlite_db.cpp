#include "sqlite_db.h"

#include <cmath>

namespace testserver {

Database::Database(const std::filesystem::path& file, Mode mode, int busyTimeoutMs) {
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (mode == Mode::CreateOrWrite ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError("cannot open database " + file.string() + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
}

Database::~Database() { sqlite3_close(db_); }

void Database::fail(std::string_view what) const {
    throw DatabaseError(std::string(what) + ": " + sqlite3_errmsg(db_));
}

void Database::exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error != nullptr ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw DatabaseError(message);
    }
}

Statement Database::prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) fail("cannot prepare a query");
    return Statement(*this, statement);
}

std::int64_t Database::queryInteger(const char* sql) {
    Statement statement = prepare(sql);
    if (!statement.step()) throw DatabaseError(std::string("no result from ") + sql);
    return statement.integer(0);
}

std::string Database::queryText(const char* sql) {
    Statement statement = prepare(sql);
    if (!statement.step()) throw DatabaseError(std::string("no result from ") + sql);
    return statement.text(0);
}

std::int64_t Database::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement& Statement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) db_.fail("cannot bind a value");
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    if (sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK) {
        db_.fail("cannot bind a text");
    }
    return *this;
}

Statement& Statement::bind(int index, std::optional<double> value) {
    if (!value || std::isnan(*value)) return bindNull(index);
    if (sqlite3_bind_double(statement_, index, *value) != SQLITE_OK) db_.fail("cannot bind a value");
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (sqlite3_bind_null(statement_, index) != SQLITE_OK) db_.fail("cannot bind a value");
    return *this;
}

bool Statement::step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result == SQLITE_DONE) return false;
    db_.fail("query failed");
}

void Statement::run() {
    while (step()) {
    }
}

void Statement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool Statement::isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::string Statement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    if (bytes == nullptr) return {};
    return std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

Transaction::Transaction(Database& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (!open_) return;
    try {
        db_.exec("ROLLBACK");
    } catch (const DatabaseError&) {
        // A failed statement may have rolled back already; nothing is left open.
    }
}

void Transaction::commit() {
    db_.exec("COMMIT");
    open_ = false;
}

}  // namespace testserver
