#include "registry.h"

#include <unistd.h>

#include <map>
#include <mutex>
#include <string_view>

#include "fs/devfs.h"
#include "registry_faults.h"
#include "sqlite/sqlite_db.h"

namespace reg {

// ---------------------------------------------------------------------------------------------
// Faults on command

namespace {

struct FaultRule {
    faults::Op op;
    int times;  // < 0: for ever
};

struct FaultState {
    std::mutex mutex;
    std::vector<FaultRule> rules;
};

FaultState& faultState() {
    static FaultState s;
    return s;
}

// Consumes one failure of the first rule that matches; true when the call is to fail.
bool failNow(faults::Op op) {
    FaultState& s = faultState();
    std::lock_guard lock(s.mutex);
    for (auto it = s.rules.begin(); it != s.rules.end(); ++it) {
        if (it->op != faults::Op::Any && it->op != op) continue;
        if (it->times > 0 && --it->times == 0) s.rules.erase(it);
        return true;
    }
    return false;
}

}  // namespace

void faults::arm(Op op, int times) {
    if (times == 0) return;
    FaultState& s = faultState();
    std::lock_guard lock(s.mutex);
    s.rules.push_back({op, times});
}

void faults::clear() {
    FaultState& s = faultState();
    std::lock_guard lock(s.mutex);
    s.rules.clear();
}

// ---------------------------------------------------------------------------------------------
// Storage

namespace {

namespace fs = std::filesystem;
using faults::Op;

// Key ids come from AUTOINCREMENT, so the id of a deleted key is never handed out again and a
// handle left open on it cannot reach a newer key. `folded` is the upper-cased name that lookups
// compare; `name` keeps the first spelling.
constexpr std::string_view kSchema = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    hive TEXT NOT NULL,
    parent INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    UNIQUE(hive, parent, folded));
CREATE TABLE IF NOT EXISTS reg_values(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key_id INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key_id, folded));
)sql";

// The connections are opened without SQLite's own mutex, and every call here is a few
// statements long, so one lock for the whole registry is enough.
std::mutex& callMutex() {
    static std::mutex m;
    return m;
}

struct ConnectionCache {
    pid_t owner = getpid();
    std::map<std::string, std::unique_ptr<sqlite::Connection>> byFile;
};

ConnectionCache& cache() {
    static ConnectionCache c;
    return c;
}

// A forked child must neither use nor close its parent's connections: SQLite keeps lock state in
// process memory that would then be wrong. They are left to the parent.
void abandonIfForked(ConnectionCache& c) {
    if (c.owner == getpid()) return;
    for (auto& entry : c.byFile) (void)entry.second.release();
    c.byFile.clear();
    c.owner = getpid();
}

bool ensureSchema(sqlite::Connection& c) {
    // Both tables are made in one transaction, so a file holding the second has both. Opening
    // such a file takes no write lock, and a batch held open on the object store by another
    // connection does not stop it.
    {
        sqlite::Statement q(c.handle(),
                            "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='reg_values'");
        if (q.valid() && q.step() == SQLITE_ROW && q.columnInt(0) == 1) return true;
    }
    sqlite::WriteTransaction tx(c);
    return tx.begun() && c.exec(kSchema) && tx.commit();
}

// The process's connection to a registry file, opened on first use; nullptr when the file
// cannot be opened. Caller holds callMutex().
sqlite::Connection* connectionFor(const fs::path& file) {
    ConnectionCache& c = cache();
    abandonIfForked(c);
    auto it = c.byFile.find(file.native());
    if (it != c.byFile.end()) return it->second.get();
    std::unique_ptr<sqlite::Connection> conn;
    try {
        conn = std::make_unique<sqlite::Connection>(file);
    } catch (const std::exception&) {
        return nullptr;
    }
    if (!ensureSchema(*conn)) return nullptr;
    return c.byFile.emplace(file.native(), std::move(conn)).first->second.get();
}

// Resets a cached statement when leaving scope: a statement left mid-way would hold its read
// snapshot open, and later reads would not see other processes' writes.
struct StatementScope {
    explicit StatementScope(sqlite::Statement& s) : stmt(s) {}
    ~StatementScope() { stmt.reset(); }
    sqlite::Statement& stmt;
};

// Several reads seen at one instant.
class ReadTransaction {
public:
    explicit ReadTransaction(sqlite::Connection& c) : c_(c), begun_(c.exec("BEGIN")) {}
    ~ReadTransaction() {
        if (begun_) c_.exec("COMMIT");
    }

private:
    sqlite::Connection& c_;
    bool begun_;
};

const char* hiveName(Hive hive) {
    return hive == Hive::LocalMachine ? "HKLM" : "HKCU";
}

// Registry calls read names as C strings: up to the first zero.
std::u16string_view upToZero(std::u16string_view s) {
    return s.substr(0, s.find(u'\0'));
}

std::string folded(std::u16string_view name) {
    return devfs::toUtf8(devfs::upperCase(upToZero(name)));
}

// The parts of a "\"-separated key path; empty when it names no key.
std::vector<std::u16string_view> splitPath(const std::u16string& path) {
    std::vector<std::u16string_view> parts;
    std::u16string_view rest = upToZero(path);
    while (!rest.empty()) {
        size_t cut = rest.find(u'\\');
        if (cut != 0) parts.push_back(rest.substr(0, cut));
        rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
    }
    return parts;
}

std::optional<int64_t> findChild(sqlite::Connection& c, Hive hive, int64_t parent,
                                 const std::string& foldedName) {
    auto& st = c.cached("SELECT id FROM reg_keys WHERE hive = ?1 AND parent = ?2 AND folded = ?3");
    StatementScope scope(st);
    st.bind(1, std::string_view(hiveName(hive))).bind(2, parent).bind(3, foldedName);
    if (st.step() != SQLITE_ROW) return std::nullopt;
    return st.columnInt(0);
}

std::optional<int64_t> resolve(sqlite::Connection& c, Hive hive,
                               const std::vector<std::u16string_view>& parts) {
    int64_t id = 0;
    for (std::u16string_view part : parts) {
        auto child = findChild(c, hive, id, folded(part));
        if (!child) return std::nullopt;
        id = *child;
    }
    return id;
}

bool keyExists(sqlite::Connection& c, int64_t id) {
    auto& st = c.cached("SELECT 1 FROM reg_keys WHERE id = ?1");
    StatementScope scope(st);
    st.bind(1, id);
    return st.step() == SQLITE_ROW;
}

bool validValue(const Value& v) {
    if (v.type == ValueType::Dword) return v.data.size() == 4;
    if (v.type == ValueType::Sz) return v.data.size() % 2 == 0;
    return true;
}

}  // namespace

std::filesystem::path storeFile(Store store) {
    return store == Store::Device ? devfs::objectStoreFile() : devfs::desktopRegistryFile();
}

// ---------------------------------------------------------------------------------------------
// Key

struct Key::Impl {
    fs::path file;
    int64_t id = 0;
};

Key::Key() = default;
Key::Key(Key&&) noexcept = default;
Key& Key::operator=(Key&&) noexcept = default;
Key::~Key() = default;
void Key::close() {
    d.reset();
}

std::optional<Key> Key::open(Hive hive, const std::u16string& path, Store store) {
    if (failNow(Op::Open)) return std::nullopt;
    auto parts = splitPath(path);
    if (parts.empty()) return std::nullopt;
    std::lock_guard lock(callMutex());
    fs::path file = storeFile(store);
    sqlite::Connection* c = connectionFor(file);
    if (!c) return std::nullopt;
    std::optional<int64_t> id;
    {
        ReadTransaction tx(*c);
        id = resolve(*c, hive, parts);
    }
    if (!id) return std::nullopt;
    Key key;
    key.d = std::make_unique<Impl>(Impl{std::move(file), *id});
    return key;
}

std::optional<Key> Key::create(Hive hive, const std::u16string& path, bool* created, Store store) {
    if (failNow(Op::Create)) return std::nullopt;
    auto parts = splitPath(path);
    if (parts.empty()) return std::nullopt;
    std::lock_guard lock(callMutex());
    fs::path file = storeFile(store);
    sqlite::Connection* c = connectionFor(file);
    if (!c) return std::nullopt;

    // One transaction, so two processes creating the same path meet on one key.
    sqlite::WriteTransaction tx(*c);
    if (!tx.begun()) return std::nullopt;
    int64_t id = 0;
    bool made = false;
    for (std::u16string_view part : parts) {
        std::string foldedName = folded(part);
        if (auto child = findChild(*c, hive, id, foldedName)) {
            id = *child;
            made = false;
            continue;
        }
        auto& st =
            c->cached("INSERT INTO reg_keys(hive, parent, name, folded) VALUES(?1, ?2, ?3, ?4)");
        StatementScope scope(st);
        st.bind(1, std::string_view(hiveName(hive)))
            .bind(2, id)
            .bind(3, devfs::toUtf8(part))
            .bind(4, foldedName);
        if (st.step() != SQLITE_DONE) return std::nullopt;
        id = c->lastInsertRowid();
        made = true;
    }
    if (!tx.commit()) return std::nullopt;
    if (created) *created = made;
    Key key;
    key.d = std::make_unique<Impl>(Impl{std::move(file), id});
    return key;
}

namespace {

// Caller holds callMutex().
std::optional<Value> readValue(const fs::path& file, int64_t keyId, const std::u16string& name,
                               size_t maxBytes) {
    sqlite::Connection* c = connectionFor(file);
    if (!c) return std::nullopt;
    auto& st = c->cached("SELECT type, data FROM reg_values WHERE key_id = ?1 AND folded = ?2");
    StatementScope scope(st);
    st.bind(1, keyId).bind(2, folded(name));
    if (st.step() != SQLITE_ROW) return std::nullopt;
    size_t size = 0;
    const uint8_t* bytes = st.columnBlob(1, &size);
    if (size > maxBytes) return std::nullopt;
    Value v;
    v.type = ValueType(uint32_t(st.columnInt(0)));
    v.data.assign(bytes, bytes + size);
    return v;
}

// Caller holds callMutex().
bool writeValue(const fs::path& file, int64_t keyId, const std::u16string& name, const Value& v) {
    if (!validValue(v)) return false;
    sqlite::Connection* c = connectionFor(file);
    if (!c) return false;
    sqlite::WriteTransaction tx(*c);
    if (!tx.begun() || !keyExists(*c, keyId)) return false;
    auto& st = c->cached(
        "INSERT INTO reg_values(key_id, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
        "ON CONFLICT(key_id, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
    {
        StatementScope scope(st);
        std::u16string_view shortName = upToZero(name);
        st.bind(1, keyId)
            .bind(2, devfs::toUtf8(shortName))
            .bind(3, folded(shortName))
            .bind(4, int64_t(v.type))
            .bindBlob(5, v.data.data(), v.data.size());
        if (st.step() != SQLITE_DONE) return false;
    }
    return tx.commit();
}

Value stringValue(const std::u16string& text) {
    Value v;
    v.type = ValueType::Sz;
    v.data.reserve((text.size() + 1) * 2);
    for (char16_t ch : text) {
        v.data.push_back(uint8_t(ch & 0xFF));
        v.data.push_back(uint8_t(ch >> 8));
    }
    v.data.push_back(0);
    v.data.push_back(0);
    return v;
}

Value dwordValue(uint32_t n) {
    Value v;
    v.type = ValueType::Dword;
    v.data = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    return v;
}

}  // namespace

std::optional<Value> Key::query(const std::u16string& name, size_t maxBytes) const {
    if (failNow(Op::Query) || !d) return std::nullopt;
    std::lock_guard lock(callMutex());
    return readValue(d->file, d->id, name, maxBytes);
}

std::optional<std::u16string> Key::queryString(const std::u16string& name, size_t maxBytes) const {
    if (failNow(Op::Query) || !d) return std::nullopt;
    std::lock_guard lock(callMutex());
    auto v = readValue(d->file, d->id, name, maxBytes);
    if (!v || v->type != ValueType::Sz) return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < v->data.size(); i += 2) {
        char16_t ch = char16_t(v->data[i] | (v->data[i + 1] << 8));
        if (ch == 0) break;
        text.push_back(ch);
    }
    return text;
}

std::optional<uint32_t> Key::queryDword(const std::u16string& name) const {
    if (failNow(Op::Query) || !d) return std::nullopt;
    std::lock_guard lock(callMutex());
    auto v = readValue(d->file, d->id, name, SIZE_MAX);
    if (!v || v->type != ValueType::Dword || v->data.size() != 4) return std::nullopt;
    const auto& b = v->data;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

bool Key::set(const std::u16string& name, const Value& value) {
    if (failNow(Op::Set) || !d) return false;
    std::lock_guard lock(callMutex());
    return writeValue(d->file, d->id, name, value);
}

bool Key::setString(const std::u16string& name, const std::u16string& text) {
    if (failNow(Op::Set) || !d) return false;
    std::lock_guard lock(callMutex());
    return writeValue(d->file, d->id, name, stringValue(text));
}

bool Key::setDword(const std::u16string& name, uint32_t value) {
    if (failNow(Op::Set) || !d) return false;
    std::lock_guard lock(callMutex());
    return writeValue(d->file, d->id, name, dwordValue(value));
}

bool Key::remove(const std::u16string& name) {
    if (failNow(Op::Set) || !d) return false;
    std::lock_guard lock(callMutex());
    sqlite::Connection* c = connectionFor(d->file);
    if (!c) return false;
    sqlite::WriteTransaction tx(*c);
    if (!tx.begun()) return false;
    auto& st = c->cached("DELETE FROM reg_values WHERE key_id = ?1 AND folded = ?2");
    {
        StatementScope scope(st);
        st.bind(1, d->id).bind(2, folded(name));
        if (st.step() != SQLITE_DONE || c->changes() == 0) return false;
    }
    return tx.commit();
}

std::vector<std::u16string> Key::valueNames() const {
    std::vector<std::u16string> names;
    if (failNow(Op::Query) || !d) return names;
    std::lock_guard lock(callMutex());
    sqlite::Connection* c = connectionFor(d->file);
    if (!c) return names;
    auto& st = c->cached("SELECT name FROM reg_values WHERE key_id = ?1 ORDER BY id");
    StatementScope scope(st);
    st.bind(1, d->id);
    while (st.step() == SQLITE_ROW) names.push_back(devfs::fromUtf8(st.columnText(0)));
    return names;
}

// ---------------------------------------------------------------------------------------------
// Whole keys

std::vector<std::u16string> keyPaths(Hive hive, Store store) {
    std::vector<std::u16string> paths;
    if (failNow(Op::Query)) return paths;
    std::lock_guard lock(callMutex());
    sqlite::Connection* c = connectionFor(storeFile(store));
    if (!c) return paths;
    auto& st = c->cached("SELECT id, parent, name FROM reg_keys WHERE hive = ?1 ORDER BY id");
    StatementScope scope(st);
    st.bind(1, std::string_view(hiveName(hive)));
    // A parent is always created before its children, so it has been seen by then.
    std::map<int64_t, size_t> indexOf;
    while (st.step() == SQLITE_ROW) {
        int64_t id = st.columnInt(0), parent = st.columnInt(1);
        std::u16string name = devfs::fromUtf8(st.columnText(2));
        if (parent == 0) {
            paths.push_back(std::move(name));
        } else if (auto it = indexOf.find(parent); it != indexOf.end()) {
            paths.push_back(paths[it->second] + u"\\" + name);
        } else {
            continue;
        }
        indexOf[id] = paths.size() - 1;
    }
    return paths;
}

bool deleteKey(Hive hive, const std::u16string& path, Store store) {
    if (failNow(Op::Set)) return false;
    auto parts = splitPath(path);
    if (parts.empty()) return false;
    std::lock_guard lock(callMutex());
    sqlite::Connection* c = connectionFor(storeFile(store));
    if (!c) return false;
    sqlite::WriteTransaction tx(*c);
    if (!tx.begun()) return false;
    auto id = resolve(*c, hive, parts);
    if (!id) return false;
    static constexpr std::string_view kSubtree =
        "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
        "SELECT k.id FROM reg_keys k JOIN sub ON k.parent = sub.id) ";
    for (std::string_view target :
         {"DELETE FROM reg_values WHERE key_id IN sub", "DELETE FROM reg_keys WHERE id IN sub"}) {
        auto& st = c->cached(std::string(kSubtree) + std::string(target));
        StatementScope scope(st);
        st.bind(1, *id);
        if (st.step() != SQLITE_DONE) return false;
    }
    return tx.commit();
}

void closeAll() {
    std::lock_guard lock(callMutex());
    ConnectionCache& c = cache();
    abandonIfForked(c);
    c.byFile.clear();
}

// ---------------------------------------------------------------------------------------------
// Profile

Profile::Profile(std::u16string registryKey, std::u16string appName)
    : registryKey_(std::move(registryKey)), appName_(std::move(appName)) {}

std::u16string Profile::keyPath(const std::u16string& section) const {
    return u"Software\\" + registryKey_ + u"\\" + appName_ + u"\\" + section;
}

int Profile::getInt(const std::u16string& section, const std::u16string& entry,
                    int fallback) const {
    auto key = Key::open(Hive::CurrentUser, keyPath(section));
    if (!key) return fallback;
    auto v = key->queryDword(entry);
    return v ? int(*v) : fallback;
}

bool Profile::writeInt(const std::u16string& section, const std::u16string& entry, int value) {
    auto key = Key::create(Hive::CurrentUser, keyPath(section));
    return key && key->setDword(entry, uint32_t(value));
}

std::u16string Profile::getString(const std::u16string& section, const std::u16string& entry,
                                  const std::u16string& fallback) const {
    auto key = Key::open(Hive::CurrentUser, keyPath(section));
    if (!key) return fallback;
    auto v = key->queryString(entry);
    return v ? *v : fallback;
}

bool Profile::writeString(const std::u16string& section, const std::u16string& entry,
                          const std::u16string& value) {
    auto key = Key::create(Hive::CurrentUser, keyPath(section));
    return key && key->setString(entry, value);
}

}  // namespace reg
