#include "history/SqliteDatabase.h"

#include <cstring>
#include <utility>

#include <sqlite3.h>

namespace quintor {

SqliteDb::SqliteDb(const std::string& path, bool create, bool readOnly) : path_(path) {
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create && !readOnly) flags |= SQLITE_OPEN_CREATE;
    // One connection per thread of use; no shared cache, no URI names (the path is a plain name).
    flags |= SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        const int sys = db_ ? sqlite3_system_errno(db_) : 0;
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw SqliteError("Cannot open \"" + path + "\": " + reason +
                              (sys ? std::string(" (") + std::strerror(sys) + ")" : ""),
                          rc & 0xff, sys);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), path_(std::move(other.path_)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
    if (this != &other) {
        Close();
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

SqliteDb::~SqliteDb() {
    Close();
}

void SqliteDb::Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void SqliteDb::Throw(int rc, std::string_view what) const {
    std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    const int sys = db_ ? sqlite3_system_errno(db_) : 0;
    if (sys != 0 && (rc & 0xff) != SQLITE_BUSY) reason += std::string(" (") + std::strerror(sys) + ")";
    throw SqliteError(std::string(what) + " in \"" + path_ + "\": " + reason, rc & 0xff, sys);
}

void SqliteDb::ThrowIfError(int rc, std::string_view what) const {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) Throw(rc, what);
}

void SqliteDb::Exec(const char* sql) {
    if (!db_) throw SqliteError("The history database is not open", SQLITE_MISUSE);
    ThrowIfError(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), "SQL failed");
}

void SqliteDb::SetBusyTimeout(int milliseconds) {
    if (db_) sqlite3_busy_timeout(db_, milliseconds);
}

SqliteStmt::SqliteStmt(SqliteDb& db, const char* sql) : db_(db) {
    if (!db.IsOpen()) throw SqliteError("The history database is not open", SQLITE_MISUSE);
    const int rc = sqlite3_prepare_v3(db.Handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_,
                                      nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        db.Throw(rc, "Cannot prepare a statement");
    }
}

SqliteStmt::~SqliteStmt() {
    sqlite3_finalize(stmt_);
}

SqliteStmt& SqliteStmt::Bind(int i, std::int64_t v) {
    db_.ThrowIfError(sqlite3_bind_int64(stmt_, i, v), "Cannot bind a value");
    return *this;
}

SqliteStmt& SqliteStmt::Bind(int i, double v) {
    db_.ThrowIfError(sqlite3_bind_double(stmt_, i, v), "Cannot bind a value");
    return *this;
}

SqliteStmt& SqliteStmt::Bind(int i, std::string_view v) {
    db_.ThrowIfError(sqlite3_bind_text64(stmt_, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
                     "Cannot bind a value");
    return *this;
}

SqliteStmt& SqliteStmt::BindNull(int i) {
    db_.ThrowIfError(sqlite3_bind_null(stmt_, i), "Cannot bind a value");
    return *this;
}

bool SqliteStmt::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    db_.Throw(rc, "SQL failed");
}

void SqliteStmt::Run() {
    while (Step()) {
    }
}

void SqliteStmt::Reset() {
    // The error of a failed step is reported by that step; reset only makes the statement usable.
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

bool SqliteStmt::IsNull(int col) const {
    return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}

std::int64_t SqliteStmt::Int(int col) const {
    return sqlite3_column_int64(stmt_, col);
}

double SqliteStmt::Real(int col) const {
    return sqlite3_column_double(stmt_, col);
}

std::string SqliteStmt::Text(int col) const {
    const unsigned char* p = sqlite3_column_text(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), std::size_t(sqlite3_column_bytes(stmt_, col)))
             : std::string();
}

SqliteTransaction::SqliteTransaction(SqliteDb& db, SqliteStmt& begin, SqliteStmt& commit,
                                     SqliteStmt& rollback)
    : db_(db), commit_(commit), rollback_(rollback) {
    SqliteStmt::Use use(begin);
    begin.Run();
}

SqliteTransaction::~SqliteTransaction() {
    if (!open_) return;
    // A failed COMMIT or statement may already have ended the transaction; then there is
    // nothing to roll back and the error is the one already reported.
    if (sqlite3_get_autocommit(db_.Handle())) return;
    try {
        SqliteStmt::Use use(rollback_);
        rollback_.Run();
    } catch (const SqliteError&) {
    }
}

void SqliteTransaction::Commit() {
    SqliteStmt::Use use(commit_);
    commit_.Run();
    open_ = false;
}

}  // namespace quintor
