// Database: adding, updating and deleting records.
#include "record_codec.h"
#include "record_cursor.h"

namespace cedb {

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

}  // namespace cedb
