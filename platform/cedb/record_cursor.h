// The cursor behind Database: the page of records it stands in and the walk that steps one
// statement through a whole database. Shared by the read and the write side of Database.
#pragma once

#include <string>
#include <vector>

#include "cedb_internal.h"
#include "faults_internal.h"
#include "record_codec.h"

namespace cedb {

inline constexpr size_t kFirstPage = 16;
inline constexpr size_t kMaxPage = 1024;

struct Database::Impl final : Walker {
    std::shared_ptr<Volume> vol;
    DbRow db;
    int sortIndex = 0;
    bool descending = false;

    // The fetched page of records in the open sort order and the cursor within it.
    // The stored properties of every row of a page sit in one buffer, so a page costs one
    // allocation rather than one per record.
    struct Row {
        Oid oid = 0;
        int64_t n = 1;
        SortValue k = int64_t(0);
        size_t offset = 0;
        size_t size = 0;
        // A walk's row is read in place, from its statement, while the walk stands on it.
        const uint8_t* live = nullptr;
    };
    std::vector<Row> page;
    std::vector<uint8_t> pageData;
    size_t pos = 0;
    bool hasCurrent = false;
    bool eod = false;
    uint64_t pageGeneration = 0;
    size_t nextPageSize = kFirstPage;
    // Where the last record read had the properties asked for, to find them at once in the next.
    codec::Layout layout;

    // A walk from the first record steps this handle's own statement record by record rather
    // than asking again for each page: one snapshot for the whole walk, no keyset test and no
    // copy per row. Its rows leave their sort keys unread; while the walk is open the cursor is
    // listed with the volume, so that a write of this process first copies the current record,
    // takes its key (the write may delete it) and ends the walk. It then goes on by keyset.
    sqlite::Statement walk;
    bool walking = false;       // the statement is positioned inside the walk
    bool walkFinished = false;  // the statement reached the last record
    bool listed = false;        // in vol->walkers
    uint64_t walkGeneration = 0;

    void stopWalk() {
        if (walking) walk.reset();
        walking = false;
    }
    // Kept out of line: inlined into stepWalk (GCC 12 does so) it makes a walk about 5% slower.
    [[gnu::noinline]] void setListed(bool on) {
        if (on == listed || !vol) return;
        if (on) {
            vol->walkers.insert(this);
        } else {
            vol->walkers.erase(this);
        }
        listed = on;
    }
    void endWalk() override {
        if (hasCurrent && pos < page.size()) {
            Row& r = page[pos];
            if (r.live) {
                r.oid = oidOf(r);
                pageData.assign(r.live, r.live + r.size);
                r.offset = 0;
                r.live = nullptr;
            }
            loadSortKey(r);
        }
        stopWalk();
        setListed(false);
    }
    ~Impl() {
        stopWalk();
        setListed(false);
    }

    bool startWalk() {
        stopWalk();
        if (!walk.valid()) {
            walk = sqlite::Statement(vol->conn->handle(),
                                     "SELECT oid, props FROM cedb_records WHERE db=?1" + orderBy());
            if (!walk.valid()) return fetch(nullptr, 1);
        }
        walk.bind(1, int64_t(db.oid));
        walking = true;
        walkFinished = false;
        setListed(true);
        walkGeneration = vol->generation;
        return stepWalk();
    }

    // Steps the walk's statement to its next record, the page's one row. Its properties stay
    // in the statement, uncopied, until the walk moves on or ends (endWalk keeps a copy).
    bool stepWalk() {
        const int rc = walk.step();
        if (rc == SQLITE_ROW) {
            page.resize(1);
            Row& r = page[0];
            r.n = -1;  // the sort key stays unread until a keyset needs it
            r.live = walk.columnBlob(1, &r.size);
            pos = 0;
            pageGeneration = vol->generation;
            hasCurrent = true;
            eod = false;
            return true;
        }
        stopWalk();
        walkFinished = rc == SQLITE_DONE;
        if (rc != SQLITE_DONE) {
            hasCurrent = false;
            setListed(false);
            return fail(errorFromSqlite(rc));
        }
        return setPage({}, {});
    }

    bool setPage(std::vector<Row>&& rows, std::vector<uint8_t>&& data) {
        page = std::move(rows);
        pageData = std::move(data);
        pos = 0;
        pageGeneration = vol->generation;
        hasCurrent = !page.empty();
        eod = page.empty();
        if (eod) g_lastError = Error::EndOfData;
        return hasCurrent;
    }

    std::string selectColumns() const {
        std::string s = std::to_string(sortIndex);
        return "SELECT oid, n" + s + ", k" + s + ", props FROM cedb_records ";
    }
    std::string orderBy() const {
        std::string s = std::to_string(sortIndex);
        return " ORDER BY n" + s + ", k" + s + (descending ? " DESC" : "") + ", oid";
    }

    bool usable() {
        if (!vol) return fail(Error::InvalidArgument);
        if (!vol->mounted) return fail(Error::NotFound);
        return true;
    }

    static SortValue sortValueAt(sqlite::Statement& q, int column) {
        if (sqlite3_column_type(q.get(), column) == SQLITE_TEXT) return q.columnText16(column);
        return q.columnInt(column);
    }

    // Reads (oid, n, k, props); the properties go to the page buffer.
    static Row readRow(sqlite::Statement& q, std::vector<uint8_t>& data) {
        Row r;
        r.oid = Oid(q.columnInt(0));
        r.n = q.columnInt(1);
        r.k = sortValueAt(q, 2);
        size_t n = 0;
        const uint8_t* p = q.columnBlob(3, &n);
        r.offset = data.size();
        r.size = n;
        data.insert(data.end(), p, p + n);
        return r;
    }

    // Fills in the sort key of a row read by a walk; false when the record is gone.
    bool loadSortKey(Row& r) {
        if (r.n >= 0) return true;
        std::string s = std::to_string(sortIndex);
        auto& q = vol->conn->cached("SELECT n" + s + ", k" + s + " FROM cedb_records WHERE oid=?");
        q.bind(1, int64_t(r.oid));
        bool found = q.step() == SQLITE_ROW;
        if (found) {
            r.n = q.columnInt(0);
            r.k = sortValueAt(q, 1);
        }
        q.reset();
        return found;
    }

    // A walk's row reads its identifier from the statement only when asked.
    Oid oidOf(const Row& r) const { return r.live ? Oid(walk.columnInt(0)) : r.oid; }

    const uint8_t* propsOf(const Row& r) const {
        return r.live ? r.live : pageData.data() + r.offset;
    }

    void bindK(sqlite::Statement& q, int index, const SortValue& k) {
        if (auto* i = std::get_if<int64_t>(&k)) {
            q.bind(index, *i);
        } else {
            q.bind(index, std::u16string_view(std::get<std::u16string>(k)));
        }
    }

    // Replaces the page with up to `limit` records; after the given one, or from the start.
    bool fetch(const Row* after, size_t limit) {
        stopWalk();
        setListed(false);  // these rows carry their sort keys
        std::string sql = selectColumns() + "WHERE db=?1";
        std::string s = std::to_string(sortIndex);
        if (after) {
            std::string n = "n" + s, k = "k" + s;
            if (descending) {
                sql += " AND (" + n + ">?2 OR (" + n + "=?2 AND (" + k + "<?3 OR (" + k +
                       "=?3 AND oid>?4))))";
            } else {
                sql += " AND (" + n + "," + k + ",oid)>(?2,?3,?4)";
            }
        }
        sql += orderBy() + " LIMIT ?5";
        auto& q = vol->conn->cached(sql);
        q.bind(1, int64_t(db.oid)).bind(5, int64_t(limit));
        if (after) {
            q.bind(2, after->n);
            bindK(q, 3, after->k);
            q.bind(4, int64_t(after->oid));
        }
        std::vector<Row> rows;
        std::vector<uint8_t> data;
        rows.reserve(limit);
        data.reserve(pageData.capacity());
        int rc;
        while ((rc = q.step()) == SQLITE_ROW) rows.push_back(readRow(q, data));
        q.reset();
        if (rc != SQLITE_DONE) return fail(errorFromSqlite(rc));
        return setPage(std::move(rows), std::move(data));
    }

    bool setSingle(sqlite::Statement& q) {
        stopWalk();
        setListed(false);
        std::vector<Row> rows;
        std::vector<uint8_t> data;
        int rc = q.step();
        if (rc == SQLITE_ROW) rows.push_back(readRow(q, data));
        q.reset();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail(errorFromSqlite(rc));
        if (rows.empty()) {
            // A failed seek leaves no current record but does not end a walk.
            hasCurrent = false;
            page.clear();
            return fail(Error::NotFound);
        }
        page = std::move(rows);
        pageData = std::move(data);
        pos = 0;
        hasCurrent = true;
        eod = false;
        pageGeneration = vol->generation;
        nextPageSize = kFirstPage;
        return true;
    }

    // Re-reads the current record when this process has written since the page was fetched.
    bool refreshCurrent() {
        if (pageGeneration == vol->generation) return true;
        Row current = page[pos];
        std::vector<uint8_t> data;
        auto& q = vol->conn->cached(selectColumns() + "WHERE db=? AND oid=?");
        q.bind(1, int64_t(db.oid)).bind(2, int64_t(current.oid));
        bool found = q.step() == SQLITE_ROW;
        if (found) current = readRow(q, data);
        q.reset();
        // Later rows of the page may be stale too: keep only the current one.
        page.assign(1, current);
        if (found) pageData = std::move(data);
        pos = 0;
        pageGeneration = vol->generation;
        if (!found) return fail(Error::NotFound);
        return true;
    }

    Error checkFault(faults::Op op) const { return faults::check(op, db.name); }

    // Read-modify-write of one record inside one transaction; with `expected`, only while the
    // record still holds it.
    bool write(Oid oid, const Record& props, const PropVal* expected = nullptr) {
        if (!validRecord(props)) return fail(Error::InvalidArgument);
        if (!vol->batchIntact()) return fail(Error::WriteFailed);
        vol->endWalks();
        sqlite::WriteTransaction tx(*vol->conn);
        if (!tx.begun()) return fail(errorFromSqlite(tx.errorCode()));
        auto& q = vol->conn->cached("SELECT props FROM cedb_records WHERE db=? AND oid=?");
        q.bind(1, int64_t(db.oid)).bind(2, int64_t(oid));
        std::optional<Record> rec;
        bool found = q.step() == SQLITE_ROW;
        if (found) {
            size_t n = 0;
            const uint8_t* p = q.columnBlob(0, &n);
            rec = codec::decode(p, n);
        }
        q.reset();
        if (!found) return fail(Error::NotFound);
        if (!rec) return fail(Error::Corrupt);
        if (expected) {
            const PropVal* now = findProp(*rec, expected->propId);
            if (!now || !(*now == *expected)) return fail(Error::Changed);
        }
        for (const PropVal& p : props) {
            if (PropVal* old = findProp(*rec, p.propId)) {
                *old = p;
            } else {
                rec->push_back(p);
            }
        }
        auto blob = codec::encode(*rec);
        auto& u = vol->conn->cached(
            "UPDATE cedb_records SET n0=?1, k0=?2, n1=?3, k1=?4, n2=?5, k2=?6, n3=?7, k3=?8, "
            "props=?9 WHERE oid=?10");
        bindSortKeys(u, 1, db.sort, *rec);
        u.bindBlob(9, blob.data(), blob.size()).bind(10, int64_t(oid));
        int rc = u.step();
        u.reset();
        if (rc != SQLITE_DONE) return fail(errorFromSqlite(rc));
        touchDatabase(*vol, db.oid);
        if (!tx.commit()) return fail(errorFromSqlite(tx.errorCode()));
        ++vol->generation;
        return true;
    }
};

}  // namespace cedb
