// What the files of the property database share. Internal to platform/cedb: nothing outside it
// includes this header.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "cedb.h"
#include "sqlite/sqlite_db.h"

namespace cedb {

// The calling thread's last error, defined in volumes.cpp. constinit spares every access from
// the other files a call to the initialisation wrapper of a thread_local.
extern thread_local constinit Error g_lastError;

inline bool fail(Error e) {
    g_lastError = e;
    return false;
}

inline Error errorFromSqlite(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_FULL:
            return Error::DiskFull;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return Error::Busy;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return Error::Corrupt;
        default:
            return Error::WriteFailed;
    }
}

// A sort key value as stored in a k<i> column.
using SortValue = std::variant<int64_t, std::u16string>;

// A cursor that keeps a statement stepping between calls (and so a read snapshot open).
struct Walker {
    virtual void endWalk() = 0;

protected:
    ~Walker() = default;
};

struct Volume {
    std::unique_ptr<sqlite::Connection> conn;
    VolumeId id;
    bool mounted = true;
    // Bumped by every write of this process, so cursors know their pages may be stale.
    uint64_t generation = 0;
    // Cursors with an open walk on this connection. A write must end them first: a connection
    // that still reads an older snapshot cannot become the writer.
    std::set<Walker*> walkers;
    // Open batches of this process on this volume; while there are any, every write is a
    // savepoint inside the outermost batch's transaction.
    int batches = 0;

    // False when a batch is open but SQLite has already ended its transaction (it does so
    // after a full disk or an I/O error): a write now would be stored on its own, outside the
    // batch that its caller counts on being all or nothing.
    bool batchIntact() const { return batches == 0 || sqlite3_get_autocommit(conn->handle()) == 0; }

    void endWalks() {
        auto all = walkers;
        for (Walker* w : all) w->endWalk();
    }
};

// The mounted volume, or the object store; null with Error::NotFound when there is none.
std::shared_ptr<Volume> volumeFor(const VolumeId& id);

struct DbRow {
    Oid oid = 0;
    std::u16string name;
    uint32_t type = 0;
    std::vector<SortOrder> sort;
    uint64_t modified = 0;
};

// Defined in databases.cpp.
std::optional<DbRow> loadDatabase(Volume& vol, Oid oid);
bool sortable(PropType t);
void bindSortKey(sqlite::Statement& st, int index, const PropVal* p);
void bindSortKeys(sqlite::Statement& st, int first, const std::vector<SortOrder>& sort,
                  const Record& rec);
bool validRecord(const Record& rec);
void touchDatabase(Volume& vol, Oid db);
Oid takeOid(Volume& vol);

}  // namespace cedb
