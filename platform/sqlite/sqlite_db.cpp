#include "sqlite_db.h"

#include <stdexcept>

namespace sqlite {

Statement::Statement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v3(db, sql.data(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt_,
                           nullptr) != SQLITE_OK) {
        stmt_ = nullptr;
    }
}

Statement& Statement::operator=(Statement&& o) noexcept {
    if (this != &o) {
        sqlite3_finalize(stmt_);
        stmt_ = o.stmt_;
        o.stmt_ = nullptr;
    }
    return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int index, int64_t v) {
    sqlite3_bind_int64(stmt_, index, v);
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bind(int index, std::u16string_view text) {
    sqlite3_bind_text16(stmt_, index, text.data(), int(text.size() * 2), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindBlob(int index, const void* data, size_t size) {
    // A zero-length blob must still bind as a blob, not as NULL.
    static const char empty = 0;
    sqlite3_bind_blob(stmt_, index, size ? data : &empty, int(size), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

int Statement::step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }

void Statement::reset() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

std::string Statement::columnText(int i) const {
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return p ? std::string(p, size_t(sqlite3_column_bytes(stmt_, i))) : std::string();
}

std::u16string Statement::columnText16(int i) const {
    auto p = static_cast<const char16_t*>(sqlite3_column_text16(stmt_, i));
    return p ? std::u16string(p, size_t(sqlite3_column_bytes16(stmt_, i)) / 2) : std::u16string();
}

const uint8_t* Statement::columnBlob(int i, size_t* size) const {
    auto p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, i));
    *size = size_t(sqlite3_column_bytes(stmt_, i));
    return p;
}

Connection::Connection(const std::filesystem::path& file, int busyTimeoutMs) : file_(file) {
    // Memory statistics take a global mutex on every allocation; nothing here reads them.
    // Only possible before SQLite initialises, so the first connection of a process does it.
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    if (sqlite3_open_v2(file.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("cannot open " + file.string() + ": " + msg);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=FULL");
}

Connection::~Connection() {
    cache_.clear();
    sqlite3_close(db_);
}

bool Connection::exec(std::string_view sql) {
    return sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement& Connection::cached(std::string_view sql) {
    for (auto& [text, stmt] : cache_) {
        if (text == sql) {
            stmt->reset();
            return *stmt;
        }
    }
    cache_.emplace_back(std::string(sql), std::make_unique<Statement>(db_, sql));
    return *cache_.back().second;
}

WriteTransaction::WriteTransaction(Connection& c) : c_(c) {
    // Inside an open transaction (a batch) this write becomes a savepoint of it: it can still
    // fail on its own without taking the batch's earlier writes along.
    nested_ = sqlite3_get_autocommit(c_.handle()) == 0;
    int rc = sqlite3_exec(c_.handle(), nested_ ? "SAVEPOINT w" : "BEGIN IMMEDIATE", nullptr,
                          nullptr, nullptr);
    begun_ = rc == SQLITE_OK;
    if (!begun_) error_ = c_.lastErrorCode();
}

WriteTransaction::~WriteTransaction() {
    if (begun_ && !done_) rollback();
}

void WriteTransaction::rollback() {
    if (!begun_ || done_) return;
    done_ = true;
    // A failed statement may already have ended the whole transaction (SQLite does so on a
    // full disk or an I/O error); then there is nothing left to roll back here.
    if (sqlite3_get_autocommit(c_.handle())) return;
    if (nested_) {
        sqlite3_exec(c_.handle(), "ROLLBACK TO w", nullptr, nullptr, nullptr);
        sqlite3_exec(c_.handle(), "RELEASE w", nullptr, nullptr, nullptr);
    } else {
        sqlite3_exec(c_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

bool WriteTransaction::commit() {
    if (!begun_ || done_) return false;
    // The enclosing transaction is gone (rolled back by SQLite after an error): committing
    // the savepoint now would write on in autocommit mode, outside the batch.
    if (nested_ && sqlite3_get_autocommit(c_.handle())) {
        done_ = true;
        error_ = SQLITE_ABORT;
        return false;
    }
    int rc = sqlite3_exec(c_.handle(), nested_ ? "RELEASE w" : "COMMIT", nullptr, nullptr,
                          nullptr);
    if (rc == SQLITE_OK) {
        done_ = true;
        return true;
    }
    error_ = c_.lastErrorCode();
    return false;
}

}  // namespace sqlite
