// Database: opening a property database, moving through its records and reading them.
#include <algorithm>

#include "record_codec.h"
#include "record_cursor.h"

namespace cedb {

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

bool Database::isOpen() const {
    return d->vol && d->vol->mounted;
}
Oid Database::oid() const {
    return d->vol ? d->db.oid : 0;
}

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

bool Database::endOfData() const {
    return d->eod;
}

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
    if (!codec::decodeInto(d->propsOf(row), row.size, only, out, &d->layout)) {
        return fail(Error::Corrupt);
    }
    return true;
}

Oid Database::currentOid() const {
    return d->hasCurrent ? d->oidOf(d->page[d->pos]) : 0;
}

}  // namespace cedb
