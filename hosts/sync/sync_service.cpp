#include "sync_service.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "desk/desk.h"
#include "fs/devfs.h"
#include "session.h"
#include "sync_state.h"

namespace quorinsync {

using namespace repl;

namespace {

constexpr char16_t kObjectType[] = u"Quorin";
constexpr size_t kMaxRecords = 4999;  // what the backup file holds
constexpr char kStateUnsaved[] = "quorin-sync: the synchronisation state cannot be saved\n";

RecordKey keyOf(const RecordImage& r) {
    return {r.kind, r.id};
}

// ---- One run at a time --------------------------------------------------------------------------

struct RootLocks {
    std::unique_ptr<desk::FolderLock> desktop;
    std::unique_ptr<desk::FolderLock> device;
};

// Holds the desktop root and then the device root (always in that order) for the whole run;
// a root that does not exist holds nothing to guard. `makeDesktop` makes the desktop root first.
bool lockRoots(const Paths& paths, bool makeDesktop, RootLocks& locks, std::ostream& err) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path desktop = desk::desktopRoot();
    if (makeDesktop) fs::create_directories(desktop, ec);
    const std::pair<fs::path, std::unique_ptr<desk::FolderLock>*> roots[] = {
        {desktop, &locks.desktop}, {devfs::deviceRoot(), &locks.device}};
    for (const auto& [root, lock] : roots) {
        desk::FolderLock::Result r;
        *lock = desk::FolderLock::acquire(root, paths.waitMs, &r);
        if (*lock || r == desk::FolderLock::Result::Missing) continue;
        if (r == desk::FolderLock::Result::TimedOut)
            err << "quorin-sync: another backup, restore or status is running on " << root.string()
                << "; nothing was done\n";
        else
            err << "quorin-sync: " << root.string() << " cannot be locked; nothing was done\n";
        return false;
    }
    return true;
}

// The backup file the desktop's settings name. Looking for it writes nothing: a desktop without
// a registry yet has the default file.
bool present(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::filesystem::path backupFile() {
    if (!present(devfs::desktopRegistryFile())) return desk::hostPath(desk::kDefaultQuorinFile);
    return desk::hostPath(desk::backupFilePath(desk::readDeviceSettings()));
}

// ---- What the two sides hold --------------------------------------------------------------------

struct Item {
    HREPLITEM handle;
    uint32_t id;
    std::vector<uint8_t> bytes;  // serialised: identifier and last-written time
};

// Both sides as a run found them, with the handheld's map checked against the file.
class Look {
public:
    explicit Look(Session& s) : s_(s) {}
    ~Look() { release(); }
    // Frees the items' handles, which only the store can do: before the store goes.
    void release() {
        if (s_.store())
            for (const Item& i : items) s_.store()->FreeObject(i.handle);
        items.clear();
        index.clear();
        byKey.clear();
    }
    Look(const Look&) = delete;
    Look& operator=(const Look&) = delete;

    enum class Result { Ok, DeviceUnreadable, FileDamaged };
    // Takes the look. A map entry stays only when its item still holds its record (read again
    // only when the item was rewritten since), or when another handheld deleted its item.
    Result take(ObjectMap known);

    bool onDevice(CEOID oid) const {
        return std::binary_search(sorted_.begin(), sorted_.end(), oid);
    }
    // The item that holds the record with that key, or null.
    const Item* itemWithKey(RecordKey key) const {
        const auto k = byKey.find(key);
        return k == byKey.end() ? nullptr : &items[k->second];
    }
    const Item* item(uint32_t id) const {
        const auto i = index.find(id);
        return i == index.end() ? nullptr : &items[i->second];
    }
    // The item's record, read once; null when it cannot be read.
    const RecordImage* packet(const Item& i);

    std::vector<CEOID> all;             // the handheld's objects, in its order
    std::set<CEOID> changed;            // changed since the last backup
    std::vector<Item> items;            // the file's items, in file order
    std::map<uint32_t, size_t> index;   // item identifier -> position
    std::map<RecordKey, size_t> byKey;  // record -> the later of its items in file order
    size_t repeated = 0;                // items whose record a later item holds again
    ObjectMap map;                      // the checked entries
    // Entries of objects still on the handheld whose item another handheld's backup deleted:
    // kept, so that such an object is sent again only once it changes.
    ObjectMap gone;

private:
    Session& s_;
    std::vector<CEOID> sorted_;
    std::map<uint32_t, RecordImage> packets_;  // the items read so far
};

const RecordImage* Look::packet(const Item& i) {
    auto p = packets_.find(i.id);
    if (p == packets_.end()) {
        RecordImage r;
        if (!s_.deskPacket(i.handle, r)) return nullptr;
        p = packets_.emplace(i.id, r).first;
    }
    return &p->second;
}

Look::Result Look::take(ObjectMap known) {
    if (!s_.deviceObjects(all, changed)) return Result::DeviceUnreadable;
    sorted_ = all;
    std::sort(sorted_.begin(), sorted_.end());
    if (!s_.hasBackup()) return Result::Ok;  // the desktop knows nothing yet
    std::vector<HREPLITEM> handles;
    if (!s_.deskItems(handles)) return Result::FileDamaged;
    for (HREPLITEM h : handles) {
        std::vector<uint8_t> b = s_.toBytes(h);
        const uint32_t id = itemIdOf(b);
        index[id] = items.size();
        items.push_back({h, id, std::move(b)});
    }
    std::map<uint32_t, RecordKey> keyOfItem;
    for (auto& [oid, e] : known) {
        const Item* i = item(itemIdOf(e.item));
        if (!i) {
            if (e.goneElsewhere && onDevice(oid)) gone.emplace(oid, e);
            continue;
        }
        if (i->bytes != e.item || !e.keyKnown) {
            const RecordImage* r = packet(*i);
            if (!r || (e.keyKnown && keyOf(*r) != e.key)) continue;  // another record now
            e.item = i->bytes;
            e.key = keyOf(*r);
            e.keyKnown = true;
        }
        e.goneElsewhere = false;
        keyOfItem[i->id] = e.key;
        map.emplace(oid, e);
    }
    for (size_t k = 0; k < items.size(); ++k) {
        RecordKey key;
        if (const auto m = keyOfItem.find(items[k].id); m != keyOfItem.end()) {
            key = m->second;
        } else if (const RecordImage* r = packet(items[k])) {
            key = keyOf(*r);
        } else {
            continue;
        }
        const auto [at, fresh] = byKey.insert({key, k});
        if (!fresh) {
            at->second = k;
            ++repeated;
        }
    }
    return Result::Ok;
}

bool lookFailed(Look::Result r, std::ostream& err) {
    if (r == Look::Result::DeviceUnreadable)
        err << "quorin-sync: the handheld's records cannot be listed\n";
    if (r == Look::Result::FileDamaged) err << kDamagedFileMessage;
    return r != Look::Result::Ok;
}

// ---- What a backup does -------------------------------------------------------------------------

struct Send {
    CEOID oid;
    RecordImage packet;
    const Item* target;  // the item written over, or null for a new one
};

struct BackupPlan {
    std::vector<Send> sends;                              // in the handheld's order
    std::vector<std::pair<CEOID, const Item*>> removals;  // objects gone from the handheld
    int unreadable = 0;                                   // changed objects that could not be read
};

// Every changed or unknown object is sent: over the item that holds its record (mapped, or
// found by kind and identifier, so that no record is ever in the file twice), else as new.
BackupPlan planBackup(Session& s, const Look& look) {
    BackupPlan plan;
    for (CEOID oid : look.all) {
        if ((look.map.count(oid) || look.gone.count(oid)) && !look.changed.count(oid)) continue;
        Send send{oid, {}, nullptr};
        if (!s.devicePacket(oid, send.packet)) {
            ++plan.unreadable;
            continue;
        }
        const auto m = look.map.find(oid);
        send.target = m != look.map.end() ? look.item(itemIdOf(m->second.item))
                                          : look.itemWithKey(keyOf(send.packet));
        plan.sends.push_back(send);
    }
    for (const auto& [oid, e] : look.map)
        if (!look.onDevice(oid)) plan.removals.push_back({oid, look.item(itemIdOf(e.item))});
    return plan;
}

void countPlan(const BackupPlan& plan, Counts& counts) {
    for (const Send& send : plan.sends) ++(send.target ? counts.changed : counts.added);
    counts.deleted = int(plan.removals.size());
}

}  // namespace

int status(const Paths& paths, Counts& counts, std::ostream& err) {
    RootLocks locks;
    if (!lockRoots(paths, false, locks, err)) return 1;
    // Looking writes nothing: no file, no state, no identity. A handheld without a store has
    // nothing to send, and opening its store would make one.
    if (!present(devfs::objectStoreFile())) return 0;
    Session s;
    if (!s.open(paths, err, true,
                present(backupFile()) ? Session::Desktop::Open : Session::Desktop::None))
        return 1;
    const Identity device = deviceIdentity(false);
    const auto state =
        present(devfs::desktopRegistryFile()) ? SyncState::open(false) : std::nullopt;
    Look look(s);
    if (lookFailed(look.take(state && !device.empty() ? state->map(device) : ObjectMap{}), err))
        return 1;
    countPlan(planBackup(s, look), counts);
    return 0;
}

int backup(const Paths& paths, Counts& counts, std::ostream& err) {
    RootLocks locks;
    if (!lockRoots(paths, true, locks, err)) return 1;
    Session s;
    if (!s.open(paths, err)) return 1;
    const Identity device = deviceIdentity(true);
    auto state = SyncState::open(true);
    if (device.empty() || !state) {
        err << kStateUnsaved;
        return 1;
    }
    const ObjectMap known = state->map(device);
    Look look(s);
    if (lookFailed(look.take(known), err)) return 1;
    const BackupPlan plan = planBackup(s, look);
    IReplStore* store = s.store();

    // Items that a backup of this handheld wrote and did not get to map (it was killed)
    // go when no record claims them; items that were there before it began, or that
    // another handheld's map names, stay.
    uint32_t highest = 0;
    for (const Item& i : look.items) highest = std::max(highest, i.id);
    const std::optional<uint32_t> unfinished = state->unfinished(device);
    if (!unfinished && !state->setUnfinished(device, highest)) {
        err << kStateUnsaved;
        return 1;
    }
    std::set<uint32_t> claimed = state->itemsOfOthers(device);
    for (const auto& [oid, e] : look.map) claimed.insert(itemIdOf(e.item));
    for (const Send& send : plan.sends)
        if (send.target) claimed.insert(send.target->id);
    std::vector<const Item*> strays;
    if (unfinished)
        for (const Item& i : look.items)
            if (i.id > *unfinished && !claimed.count(i.id)) strays.push_back(&i);

    ObjectMap map = look.map;
    map.insert(look.gone.begin(), look.gone.end());  // replaced below for what is sent
    size_t held = look.items.size();
    int full = 0, failed = plan.unreadable;
    bool damaged = false;
    std::set<uint32_t> deletedItems;
    // Deletions first, so that a full file takes new records in the run that frees room.
    const auto remove = [&](const Item* i) {
        const HRESULT hr = s.deskDelete(i->handle);
        if (hr == S_OK) --held;
        if (hr == S_OK || hr == E_FILE_NOT_FOUND) deletedItems.insert(i->id);
        return hr == S_OK || hr == E_FILE_NOT_FOUND;
    };
    for (const Item* i : strays)
        if (!remove(i)) ++failed;
    for (const auto& [oid, i] : plan.removals) {
        if (remove(i)) {
            map.erase(oid);
            ++counts.deleted;
        } else {
            ++failed;
        }
    }
    std::vector<CEOID> sent;
    for (const Send& send : plan.sends) {
        if (!send.target && held >= kMaxRecords) {
            ++full;  // stays marked, for when there is room
            continue;
        }
        const HREPLITEM written =
            s.deskWrite(send.packet, send.target ? send.target->handle : nullptr);
        if (!written) {
            // A refused write in a file with room: the file went wrong under the run.
            std::vector<HREPLITEM> probe;
            if (!s.deskItems(probe)) {
                damaged = true;
                break;
            }
            for (HREPLITEM h : probe) store->FreeObject(h);
            ++failed;
            continue;
        }
        ++(send.target ? counts.changed : counts.added);
        if (!send.target) ++held;
        map[send.oid] = {s.toBytes(written), keyOf(send.packet), true, false};
        if (!send.target) store->FreeObject(written);
        sent.push_back(send.oid);
    }
    if (damaged) {
        // What was written stays in the file; the handheld keeps its marks, so that the
        // next backup into a sound file sends all of it again.
        err << kDamagedFileMessage;
        return 1;
    }
    // A first backup offers to remove what the file holds twice; the map forgets the
    // removed items, so that their objects are matched again next time.
    if (known.empty()) {
        s.notify().collectDeletions(store);
        store->RemoveDuplicates(kObjectType, 0);
        const std::set<uint32_t> removed = s.notify().takeDeletions();
        std::erase_if(map, [&](const auto& e) { return removed.count(itemIdOf(e.second.item)); });
    }
    // The file is on disk before the map names its items, and the map before the handheld
    // forgets its changes: an interruption anywhere is made good by the next backup.
    look.release();
    s.releaseStore();
    if (!state->saveMap(device, map) || !state->markGone(device, deletedItems) ||
        !state->clearUnfinished(device)) {
        err << kStateUnsaved;
        return 1;
    }
    if (!sent.empty()) {
        s.batch(SDR_BEGIN_BATCH);
        for (CEOID oid : sent) s.clearChange(oid);
        if (!s.batch(SDR_COMMIT_BATCH)) {
            err << "quorin-sync: the handheld's change marks cannot be cleared\n";
            return 1;
        }
    }
    s.endSync();
    if (full)
        err << "quorin-sync: " << full << " record(s) could not be backed up: the backup file"
            << " holds at most 4999 records\n";
    if (failed) err << "quorin-sync: " << failed << " record(s) could not be backed up\n";
    return full || failed ? 1 : 0;
}

int restore(const Paths& paths, Counts& counts, std::ostream& err) {
    RootLocks locks;
    if (!lockRoots(paths, false, locks, err)) return 1;
    if (const auto file = backupFile(); !present(file)) {
        err << "quorin-sync: there is no backup yet (" << file.string() << " does not exist)\n";
        return 1;
    }
    Session s;
    if (!s.open(paths, err)) return 1;
    const Identity device = deviceIdentity(true);
    auto state = SyncState::open(true);
    if (device.empty() || !state) {
        err << kStateUnsaved;
        return 1;
    }
    Look look(s);
    if (lookFailed(look.take(state->map(device)), err)) return 1;
    IReplStore* store = s.store();
    // Objects deleted on the handheld since are forgotten: a later backup must not take their
    // items, restored now under new objects, for deletions. Each record is written over the
    // object that holds it (found by the map, else by kind and identifier), so that a restore
    // run twice, after an interrupted one, or of a file holding a record twice, never doubles
    // a record on the handheld.
    ObjectMap map = look.gone;
    std::map<RecordKey, CEOID> objectWithKey;
    for (const auto& [oid, e] : look.map) {
        if (!look.onDevice(oid)) continue;
        map.emplace(oid, e);
        objectWithKey[e.key] = oid;
    }
    for (CEOID oid : look.all) {
        RecordImage r;
        if (!map.count(oid) && s.devicePacket(oid, r)) objectWithKey.emplace(keyOf(r), oid);
    }
    int failed = 0;
    if (!s.batch(SDR_BEGIN_BATCH)) {
        err << "quorin-sync: the handheld's store is busy\n";
        return 1;
    }
    for (size_t k = 0; k < look.items.size(); ++k) {
        const Item& item = look.items[k];
        if (!store->IsItemReplicated(nullptr, item.handle)) continue;
        const RecordImage* packet = look.packet(item);
        if (!packet) {
            ++failed;
            continue;
        }
        RecordImage r = *packet;  // the handheld provider writes from its own copy
        // Of the items holding one record, the later in the file is the one restored.
        if (const auto later = look.byKey.find(keyOf(r));
            later != look.byKey.end() && later->second != k)
            continue;
        const auto holder = objectWithKey.find(keyOf(r));
        const CEOID target = holder != objectWithKey.end() ? holder->second : 0;
        const CEOID written = s.deviceWrite(r, target);
        if (!written) {
            ++failed;
            continue;
        }
        ++(target ? counts.changed : counts.added);
        map[written] = {item.bytes, keyOf(r), true, false};
        objectWithKey[keyOf(r)] = written;
    }
    if (!s.batch(SDR_COMMIT_BATCH)) {
        err << "quorin-sync: the restored records could not be stored on the handheld\n";
        return 1;
    }
    look.release();
    s.releaseStore();
    if (!state->saveMap(device, map)) {
        err << kStateUnsaved;
        return 1;
    }
    s.endSync();
    if (look.repeated)
        err << "quorin-sync: " << look.repeated << " record(s) of the backup file held a record"
            << " that a later one holds again; only the later was restored\n";
    if (failed) {
        err << "quorin-sync: " << failed << " record(s) could not be restored\n";
        return 1;
    }
    return 0;
}

int options(const Paths& paths, std::ostream& err) {
    RootLocks locks;
    if (!lockRoots(paths, true, locks, err)) return 1;
    // The handheld need not be there: the dialog then says it is not connected.
    Session s;
    if (!s.open(paths, err, false)) return 1;
    const HRESULT hr = s.store()->ActivateDialog(0, nullptr, nullptr, nullptr);
    if (hr == RERR_STORE_REPLACE) err << "quorin-sync: the new backup file is used from now on\n";
    return 0;
}

}  // namespace quorinsync
