#include "cedb.h"


#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <mutex>
#include <random>
#include <variant>

#include "clock/clock.h"
#include "faults_internal.h"
#include "fs/devfs.h"
#include "record_codec.h"
#include "sqlite/sqlite_db.h"

namespace cedb {
namespace {

thread_local Error g_lastError = Error::None;

bool fail(Error e) {
    g_lastError = e;
    return false;
}

constexpr int kMaxSortOrders = 4;
constexpr size_t kFirstPage = 16;
constexpr size_t kMaxPage = 1024;

// Records keep the value of each sort property in a pair of columns: n<i> is 0 when the record
// has the property and 1 when not (so records without it sort last), k<i> the value (0 when
// missing). Keeping both non-null lets keyset paging use plain row-value comparisons.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS cedb_meta(key TEXT PRIMARY KEY, value);
CREATE TABLE IF NOT EXISTS cedb_databases(
  oid INTEGER PRIMARY KEY, name TEXT NOT NULL, type INTEGER NOT NULL,
  sort BLOB NOT NULL, modified INTEGER NOT NULL DEFAULT 0);
CREATE UNIQUE INDEX IF NOT EXISTS cedb_databases_name ON cedb_databases(name COLLATE NOCASE);
CREATE TABLE IF NOT EXISTS cedb_records(
  oid INTEGER PRIMARY KEY, db INTEGER NOT NULL,
  n0 INTEGER NOT NULL, k0 NOT NULL, n1 INTEGER NOT NULL, k1 NOT NULL,
  n2 INTEGER NOT NULL, k2 NOT NULL, n3 INTEGER NOT NULL, k3 NOT NULL,
  props BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS cedb_records_s0 ON cedb_records(db, n0, k0, oid);
CREATE INDEX IF NOT EXISTS cedb_records_s1 ON cedb_records(db, n1, k1, oid);
CREATE INDEX IF NOT EXISTS cedb_records_s2 ON cedb_records(db, n2, k2, oid);
CREATE INDEX IF NOT EXISTS cedb_records_s3 ON cedb_records(db, n3, k3, oid);
INSERT OR IGNORE INTO cedb_meta(key, value) VALUES('next_oid', 1);
)sql";

Error errorFromSqlite(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_FULL: return Error::DiskFull;
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return Error::Busy;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: return Error::Corrupt;
        default: return Error::WriteFailed;
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
    bool batchIntact() const {
        return batches == 0 || sqlite3_get_autocommit(conn->handle()) == 0;
    }

    void endWalks() {
        auto all = walkers;
        for (Walker* w : all) w->endWalk();
    }
};

struct Registry {
    std::recursive_mutex mutex;
    std::map<std::filesystem::path, std::shared_ptr<Volume>> byPath;
    pid_t owner = getpid();
};

Registry& registry() {
    static Registry r;
    // A forked child must not use (or close) its parent's SQLite connections: it forgets them
    // without closing and opens its own.
    if (r.owner != getpid()) {
        for (auto& [path, vol] : r.byPath) {
            vol->mounted = false;
            (void)vol->conn.release();
        }
        r.byPath.clear();
        r.owner = getpid();
    }
    return r;
}

std::shared_ptr<Volume> openVolumeFile(const std::filesystem::path& file, bool objectStore) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.byPath.find(file);
    if (it != reg.byPath.end() && it->second->mounted) return it->second;
    auto vol = std::make_shared<Volume>();
    try {
        vol->conn = std::make_unique<sqlite::Connection>(file);
    } catch (const std::exception&) {
        return nullptr;
    }
    // The schema's last step stores these keys: a file that holds them is ready, and opening it
    // takes no write lock (so a batch another process holds open does not stop it opening).
    bool ready = false;
    {
        sqlite::Statement q(
            vol->conn->handle(),
            "SELECT count(*) FROM cedb_meta WHERE key IN ('next_oid', 'volume_id')");
        ready = q.valid() && q.step() == SQLITE_ROW && q.columnInt(0) == (objectStore ? 1 : 2);
    }
    if (!ready) {
        sqlite::WriteTransaction tx(*vol->conn);
        if (!tx.begun() || !vol->conn->exec(kSchema)) return nullptr;
        if (!objectStore) {
            // A volume file gets a random identifier once, on creation; never all zero.
            std::random_device rd;
            uint8_t id[16];
            for (auto& b : id) b = uint8_t(rd());
            id[0] |= 1;
            auto& ins = vol->conn->cached(
                "INSERT OR IGNORE INTO cedb_meta(key, value) VALUES('volume_id', ?)");
            ins.bindBlob(1, id, sizeof id);
            ins.step();
        }
        if (!tx.commit()) return nullptr;
    }
    if (!objectStore) {
        auto& q = vol->conn->cached("SELECT value FROM cedb_meta WHERE key='volume_id'");
        if (q.step() == SQLITE_ROW) {
            size_t n = 0;
            const uint8_t* p = q.columnBlob(0, &n);
            if (p && n == 16) std::memcpy(vol->id.bytes, p, 16);
        }
        q.reset();
    }
    reg.byPath[file] = vol;
    return vol;
}

std::shared_ptr<Volume> volumeFor(const VolumeId& id) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (id.isObjectStore()) {
        auto vol = openVolumeFile(devfs::objectStoreFile(), true);
        if (!vol) g_lastError = Error::NotFound;
        return vol;
    }
    for (auto& [path, vol] : reg.byPath) {
        if (vol->mounted && vol->id == id) return vol;
    }
    g_lastError = Error::NotFound;
    return nullptr;
}

uint64_t nowValue() {
    auto ft = clk::toFileTime(clk::localTime());
    return ft ? ft->value() : 0;
}

// Sort orders are kept as pairs of u32: the sorted property's id, then 1 for descending.
std::vector<uint8_t> encodeSort(const std::vector<SortOrder>& orders) {
    std::vector<uint8_t> out(orders.size() * 8);
    for (size_t i = 0; i < orders.size(); ++i) {
        uint32_t v[2] = {orders[i].propId, orders[i].descending ? 1u : 0u};
        std::memcpy(out.data() + 8 * i, v, 8);
    }
    return out;
}

std::vector<SortOrder> decodeSort(const uint8_t* data, size_t size) {
    std::vector<SortOrder> orders;
    for (size_t i = 0; i + 8 <= size; i += 8) {
        uint32_t v[2];
        std::memcpy(v, data + i, 8);
        orders.push_back({v[0], v[1] != 0});
    }
    return orders;
}

struct DbRow {
    Oid oid = 0;
    std::u16string name;
    uint32_t type = 0;
    std::vector<SortOrder> sort;
    uint64_t modified = 0;
};

std::optional<DbRow> loadDatabase(Volume& vol, Oid oid) {
    auto& q = vol.conn->cached(
        "SELECT oid, name, type, sort, modified FROM cedb_databases WHERE oid=?");
    q.bind(1, int64_t(oid));
    std::optional<DbRow> row;
    if (q.step() == SQLITE_ROW) {
        row.emplace();
        row->oid = Oid(q.columnInt(0));
        row->name = q.columnText16(1);
        row->type = uint32_t(q.columnInt(2));
        size_t n = 0;
        const uint8_t* p = q.columnBlob(3, &n);
        row->sort = decodeSort(p, n);
        row->modified = uint64_t(q.columnInt(4));
    }
    q.reset();
    return row;
}

bool sortable(PropType t) {
    return t != PropType::Blob;
}

void bindSortKey(sqlite::Statement& st, int index, const PropVal* p) {
    if (!p || !sortable(p->type())) {
        st.bind(index, int64_t(1)).bind(index + 1, int64_t(0));
    } else if (p->type() == PropType::String) {
        st.bind(index, int64_t(0)).bind(index + 1, std::u16string_view(p->text));
    } else if (p->type() == PropType::FileTime) {
        st.bind(index, int64_t(0)).bind(index + 1, int64_t(p->fileTime.value()));
    } else {
        st.bind(index, int64_t(0)).bind(index + 1, p->number);
    }
}

// Binds n0,k0 .. n3,k3 starting at `first`.
void bindSortKeys(sqlite::Statement& st, int first, const std::vector<SortOrder>& sort,
                  const Record& rec) {
    for (int i = 0; i < kMaxSortOrders; ++i) {
        const PropVal* p = i < int(sort.size()) ? findProp(rec, sort[size_t(i)].propId) : nullptr;
        bindSortKey(st, first + 2 * i, p);
    }
}

bool validRecord(const Record& rec) {
    for (size_t i = 0; i < rec.size(); ++i) {
        if (!codec::isKnownType(rec[i].type())) return false;
        for (size_t j = 0; j < i; ++j) {
            if (rec[j].propId == rec[i].propId) return false;
        }
    }
    return true;
}

void touchDatabase(Volume& vol, Oid db) {
    auto& st = vol.conn->cached("UPDATE cedb_databases SET modified=? WHERE oid=?");
    st.bind(1, int64_t(nowValue())).bind(2, int64_t(db));
    st.step();
    st.reset();
}

// Takes the next object identifier inside the caller's write transaction.
Oid takeOid(Volume& vol) {
    auto& st = vol.conn->cached(
        "UPDATE cedb_meta SET value=value+1 WHERE key='next_oid' RETURNING value-1");
    Oid oid = 0;
    if (st.step() == SQLITE_ROW) oid = Oid(st.columnInt(0));
    st.reset();
    return oid;
}

}  // namespace

const PropVal* findProp(const Record& record, uint32_t propId) {
    for (const PropVal& p : record) {
        if (p.propId == propId) return &p;
    }
    return nullptr;
}

PropVal* findProp(Record& record, uint32_t propId) {
    for (PropVal& p : record) {
        if (p.propId == propId) return &p;
    }
    return nullptr;
}

Error lastError() { return g_lastError; }

const char* errorText(Error e) {
    switch (e) {
        case Error::None: return "no error";
        case Error::NotFound: return "not found";
        case Error::AlreadyExists: return "already exists";
        case Error::InvalidArgument: return "invalid argument";
        case Error::WriteFailed: return "write failed";
        case Error::DiskFull: return "disk full";
        case Error::Busy: return "busy";
        case Error::Corrupt: return "corrupt record";
        case Error::EndOfData: return "end of data";
        case Error::Changed: return "changed by another writer";
    }
    return "unknown";
}

bool VolumeId::isObjectStore() const {
    return std::all_of(std::begin(bytes), std::end(bytes), [](uint8_t b) { return b == 0; });
}

VolumeId objectStore() { return {}; }

std::optional<VolumeId> mountVolume(const std::filesystem::path& file, bool create) {
    if (Error e = faults::check(faults::Op::Mount, {}); e != Error::None) {
        fail(e);
        return std::nullopt;
    }
    std::error_code ec;
    if (!create && !std::filesystem::exists(file, ec)) {
        fail(Error::NotFound);
        return std::nullopt;
    }
    auto vol = openVolumeFile(std::filesystem::absolute(file, ec), false);
    if (!vol) {
        fail(Error::WriteFailed);
        return std::nullopt;
    }
    return vol->id;
}

bool unmountVolume(const VolumeId& volume) {
    if (volume.isObjectStore()) return fail(Error::InvalidArgument);
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    for (auto it = reg.byPath.begin(); it != reg.byPath.end(); ++it) {
        if (it->second->mounted && it->second->id == volume) {
            it->second->mounted = false;
            reg.byPath.erase(it);
            return true;
        }
    }
    return fail(Error::NotFound);
}

void closeAllVolumes() {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    for (auto& [path, vol] : reg.byPath) vol->mounted = false;
    reg.byPath.clear();
}

Oid createDatabase(const VolumeId& volume, const std::u16string& name, uint32_t type,
                   const std::vector<SortOrder>& sortOrders) {
    if (Error e = faults::check(faults::Op::CreateDatabase, name); e != Error::None) {
        fail(e);
        return 0;
    }
    if (name.empty() || name.size() > 32 || sortOrders.size() > kMaxSortOrders) {
        fail(Error::InvalidArgument);
        return 0;
    }
    auto vol = volumeFor(volume);
    if (!vol) return 0;
    if (!vol->batchIntact()) {
        fail(Error::WriteFailed);
        return 0;
    }
    vol->endWalks();
    sqlite::WriteTransaction tx(*vol->conn);
    if (!tx.begun()) {
        fail(errorFromSqlite(tx.errorCode()));
        return 0;
    }
    auto& st = vol->conn->cached(
        "INSERT INTO cedb_databases(oid, name, type, sort, modified) VALUES(?,?,?,?,?)");
    Oid oid = takeOid(*vol);
    auto sort = encodeSort(sortOrders);
    st.bind(1, int64_t(oid)).bind(2, std::u16string_view(name)).bind(3, int64_t(type));
    st.bindBlob(4, sort.data(), sort.size()).bind(5, int64_t(nowValue()));
    int rc = st.step();
    st.reset();
    if (rc != SQLITE_DONE) {
        fail((rc & 0xFF) == SQLITE_CONSTRAINT ? Error::AlreadyExists : errorFromSqlite(rc));
        return 0;
    }
    if (!tx.commit()) {
        fail(errorFromSqlite(tx.errorCode()));
        return 0;
    }
    ++vol->generation;
    g_lastError = Error::None;
    return oid;
}

Oid findDatabase(const VolumeId& volume, const std::u16string& name) {
    if (Error e = faults::check(faults::Op::Find, name); e != Error::None) {
        fail(e);
        return 0;
    }
    auto vol = volumeFor(volume);
    if (!vol) return 0;
    auto& q = vol->conn->cached("SELECT oid FROM cedb_databases WHERE name=? COLLATE NOCASE");
    q.bind(1, std::u16string_view(name));
    Oid oid = q.step() == SQLITE_ROW ? Oid(q.columnInt(0)) : 0;
    q.reset();
    if (!oid) fail(Error::NotFound);
    return oid;
}

std::vector<Oid> enumerateDatabases(const VolumeId& volume, uint32_t type) {
    std::vector<Oid> out;
    if (Error e = faults::check(faults::Op::Find, {}); e != Error::None) {
        fail(e);
        return out;
    }
    auto vol = volumeFor(volume);
    if (!vol) return out;
    auto& q = vol->conn->cached(
        "SELECT oid FROM cedb_databases WHERE ?1=0 OR type=?1 ORDER BY oid");
    q.bind(1, int64_t(type));
    while (q.step() == SQLITE_ROW) out.push_back(Oid(q.columnInt(0)));
    q.reset();
    return out;
}

std::optional<ObjectInfo> objectInfo(const VolumeId& volume, Oid oid) {
    if (Error e = faults::check(faults::Op::Find, {}); e != Error::None) {
        fail(e);
        return std::nullopt;
    }
    auto vol = volumeFor(volume);
    if (!vol) return std::nullopt;
    ObjectInfo info;
    if (auto db = loadDatabase(*vol, oid)) {
        info.kind = ObjectKind::Database;
        info.database.oid = db->oid;
        info.database.name = db->name;
        info.database.type = db->type;
        info.database.sortOrders = db->sort;
        info.database.lastModified = FileTime::fromValue(db->modified);
        auto& q = vol->conn->cached(
            "SELECT count(*), coalesce(sum(length(props)), 0) FROM cedb_records WHERE db=?");
        q.bind(1, int64_t(oid));
        if (q.step() == SQLITE_ROW) {
            info.database.recordCount = uint32_t(q.columnInt(0));
            info.database.sizeBytes = uint64_t(q.columnInt(1));
        }
        q.reset();
        return info;
    }
    auto& q = vol->conn->cached("SELECT db, length(props) FROM cedb_records WHERE oid=?");
    q.bind(1, int64_t(oid));
    if (q.step() == SQLITE_ROW) {
        info.kind = ObjectKind::Record;
        info.parent = Oid(q.columnInt(0));
        info.recordSize = uint32_t(q.columnInt(1));
    }
    q.reset();
    if (info.kind == ObjectKind::None) {
        fail(Error::NotFound);
        return std::nullopt;
    }
    return info;
}

bool deleteDatabase(const VolumeId& volume, Oid oid) {
    auto vol = volumeFor(volume);
    if (!vol) return false;
    auto db = loadDatabase(*vol, oid);
    if (!db) return fail(Error::NotFound);
    if (Error e = faults::check(faults::Op::Delete, db->name); e != Error::None) return fail(e);
    if (!vol->batchIntact()) return fail(Error::WriteFailed);
    vol->endWalks();
    sqlite::WriteTransaction tx(*vol->conn);
    if (!tx.begun()) return fail(errorFromSqlite(tx.errorCode()));
    auto& a = vol->conn->cached("DELETE FROM cedb_records WHERE db=?");
    a.bind(1, int64_t(oid));
    int rc1 = a.step();
    a.reset();
    auto& b = vol->conn->cached("DELETE FROM cedb_databases WHERE oid=?");
    b.bind(1, int64_t(oid));
    int rc2 = b.step();
    b.reset();
    if (rc1 != SQLITE_DONE || rc2 != SQLITE_DONE) return fail(errorFromSqlite(rc1 != SQLITE_DONE ? rc1 : rc2));
    if (!tx.commit()) return fail(errorFromSqlite(tx.errorCode()));
    ++vol->generation;
    return true;
}

// ---------------------------------------------------------------------------------------------

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

    // A walk from the first record steps this handle's own statement record by record rather
    // than asking again for each page: one snapshot for the whole walk, no keyset test and no
    // copy per row. Its rows leave their sort keys unread; while the walk is open the cursor is
    // listed with the volume, so that a write of this process first copies the current record,
    // takes its key (the write may delete it) and ends the walk. It then goes on by keyset.
    sqlite::Statement walk;
    bool walking = false;        // the statement is positioned inside the walk
    bool walkFinished = false;   // the statement reached the last record
    bool listed = false;         // in vol->walkers
    uint64_t walkGeneration = 0;

    void stopWalk() {
        if (walking) walk.reset();
        walking = false;
    }
    void setListed(bool on) {
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

Database::Database() : d(std::make_unique<Impl>()) {}
Database::~Database() = default;
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;

bool Database::open(const VolumeId& volume, Oid oid, int sortIndex) {
    close();
    auto vol = volumeFor(volume);
    if (!vol) return false;
    auto row = loadDatabase(*vol, oid);
    if (!row) return fail(Error::NotFound);
    if (Error e = faults::check(faults::Op::OpenDatabase, row->name); e != Error::None) {
        return fail(e);
    }
    if (sortIndex < 0 || (sortIndex > 0 && sortIndex >= int(row->sort.size()))) {
        return fail(Error::InvalidArgument);
    }
    d->vol = vol;
    d->db = std::move(*row);
    d->sortIndex = sortIndex;
    d->descending = !d->db.sort.empty() && d->db.sort[size_t(sortIndex)].descending;
    g_lastError = Error::None;
    return true;
}

bool Database::open(const VolumeId& volume, const std::u16string& name, int sortIndex) {
    Oid oid = findDatabase(volume, name);
    if (!oid) {
        close();
        return false;
    }
    return open(volume, oid, sortIndex);
}

void Database::close() {
    auto fresh = std::make_unique<Impl>();
    d.swap(fresh);
}

bool Database::isOpen() const { return d->vol && d->vol->mounted; }
Oid Database::oid() const { return d->vol ? d->db.oid : 0; }

bool Database::seekFirst() {
    if (!d->usable()) return false;
    if (Error e = d->checkFault(faults::Op::Seek); e != Error::None) return fail(e);
    d->nextPageSize = kFirstPage;
    // Keyset pages after an interrupted walk start small again.
    return d->startWalk();
}

bool Database::seekNext() {
    if (!d->usable()) return false;
    if (Error e = d->checkFault(faults::Op::Seek); e != Error::None) return fail(e);
    if (d->eod) return fail(Error::EndOfData);
    if (!d->hasCurrent) return seekFirst();
    if (d->pageGeneration == d->vol->generation && d->pos + 1 < d->page.size()) {
        ++d->pos;
        return true;
    }
    size_t limit = d->nextPageSize;
    d->nextPageSize = std::min(d->nextPageSize * 4, kMaxPage);
    if (d->listed && d->walkGeneration == d->vol->generation) {
        if (d->walking) return d->stepWalk();
        if (d->walkFinished) return d->setPage({}, {});  // the walk saw the last record
    }
    Impl::Row after = d->page[d->pos];
    if (!d->loadSortKey(after)) return fail(Error::NotFound);
    return d->fetch(&after, limit);
}

bool Database::seekToOid(Oid record) {
    if (!d->usable()) return false;
    if (Error e = d->checkFault(faults::Op::Seek); e != Error::None) return fail(e);
    auto& q = d->vol->conn->cached(d->selectColumns() + "WHERE db=? AND oid=?");
    q.bind(1, int64_t(d->db.oid)).bind(2, int64_t(record));
    return d->setSingle(q);
}

bool Database::seekFirstEqual(const PropVal& value) {
    if (!d->usable()) return false;
    if (Error e = d->checkFault(faults::Op::Seek); e != Error::None) return fail(e);
    for (size_t i = 0; i < d->db.sort.size(); ++i) {
        if (d->db.sort[i].propId != value.propId || !sortable(value.type())) continue;
        std::string s = std::to_string(i);
        // Its own index finds the few equal records; they are then ordered in the open order.
        std::string sql = d->selectColumns();
        sql.insert(sql.find("cedb_records ") + 13, "INDEXED BY cedb_records_s" + s + " ");
        auto& q = d->vol->conn->cached(sql + "WHERE db=? AND n" + s + "=? AND k" + s + "=?" +
                                       d->orderBy() + " LIMIT 1");
        q.bind(1, int64_t(d->db.oid));
        bindSortKey(q, 2, &value);
        return d->setSingle(q);
    }
    // Not a sort property: look through the records in order.
    if (!d->fetch(nullptr, kMaxPage)) return false;
    while (true) {
        for (; d->pos < d->page.size(); ++d->pos) {
            const auto& row = d->page[d->pos];
            auto rec = codec::decode(d->propsOf(row), row.size, {value.propId});
            if (rec && !rec->empty() && rec->front() == value) return true;
        }
        Impl::Row after = d->page.back();
        if (!d->fetch(&after, kMaxPage)) {
            d->eod = false;
            return fail(Error::NotFound);
        }
    }
}

bool Database::endOfData() const { return d->eod; }

std::optional<Record> Database::readCurrent(const std::vector<uint32_t>& only) {
    if (!d->usable()) return std::nullopt;
    if (Error e = d->checkFault(faults::Op::Read); e != Error::None) {
        fail(e);
        return std::nullopt;
    }
    if (!d->hasCurrent) {
        fail(Error::EndOfData);
        return std::nullopt;
    }
    if (!d->refreshCurrent()) return std::nullopt;
    const auto& row = d->page[d->pos];
    auto rec = codec::decode(d->propsOf(row), row.size, only);
    if (!rec) fail(Error::Corrupt);
    return rec;
}

bool Database::readCurrent(Record& out, const std::vector<uint32_t>& only) {
    if (!d->usable()) return false;
    if (Error e = d->checkFault(faults::Op::Read); e != Error::None) return fail(e);
    if (!d->hasCurrent) return fail(Error::EndOfData);
    if (!d->refreshCurrent()) return false;
    const auto& row = d->page[d->pos];
    if (!codec::decodeInto(d->propsOf(row), row.size, only, out)) return fail(Error::Corrupt);
    return true;
}

Oid Database::currentOid() const { return d->hasCurrent ? d->oidOf(d->page[d->pos]) : 0; }

Oid Database::addRecord(const Record& props) {
    if (!d->usable()) return 0;
    if (Error e = d->checkFault(faults::Op::Add); e != Error::None) {
        fail(e);
        return 0;
    }
    if (!validRecord(props)) {
        fail(Error::InvalidArgument);
        return 0;
    }
    auto& vol = *d->vol;
    if (!vol.batchIntact()) {
        fail(Error::WriteFailed);
        return 0;
    }
    vol.endWalks();
    sqlite::WriteTransaction tx(*vol.conn);
    if (!tx.begun()) {
        fail(errorFromSqlite(tx.errorCode()));
        return 0;
    }
    Oid oid = takeOid(vol);
    auto blob = codec::encode(props);
    auto& st = vol.conn->cached(
        "INSERT INTO cedb_records(n0, k0, n1, k1, n2, k2, n3, k3, props, oid, db) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    bindSortKeys(st, 1, d->db.sort, props);
    st.bindBlob(9, blob.data(), blob.size()).bind(10, int64_t(oid)).bind(11, int64_t(d->db.oid));
    int rc = st.step();
    st.reset();
    if (rc != SQLITE_DONE || oid == 0) {
        fail(errorFromSqlite(rc));
        return 0;
    }
    touchDatabase(vol, d->db.oid);
    if (!tx.commit()) {
        fail(errorFromSqlite(tx.errorCode()));
        return 0;
    }
    ++vol.generation;
    g_lastError = Error::None;
    return oid;
}

bool Database::updateCurrent(const Record& props) {
    if (!d->usable()) return false;
    if (!d->hasCurrent) return fail(Error::EndOfData);
    return writeRecord(d->oidOf(d->page[d->pos]), props);
}

bool Database::updateCurrentIf(const PropVal& expected, const Record& props) {
    if (!d->usable()) return false;
    if (!d->hasCurrent) return fail(Error::EndOfData);
    if (Error e = d->checkFault(faults::Op::Update); e != Error::None) return fail(e);
    return d->write(d->oidOf(d->page[d->pos]), props, &expected);
}

bool Database::writeRecord(Oid record, const Record& props) {
    if (!d->usable()) return false;
    if (Error e = d->checkFault(faults::Op::Update); e != Error::None) return fail(e);
    return d->write(record, props);
}

bool Database::deleteRecord(Oid record) {
    if (!d->usable()) return false;
    if (Error e = d->checkFault(faults::Op::Delete); e != Error::None) return fail(e);
    auto& vol = *d->vol;
    if (!vol.batchIntact()) return fail(Error::WriteFailed);
    vol.endWalks();
    sqlite::WriteTransaction tx(*vol.conn);
    if (!tx.begun()) return fail(errorFromSqlite(tx.errorCode()));
    auto& st = vol.conn->cached("DELETE FROM cedb_records WHERE db=? AND oid=?");
    st.bind(1, int64_t(d->db.oid)).bind(2, int64_t(record));
    int rc = st.step();
    st.reset();
    if (rc != SQLITE_DONE) return fail(errorFromSqlite(rc));
    if (vol.conn->changes() == 0) return fail(Error::NotFound);
    touchDatabase(vol, d->db.oid);
    if (!tx.commit()) return fail(errorFromSqlite(tx.errorCode()));
    ++vol.generation;
    return true;
}

// ---------------------------------------------------------------------------------------------

struct Batch::Impl {
    std::shared_ptr<Volume> vol;
    std::unique_ptr<sqlite::WriteTransaction> tx;

    // Ends the batch either way. Cursors of this process may have read records of the batch,
    // so their pages are stale after a rollback as after any write.
    void finish(bool committed) {
        // A walk of the batch's connection reads records in place; it keeps a copy first.
        vol->endWalks();
        if (!committed) tx->rollback();
        tx.reset();
        --vol->batches;
        ++vol->generation;
        vol.reset();
    }
};

Batch::Batch(const VolumeId& volume) : d(std::make_unique<Impl>()) {
    auto vol = volumeFor(volume);
    if (!vol) return;
    if (!vol->batchIntact()) {
        fail(Error::WriteFailed);
        return;
    }
    // A connection still reading an older snapshot could not become the writer.
    vol->endWalks();
    auto tx = std::make_unique<sqlite::WriteTransaction>(*vol->conn);
    if (!tx->begun()) {
        fail(errorFromSqlite(tx->errorCode()));
        return;
    }
    ++vol->batches;
    d->vol = std::move(vol);
    d->tx = std::move(tx);
    g_lastError = Error::None;
}

Batch::~Batch() {
    if (d && d->tx) d->finish(false);
}

bool Batch::active() const { return d->tx != nullptr; }

bool Batch::commit() {
    if (!d->tx) return fail(Error::InvalidArgument);
    if (Error e = faults::check(faults::Op::Commit, {}); e != Error::None) {
        d->finish(false);
        return fail(e);
    }
    // An outer batch whose transaction SQLite already ended has nothing left to commit: what
    // it held is gone, and saying otherwise would report lost records as stored.
    if (!d->vol->batchIntact()) {
        d->finish(false);
        return fail(Error::WriteFailed);
    }
    const bool ok = d->tx->commit();
    const int rc = d->tx->errorCode();
    d->finish(ok);
    if (!ok) return fail(errorFromSqlite(rc));
    g_lastError = Error::None;
    return true;
}

void Batch::rollback() {
    if (d->tx) d->finish(false);
}

}  // namespace cedb
