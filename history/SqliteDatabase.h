// A thin owner of an SQLite connection and its prepared statements. Every value reaches SQL
// through a bound parameter; the only SQL texts are the fixed ones of this program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/GeneralStuff.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quintor {

// A failed SQLite call: the message names the file and SQLite's reason; code is SQLite's primary
// result code (SQLITE_BUSY, SQLITE_FULL, ...) and sys the system's errno (0 when none), so
// callers can tell the faults apart.
class SqliteError : public IOError {
public:
    SqliteError(const std::string& message, int code, int sys = 0)
        : IOError(message), code_(code), sys_(sys) {}
    int code() const { return code_; }
    int sys() const { return sys_; }

private:
    int code_;
    int sys_;
};

class SqliteDb {
public:
    SqliteDb() = default;
    // Opens (creating when create is set) the file; SqliteError when it cannot.
    SqliteDb(const std::string& path, bool create, bool readOnly = false);
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    ~SqliteDb();

    bool IsOpen() const { return db_ != nullptr; }
    void Close();   // every statement of this connection must be gone
    const std::string& Path() const { return path_; }
    sqlite3* Handle() const { return db_; }

    // Runs fixed SQL text (schema, pragmas) that takes no parameters; rows are discarded.
    void Exec(const char* sql);
    void SetBusyTimeout(int milliseconds);
    // Throws SqliteError for a result code that is not OK, ROW or DONE.
    [[noreturn]] void Throw(int rc, std::string_view what) const;
    void ThrowIfError(int rc, std::string_view what) const;

private:
    sqlite3* db_ = nullptr;
    std::string path_;
};

// A statement prepared once and run many times.
class SqliteStmt {
public:
    SqliteStmt(SqliteDb& db, const char* sql);
    SqliteStmt(const SqliteStmt&) = delete;
    SqliteStmt& operator=(const SqliteStmt&) = delete;
    ~SqliteStmt();

    // Parameters count from 1, as in SQL.
    SqliteStmt& Bind(int i, std::int64_t v);
    SqliteStmt& Bind(int i, int v) { return Bind(i, std::int64_t(v)); }
    SqliteStmt& Bind(int i, double v);
    SqliteStmt& Bind(int i, std::string_view v);
    SqliteStmt& BindNull(int i);
    // True while a row is there; false when the statement is done.
    bool Step();
    // Runs a statement that returns no rows.
    void Run();
    // Ready for the next run, with every parameter unbound.
    void Reset();

    // Columns count from 0.
    bool IsNull(int col) const;
    std::int64_t Int(int col) const;
    double Real(int col) const;
    std::string Text(int col) const;

    // Resets the statement when it leaves its scope, so that no read stays open after an error.
    class Use {
    public:
        explicit Use(SqliteStmt& s) : s_(s) { s_.Reset(); }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        ~Use() { s_.Reset(); }

    private:
        SqliteStmt& s_;
    };

private:
    SqliteDb& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE at once (the write lock, waiting up to the busy timeout), ROLLBACK when it
// leaves its scope without Commit.
class SqliteTransaction {
public:
    SqliteTransaction(SqliteDb& db, SqliteStmt& begin, SqliteStmt& commit, SqliteStmt& rollback);
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    ~SqliteTransaction();
    void Commit();

private:
    SqliteDb& db_;
    SqliteStmt& commit_;
    SqliteStmt& rollback_;
    bool open_ = true;
};

}  // namespace quintor
