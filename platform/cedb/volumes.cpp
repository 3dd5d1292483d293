// The error state, the schema and the volumes: opening a volume's file, mounting, unmounting.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <random>

#include "cedb_internal.h"
#include "faults_internal.h"
#include "fs/devfs.h"

namespace cedb {

thread_local constinit Error g_lastError = Error::None;

namespace {

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

}  // namespace

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

Error lastError() {
    return g_lastError;
}

const char* errorText(Error e) {
    switch (e) {
        case Error::None:
            return "no error";
        case Error::NotFound:
            return "not found";
        case Error::AlreadyExists:
            return "already exists";
        case Error::InvalidArgument:
            return "invalid argument";
        case Error::WriteFailed:
            return "write failed";
        case Error::DiskFull:
            return "disk full";
        case Error::Busy:
            return "busy";
        case Error::Corrupt:
            return "corrupt record";
        case Error::EndOfData:
            return "end of data";
        case Error::Changed:
            return "changed by another writer";
    }
    return "unknown";
}

bool VolumeId::isObjectStore() const {
    return std::all_of(std::begin(bytes), std::end(bytes), [](uint8_t b) { return b == 0; });
}

VolumeId objectStore() {
    return {};
}

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

}  // namespace cedb
