// Property databases: creating, finding, listing, describing and deleting them, their stored
// sort orders, and the helpers that keep a record's sort key columns.
#include <cstring>

#include "cedb_internal.h"
#include "clock/clock.h"
#include "faults_internal.h"
#include "record_codec.h"

namespace cedb {
namespace {

constexpr int kMaxSortOrders = 4;

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

}  // namespace

std::optional<DbRow> loadDatabase(Volume& vol, Oid oid) {
    auto& q =
        vol.conn->cached("SELECT oid, name, type, sort, modified FROM cedb_databases WHERE oid=?");
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
    auto& q =
        vol->conn->cached("SELECT oid FROM cedb_databases WHERE ?1=0 OR type=?1 ORDER BY oid");
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
    if (rc1 != SQLITE_DONE || rc2 != SQLITE_DONE)
        return fail(errorFromSqlite(rc1 != SQLITE_DONE ? rc1 : rc2));
    if (!tx.commit()) return fail(errorFromSqlite(tx.errorCode()));
    ++vol->generation;
    return true;
}

}  // namespace cedb
