// A thin RAII layer over SQLite for the stand-ins that keep their data in SQLite files
// (property databases, registries). Connections are opened in WAL mode with synchronous=FULL
// and a busy timeout, so several processes can share one file.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sqlite {

class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, std::string_view sql);
    Statement(Statement&& o) noexcept : stmt_(o.stmt_) { o.stmt_ = nullptr; }
    Statement& operator=(Statement&& o) noexcept;
    ~Statement();

    bool valid() const { return stmt_ != nullptr; }
    Statement& bind(int index, int64_t v);
    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, std::u16string_view text);
    Statement& bindBlob(int index, const void* data, size_t size);
    Statement& bindNull(int index);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    void reset();

    int64_t columnInt(int i) const { return sqlite3_column_int64(stmt_, i); }
    bool columnIsNull(int i) const { return sqlite3_column_type(stmt_, i) == SQLITE_NULL; }
    std::string columnText(int i) const;
    std::u16string columnText16(int i) const;
    const uint8_t* columnBlob(int i, size_t* size) const;
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

class Connection {
public:
    // Opens (creating when missing) with WAL, synchronous=FULL and a busy timeout.
    // Throws std::runtime_error when the file cannot be opened.
    explicit Connection(const std::filesystem::path& file, int busyTimeoutMs = 5000);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    const std::filesystem::path& file() const { return file_; }
    // Runs statements that return no rows; false on error.
    bool exec(std::string_view sql);
    // A statement kept prepared for the life of the connection.
    Statement& cached(std::string_view sql);
    int lastErrorCode() const { return sqlite3_extended_errcode(db_); }
    int64_t lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }
    int changes() const { return sqlite3_changes(db_); }

private:
    sqlite3* db_ = nullptr;
    std::filesystem::path file_;
    std::vector<std::pair<std::string, std::unique_ptr<Statement>>> cache_;
};

// A write transaction: BEGIN IMMEDIATE on construction, ROLLBACK unless commit() succeeded.
// Begun while the connection is already inside a transaction, it is a savepoint of that one:
// commit() releases the savepoint (the enclosing transaction decides durability), and a
// rollback undoes only what was written since it began.
class WriteTransaction {
public:
    explicit WriteTransaction(Connection& c);
    ~WriteTransaction();
    bool begun() const { return begun_; }
    bool nested() const { return nested_; }
    bool commit();
    void rollback();
    int errorCode() const { return error_; }

private:
    Connection& c_;
    bool nested_ = false;
    bool begun_ = false;
    bool done_ = false;
    int error_ = 0;
};

}  // namespace sqlite
