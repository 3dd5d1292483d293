// What the desktop remembers between runs, in the desktop registry: for every handheld (by the
// identity the handheld keeps in its own registry), the map of its objects to the backup
// file's items, and the mark of a backup that has not finished.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "registry/registry.h"
#include "repl/repl.h"

namespace quorinsync {

using Identity = std::vector<uint8_t>;  // 16 bytes

// The identifier of a serialised desktop item (0 when the bytes are no item).
uint32_t itemIdOf(const std::vector<uint8_t>& bytes);

// The handheld's identity. When it has none (a new or reset handheld) one is made and stored
// if `make`, else the empty identity is returned and nothing is written.
Identity deviceIdentity(bool make);

// A record as both sides name it: its kind and identifier.
struct RecordKey {
    uint32_t kind = 0;
    int32_t id = 0;
    auto operator<=>(const RecordKey&) const = default;
};

// What the desktop knows of one handheld object.
struct MapEntry {
    std::vector<uint8_t> item;  // the serialised desktop item (17 bytes)
    RecordKey key;
    bool keyKnown = false;       // maps of earlier versions did not keep it
    bool goneElsewhere = false;  // another handheld's backup deleted its item
};
using ObjectMap = std::map<repl::CEOID, MapEntry>;

class SyncState {
public:
    // The state as stored; with `create`, the key is made when missing. Nothing when the desktop
    // registry cannot be had (or, without `create`, holds no state yet).
    static std::optional<SyncState> open(bool create);

    // The map of that handheld; empty when it has none. A map kept by an earlier version (one
    // map for the one handheld it names, or for any handheld when it names none) is read as
    // that handheld's.
    ObjectMap map(const Identity& device) const;
    // Stores the handheld's map (taking over an earlier version's map of it).
    bool saveMap(const Identity& device, const ObjectMap& map);
    // In every other handheld's map, marks the entries of these items as deleted by `device`.
    bool markGone(const Identity& device, const std::set<uint32_t>& itemIds);
    // The items that the maps of the other handhelds name.
    std::set<uint32_t> itemsOfOthers(const Identity& device) const;

    // The highest item identifier in the file when the handheld's unfinished backup began.
    std::optional<uint32_t> unfinished(const Identity& device) const;
    bool setUnfinished(const Identity& device, uint32_t highest);
    bool clearUnfinished(const Identity& device);

private:
    explicit SyncState(reg::Key key) : key_(std::move(key)) {}
    bool legacyBelongsTo(const Identity& device) const;
    bool legacyMarkBelongsTo(const Identity& device) const;
    // The names of the other handhelds' maps.
    std::vector<std::u16string> otherMaps(const Identity& device) const;
    reg::Key key_;
};

}  // namespace quorinsync
