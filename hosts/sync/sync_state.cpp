#include "sync_state.h"

#include <cstring>
#include <random>

namespace quorinsync {

namespace {

// Handheld registry: the identity of this handheld's store, made at its first synchronisation.
constexpr char16_t kIdentityKey[] = u"Software\\Quorin Sync";
constexpr char16_t kIdentityValue[] = u"Identity";
// Desktop registry: one value of each kind per handheld, named after its identity.
constexpr char16_t kStateKey[] = u"Software\\Quorin\\Partners\\Device\\Sync";
constexpr char16_t kMapPrefix[] = u"Map ";
constexpr char16_t kUnfinishedPrefix[] = u"Unfinished ";
// The one map an earlier version kept, with the handheld it belonged to.
constexpr char16_t kLegacyMap[] = u"Objects";
constexpr char16_t kLegacyDevice[] = u"Device";
constexpr char16_t kLegacyUnfinished[] = u"Unfinished";

// An entry: object (4), serialised item (17), kind (4), identifier (4), flags (4).
constexpr size_t kEntry = 33;
constexpr size_t kLegacyEntry = 21;  // object and item only
constexpr uint32_t kKeyKnown = 1, kGoneElsewhere = 2;

std::u16string hex(const Identity& id) {
    static const char16_t digits[] = u"0123456789abcdef";
    std::u16string s;
    for (uint8_t b : id) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 15]);
    }
    return s;
}

uint32_t get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    out.insert(out.end(), p, p + 4);
}

ObjectMap parse(const std::vector<uint8_t>& bytes, size_t entry) {
    ObjectMap map;
    for (size_t off = 0; off + entry <= bytes.size(); off += entry) {
        const uint8_t* p = bytes.data() + off;
        MapEntry& e = map[get32(p)];
        e.item.assign(p + 4, p + 21);
        if (entry == kEntry) {
            const uint32_t flags = get32(p + 29);
            e.key = {get32(p + 21), int32_t(get32(p + 25))};
            e.keyKnown = flags & kKeyKnown;
            e.goneElsewhere = flags & kGoneElsewhere;
        }
    }
    return map;
}

std::vector<uint8_t> serialise(const ObjectMap& map) {
    std::vector<uint8_t> bytes;
    bytes.reserve(map.size() * kEntry);
    for (const auto& [oid, e] : map) {
        put32(bytes, oid);
        std::vector<uint8_t> item = e.item;
        item.resize(17);
        bytes.insert(bytes.end(), item.begin(), item.end());
        put32(bytes, e.key.kind);
        put32(bytes, uint32_t(e.key.id));
        put32(bytes, (e.keyKnown ? kKeyKnown : 0) | (e.goneElsewhere ? kGoneElsewhere : 0));
    }
    return bytes;
}

}  // namespace

uint32_t itemIdOf(const std::vector<uint8_t>& bytes) {
    return bytes.size() == 17 ? get32(bytes.data() + 5) : 0;
}

Identity deviceIdentity(bool make) {
    if (!make) {
        auto key = reg::Key::open(reg::Hive::LocalMachine, kIdentityKey);
        const auto v = key ? key->query(kIdentityValue) : std::nullopt;
        return v && v->data.size() == 16 ? v->data : Identity{};
    }
    auto key = reg::Key::create(reg::Hive::LocalMachine, kIdentityKey);
    if (!key) return {};
    if (auto v = key->query(kIdentityValue); v && v->data.size() == 16) return v->data;
    Identity id(16);
    std::random_device rd;
    for (auto& b : id) b = uint8_t(rd());
    if (!key->set(kIdentityValue, {reg::ValueType::Binary, id})) return {};
    return id;
}

std::optional<SyncState> SyncState::open(bool create) {
    auto key =
        create ? reg::Key::create(reg::Hive::CurrentUser, kStateKey, nullptr, reg::Store::Desktop)
               : reg::Key::open(reg::Hive::CurrentUser, kStateKey, reg::Store::Desktop);
    if (!key) return std::nullopt;
    return SyncState(std::move(*key));
}

bool SyncState::legacyBelongsTo(const Identity& device) const {
    if (!key_.query(kLegacyMap)) return false;
    const auto owner = key_.query(kLegacyDevice);
    return !owner || owner->data == device;
}

ObjectMap SyncState::map(const Identity& device) const {
    if (device.empty()) return {};
    if (const auto v = key_.query(kMapPrefix + hex(device))) return parse(v->data, kEntry);
    if (legacyBelongsTo(device)) return parse(key_.query(kLegacyMap)->data, kLegacyEntry);
    return {};
}

bool SyncState::saveMap(const Identity& device, const ObjectMap& map) {
    if (!key_.set(kMapPrefix + hex(device), {reg::ValueType::Binary, serialise(map)})) return false;
    if (legacyBelongsTo(device)) {
        key_.remove(kLegacyMap);
        key_.remove(kLegacyDevice);
    }
    return true;
}

std::vector<std::u16string> SyncState::otherMaps(const Identity& device) const {
    std::vector<std::u16string> names;
    const std::u16string own = kMapPrefix + hex(device);
    for (const std::u16string& name : key_.valueNames())
        if (name.rfind(kMapPrefix, 0) == 0 && name != own) names.push_back(name);
    return names;
}

bool SyncState::legacyMarkBelongsTo(const Identity& device) const {
    // An earlier version's mark goes with its map, or with the handheld at hand without one.
    return !key_.query(kLegacyMap) || legacyBelongsTo(device);
}

bool SyncState::markGone(const Identity& device, const std::set<uint32_t>& itemIds) {
    if (itemIds.empty()) return true;
    bool ok = true;
    for (const std::u16string& name : otherMaps(device)) {
        const auto v = key_.query(name);
        if (!v) continue;
        ObjectMap other = parse(v->data, kEntry);
        bool touched = false;
        for (auto& [oid, e] : other) {
            if (!e.goneElsewhere && itemIds.count(itemIdOf(e.item))) {
                e.goneElsewhere = true;
                touched = true;
            }
        }
        if (touched) ok &= key_.set(name, {reg::ValueType::Binary, serialise(other)});
    }
    return ok;
}

std::set<uint32_t> SyncState::itemsOfOthers(const Identity& device) const {
    std::set<uint32_t> ids;
    const auto collect = [&](const std::u16string& name, size_t entry) {
        if (const auto v = key_.query(name))
            for (const auto& [oid, e] : parse(v->data, entry)) ids.insert(itemIdOf(e.item));
    };
    for (const std::u16string& name : otherMaps(device)) collect(name, kEntry);
    if (key_.query(kLegacyMap) && !legacyBelongsTo(device)) collect(kLegacyMap, kLegacyEntry);
    return ids;
}

std::optional<uint32_t> SyncState::unfinished(const Identity& device) const {
    if (auto v = key_.queryDword(kUnfinishedPrefix + hex(device))) return v;
    return legacyMarkBelongsTo(device) ? key_.queryDword(kLegacyUnfinished) : std::nullopt;
}

bool SyncState::setUnfinished(const Identity& device, uint32_t highest) {
    return key_.setDword(kUnfinishedPrefix + hex(device), highest);
}

bool SyncState::clearUnfinished(const Identity& device) {
    key_.remove(kUnfinishedPrefix + hex(device));
    if (legacyMarkBelongsTo(device)) key_.remove(kLegacyUnfinished);
    return !key_.queryDword(kUnfinishedPrefix + hex(device));
}

}  // namespace quorinsync
