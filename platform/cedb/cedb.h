// Property databases: the handheld's record store.
//
// A volume is one SQLite file: the object store (in the device root, identifier all zero) or a
// volume file mounted by path. A volume holds databases (name, type, up to four sort orders);
// a database holds records, each a list of typed properties kept in the order they were written.
// Every object (database or record) has an identifier unique in its volume and never 0.
//
// Each process keeps one long-lived connection per volume, shared by all handles on it. Every
// change is one transaction, durable when the call returns; other processes see a record whole,
// before or after the change. A walk reads the records in pages, so a concurrent writer in
// another process is seen at the next page boundary and never as a half-written record.
//
// Calls report failure by their result; `lastError()` then tells why.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cedb {

using Oid = uint32_t;

// Value types, as the low 16 bits of a property identifier.
enum class PropType : uint16_t {
    I2 = 0x0002,
    I4 = 0x0003,
    Bool = 0x000B,
    UI2 = 0x0012,
    UI4 = 0x0013,
    String = 0x001F,
    FileTime = 0x0040,
    Blob = 0x0041,
};

constexpr uint32_t makePropId(uint16_t number, PropType type) {
    return (uint32_t(number) << 16) | uint16_t(type);
}
constexpr uint16_t propNumber(uint32_t propId) { return uint16_t(propId >> 16); }
constexpr PropType propType(uint32_t propId) { return PropType(propId & 0xFFFF); }

// 100-ns intervals since 1601-01-01, in two 32-bit halves, low first.
struct FileTime {
    uint32_t low = 0;
    uint32_t high = 0;
    uint64_t value() const { return (uint64_t(high) << 32) | low; }
    static FileTime fromValue(uint64_t v) { return {uint32_t(v), uint32_t(v >> 32)}; }
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

// One property. `propId` carries the type; the matching member holds the value.
// Integers of every width and booleans live in `number` (16-bit values as written, not widened).
struct PropVal {
    uint32_t propId = 0;
    int64_t number = 0;
    FileTime fileTime;
    std::u16string text;
    std::vector<uint8_t> blob;

    PropType type() const { return propType(propId); }

    static PropVal i2(uint16_t n, int16_t v) { return num(makePropId(n, PropType::I2), v); }
    static PropVal ui2(uint16_t n, uint16_t v) { return num(makePropId(n, PropType::UI2), v); }
    static PropVal i4(uint16_t n, int32_t v) { return num(makePropId(n, PropType::I4), v); }
    static PropVal ui4(uint16_t n, uint32_t v) { return num(makePropId(n, PropType::UI4), v); }
    static PropVal boolean(uint16_t n, bool v) { return num(makePropId(n, PropType::Bool), v); }
    static PropVal string(uint16_t n, std::u16string v) {
        PropVal p;
        p.propId = makePropId(n, PropType::String);
        p.text = std::move(v);
        return p;
    }
    static PropVal filetime(uint16_t n, FileTime v) {
        PropVal p;
        p.propId = makePropId(n, PropType::FileTime);
        p.fileTime = v;
        return p;
    }
    static PropVal bytes(uint16_t n, std::vector<uint8_t> v) {
        PropVal p;
        p.propId = makePropId(n, PropType::Blob);
        p.blob = std::move(v);
        return p;
    }

    friend bool operator==(const PropVal&, const PropVal&) = default;

private:
    static PropVal num(uint32_t id, int64_t v) {
        PropVal p;
        p.propId = id;
        p.number = v;
        return p;
    }
};

using Record = std::vector<PropVal>;

// The property with that identifier, or nullptr.
const PropVal* findProp(const Record& record, uint32_t propId);
PropVal* findProp(Record& record, uint32_t propId);

struct SortOrder {
    uint32_t propId = 0;
    bool descending = false;
    friend bool operator==(const SortOrder&, const SortOrder&) = default;
};

enum class Error {
    None,
    NotFound,      // no such database, record or volume
    AlreadyExists, // a database of that name is already in the volume
    InvalidArgument,
    WriteFailed,   // the write did not happen; nothing was changed
    DiskFull,
    Busy,          // another process held the volume past the busy timeout
    Corrupt,       // a stored record could not be decoded
    EndOfData,
    Changed,       // a conditional write found the record changed by someone else
};
Error lastError();
const char* errorText(Error);

// 16-byte volume identifier; all zero names the object store.
struct VolumeId {
    uint8_t bytes[16] = {};
    bool isObjectStore() const;
    friend bool operator==(const VolumeId&, const VolumeId&) = default;
};

enum class ObjectKind { None, Database, Record };

struct DatabaseInfo {
    Oid oid = 0;
    std::u16string name;
    uint32_t type = 0;
    std::vector<SortOrder> sortOrders;
    uint32_t recordCount = 0;
    uint64_t sizeBytes = 0;  // stored size of all records
    FileTime lastModified;   // device clock time of the last change
};

struct ObjectInfo {
    ObjectKind kind = ObjectKind::None;
    DatabaseInfo database;  // kind == Database
    Oid parent = 0;         // kind == Record: the database holding it
    uint32_t recordSize = 0;
};

// The object store of the current device root.
VolumeId objectStore();

// Mounts a volume file (created when `create` and missing). The same path mounted twice yields
// the same identifier. Fails with NotFound when the file is missing and not to be created.
std::optional<VolumeId> mountVolume(const std::filesystem::path& file, bool create);
// Forgets a mounted volume; its handles fail from then on. The object store cannot be unmounted.
bool unmountVolume(const VolumeId& volume);

// Creates a database; returns its identifier or 0 (AlreadyExists, InvalidArgument with more
// than four sort orders, WriteFailed).
Oid createDatabase(const VolumeId& volume, const std::u16string& name, uint32_t type,
                   const std::vector<SortOrder>& sortOrders);
// The database's identifier, or 0 when the volume has none of that name.
Oid findDatabase(const VolumeId& volume, const std::u16string& name);
// Every database of the given type (0: every type), in order of creation.
std::vector<Oid> enumerateDatabases(const VolumeId& volume, uint32_t type);
std::optional<ObjectInfo> objectInfo(const VolumeId& volume, Oid oid);
bool deleteDatabase(const VolumeId& volume, Oid oid);

// An open database with a cursor. Movable, not copyable; closes itself.
class Database {
public:
    Database();
    ~Database();
    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;

    // Opens in sort order `sortIndex` (0: the first). Fails with NotFound.
    bool open(const VolumeId& volume, Oid oid, int sortIndex = 0);
    bool open(const VolumeId& volume, const std::u16string& name, int sortIndex = 0);
    void close();
    bool isOpen() const;
    Oid oid() const;

    // Cursor. Each seek reports whether a record is now current; after the last record
    // `endOfData()` is true and there is no current record.
    bool seekFirst();
    bool seekNext();
    bool seekToOid(Oid record);
    // The first record, in the open sort order, whose property `value.propId` equals `value`.
    bool seekFirstEqual(const PropVal& value);
    bool endOfData() const;

    // Reads the current record: every property, or only those listed (in stored order).
    // Fails with EndOfData when there is no current record.
    std::optional<Record> readCurrent(const std::vector<uint32_t>& only = {});
    // The same into `out`, reusing its storage (a walk reads every record into one Record).
    bool readCurrent(Record& out, const std::vector<uint32_t>& only = {});
    Oid currentOid() const;

    // Adds a record; returns its identifier or 0. The cursor does not move.
    Oid addRecord(const Record& props);
    // Replaces the listed properties of the current record in place and appends the new ones.
    bool updateCurrent(const Record& props);
    // The same, but only while the stored record still holds `expected` (compared whole); fails
    // with Changed, writing nothing, when another writer got there first. Read, compare and
    // write are one transaction, so two processes can never both take the same counter value.
    bool updateCurrentIf(const PropVal& expected, const Record& props);
    // The same as updateCurrent for any record of this database, by identifier.
    bool writeRecord(Oid record, const Record& props);
    bool deleteRecord(Oid record);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Many writes as one durable transaction. While a batch is open on a volume, every add, update
// and delete of this process on that volume (through any handle) joins it: each still takes its
// own object identifier and succeeds or fails on its own (a failed one leaves the batch going,
// without it), but other processes see none of them until commit() returns, and a crash or a
// failed commit leaves none of them. Batches nest; only the outermost commit makes the writes
// durable, an inner one just ends the inner batch.
//
// A batch holds the volume's write lock from begin to end: writers in other processes wait up
// to their busy timeout meanwhile. Keep batches short and never wait on the user inside one.
class Batch {
public:
    // Begins the batch; active() tells whether it did (lastError: Busy, NotFound, WriteFailed).
    explicit Batch(const VolumeId& volume);
    // Rolls back whatever is not yet committed.
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    bool active() const;
    // Makes every write of the batch durable at once and ends the batch. False when it could
    // not: then nothing of the batch is stored (lastError says why). The batch is over either way.
    bool commit();
    // Undoes every write of the batch and ends it.
    void rollback();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Every open connection of this process is closed (for tests that change the device root).
void closeAllVolumes();

}  // namespace cedb
