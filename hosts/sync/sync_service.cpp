#include "sync_service.h"

#include <dlfcn.h>

#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "registry/registry.h"
#include "repl/repl.h"
#include "store/record_image.h"

namespace quorinsync {

using namespace repl;

namespace {

constexpr char16_t kObjectType[] = u"Quorin";
constexpr UINT kPartner = 1;
// Desktop registry: the map and the handheld it belongs to.
constexpr char16_t kStateKey[] = u"Software\\Quorin\\Partners\\Device\\Sync";
constexpr char16_t kMapValue[] = u"Objects";
constexpr char16_t kDeviceValue[] = u"Device";
// Set while a backup runs: the highest item identifier in the file when it began. Items above
// it that no object maps to were written by a backup that did not finish.
constexpr char16_t kUnfinishedValue[] = u"Unfinished";
// Handheld registry: the identity of this handheld's store, made at its first synchronisation.
constexpr char16_t kIdentityKey[] = u"Software\\Quorin Sync";
constexpr char16_t kIdentityValue[] = u"Identity";

struct Key {
    uint32_t kind;
    int32_t id;
    auto operator<=>(const Key&) const = default;
};
Key keyOf(const RecordImage& r) { return {r.kind, r.id}; }

// The service's notification interface: the desktop store asks the handheld through it.
class Notify final : public IReplNotify {
public:
    explicit Notify(PFN_SyncData syncData) : syncData_(syncData) {}
    HRESULT QueryInterface(const GUID&, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT SetStatusText(const char16_t*) override { return S_OK; }
    HRESULT GetWindow(UINT, HWND* w) override {
        *w = nullptr;
        return S_OK;
    }
    // Changes that other desktop programs make while a run goes on are not taken: a run
    // enumerates every item afresh, and the store frees a handle whose report is refused.
    HRESULT OnItemNotify(UINT, const char16_t*, const char16_t*, HREPLITEM, ULONG) override {
        return E_NOTIMPL;
    }
    HRESULT QueryDevice(UINT code, void** data) override {
        if (code != QDC_SYNC_DATA || !data || !*data) return E_INVALIDARG;
        if (!syncData_) return RERR_DEVICE_NOT_CONNECTED;
        return syncData_(static_cast<SDREQUEST*>(*data)) ? S_OK : E_FAIL;
    }
private:
    PFN_SyncData syncData_;
};

class Session {
public:
    ~Session() { close(); }

    bool open(const Paths& paths, std::ostream& err, bool needDevice = true) {
        hand_ = dlopen(paths.handrepl.c_str(), RTLD_NOW | RTLD_LOCAL);
        desk_ = dlopen(paths.deskrepl.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!hand_ || !desk_) {
            err << "quorin-sync: cannot load " << (hand_ ? paths.deskrepl : paths.handrepl) << ": "
                << dlerror() << "\n";
            return false;
        }
        init_ = reinterpret_cast<PFN_InitObjType>(dlsym(hand_, "InitObjType"));
        find_ = reinterpret_cast<PFN_FindObjects>(dlsym(hand_, "FindObjects"));
        notifyObj_ = reinterpret_cast<PFN_ObjectNotify>(dlsym(hand_, "ObjectNotify"));
        report_ = reinterpret_cast<PFN_ReportStatus>(dlsym(hand_, "ReportStatus"));
        syncData_ = reinterpret_cast<PFN_SyncData>(dlsym(hand_, "SyncData"));
        auto getClass = reinterpret_cast<PFN_DllGetClassObject>(dlsym(desk_, "DllGetClassObject"));
        if (!init_ || !find_ || !notifyObj_ || !report_ || !syncData_ || !getClass) {
            err << "quorin-sync: a provider library lacks its entry points\n";
            return false;
        }
        deviceStarted_ = init_(kObjectType, &device_, kPartner) && device_;
        if (!deviceStarted_ && needDevice) {
            err << "quorin-sync: the handheld's database cannot be opened\n";
            return false;
        }
        notify_ = std::make_unique<Notify>(deviceStarted_ ? syncData_ : nullptr);
        IClassFactory* factory = nullptr;
        if (FAILED(getClass(CLSID_QuorinStore, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
            FAILED(factory->CreateInstance(nullptr, IID_IReplStore, reinterpret_cast<void**>(&store_)))) {
            err << "quorin-sync: the desktop store cannot be created\n";
            return false;
        }
        const HRESULT hr = store_->Initialize(notify_.get(), ISF_SELECTED_DEVICE);
        if (FAILED(hr)) {
            err << "quorin-sync: the backup file cannot be opened (error 0x" << std::hex
                << uint32_t(hr) << std::dec << ")\n";
            return false;
        }
        IUnknown* handler = nullptr;
        store_->GetFolderInfo(kObjectType, &folder_, &handler);
        deskHandler_ = static_cast<IReplObjHandler*>(handler);
        return true;
    }

    void close() {
        if (store_) {
            if (folder_) store_->FreeObject(folder_);
            folder_ = nullptr;
            store_->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
            store_->Release();
            store_ = nullptr;
        }
        if (device_) device_->Release();
        device_ = nullptr;
        if (deviceStarted_) init_(nullptr, nullptr, 0);
        deviceStarted_ = false;
    }

    // Flushes and lets go of the backup file (before the map that names its items is saved).
    void releaseStore() {
        if (!store_) return;
        if (folder_) store_->FreeObject(folder_);
        folder_ = nullptr;
        store_->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
        store_->Release();
        store_ = nullptr;
    }

    // ---- handheld ----
    bool deviceObjects(std::vector<CEOID>& all, std::set<CEOID>& changed) {
        FINDOBJINFO fi{};
        fi.szObjType = kObjectType;
        if (find_(&fi) != S_OK) return false;
        all.assign(fi.lpOid, fi.lpOid + fi.cUnChg + fi.cChg);
        changed.insert(fi.lpOid + fi.cUnChg, fi.lpOid + fi.cUnChg + fi.cChg);
        fi.uFlags = FO_DONE_ONE_VOL;
        find_(&fi);
        return true;
    }
    bool devicePacket(CEOID oid, RecordImage& out) {
        DEVICE_REPLSETUP s{};
        s.cbStruct = sizeof s;
        s.fRead = TRUE;
        s.oid = oid;
        device_->Setup(&s);
        BYTE* data = nullptr;
        DWORD size = 0;
        if (FAILED(device_->GetPacket(&data, &size, sizeof(RecordImage))) || size != sizeof out)
            return false;
        std::memcpy(&out, data, sizeof out);
        return true;
    }
    // Writes a packet to the handheld over `oid` (0: a new object); the object written, or 0.
    CEOID deviceWrite(RecordImage& r, CEOID oid) {
        DEVICE_REPLSETUP s{};
        s.cbStruct = sizeof s;
        s.dwFlags = oid ? 0 : RSF_NEW_OBJECT;
        s.oid = oid;
        device_->Setup(&s);
        if (device_->SetPacket(reinterpret_cast<BYTE*>(&r), sizeof r) != S_OK) return 0;
        return s.oidNew;
    }
    void clearChange(CEOID oid) {
        OBJNOTIFY n{};
        n.cbStruct = sizeof n;
        n.uFlags = ONF_CLEAR_CHANGE;
        n.uPartnerBit = kPartner;
        n.oidObject = oid;
        notifyObj_(&n);
    }
    bool batch(UINT code) {
        SDREQUEST r{};
        copyText(r.szObjType, kObjectType);
        r.fSet = TRUE;
        r.uCode = code;
        return syncData_(&r);
    }
    void endSync() {
        if (deviceStarted_) report_(kObjectType, RSC_END_SYNC, 0);
    }

    // ---- desktop ----
    std::vector<HREPLITEM> deskItems() {
        std::vector<HREPLITEM> items;
        HREPLITEM item = nullptr;
        BOOL exist = FALSE;
        if (FAILED(store_->FindFirstItem(folder_, &item, &exist))) return items;
        while (exist) {
            items.push_back(item);
            if (FAILED(store_->FindNextItem(folder_, &item, &exist))) break;
        }
        store_->FindItemClose(folder_);
        return items;
    }
    bool deskPacket(HREPLITEM item, RecordImage& out) {
        REPLSETUP s{};
        s.cbStruct = sizeof s;
        s.fRead = TRUE;
        s.hItem = item;
        deskHandler_->Setup(&s);
        const BYTE* data = nullptr;
        DWORD size = 0;
        if (FAILED(deskHandler_->GetPacket(&data, &size, sizeof(RecordImage))) || size != sizeof out)
            return false;
        std::memcpy(&out, data, sizeof out);
        return true;
    }
    // Writes over `item`, or a new item when null; the item written (owned by the caller).
    HREPLITEM deskWrite(const RecordImage& r, HREPLITEM item) {
        REPLSETUP s{};
        s.cbStruct = sizeof s;
        s.hItem = item;
        deskHandler_->Setup(&s);
        if (deskHandler_->SetPacket(reinterpret_cast<const BYTE*>(&r), sizeof r) != S_OK)
            return nullptr;
        return s.hItem;
    }
    HRESULT deskDelete(HREPLITEM item) {
        REPLSETUP s{};
        s.cbStruct = sizeof s;
        s.hItem = item;
        return deskHandler_->DeleteObj(&s);
    }
    IReplStore* store() { return store_; }
    PFN_SyncData syncData() const { return syncData_; }

private:
    void* hand_ = nullptr;
    void* desk_ = nullptr;
    PFN_InitObjType init_ = nullptr;
    PFN_FindObjects find_ = nullptr;
    PFN_ObjectNotify notifyObj_ = nullptr;
    PFN_ReportStatus report_ = nullptr;
    PFN_SyncData syncData_ = nullptr;
    IDeviceObjHandler* device_ = nullptr;
    bool deviceStarted_ = false;
    std::unique_ptr<Notify> notify_;
    IReplStore* store_ = nullptr;
    HREPLFLD folder_ = nullptr;
    IReplObjHandler* deskHandler_ = nullptr;
};

// ---- State: the handheld's identity and the map ---------------------------------------------------

using Identity = std::vector<uint8_t>;

// The handheld's identity; made when it has none (a new or reset handheld) and `make`.
Identity deviceIdentity(bool make = true) {
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
    key->set(kIdentityValue, {reg::ValueType::Binary, id});
    return id;
}

// Handheld object -> serialised desktop item (17 bytes).
using ObjectMap = std::map<CEOID, std::vector<uint8_t>>;

// The map, when it belongs to this handheld; an empty one otherwise.
ObjectMap loadMap(const Identity& device, bool* sameDevice) {
    ObjectMap map;
    *sameDevice = false;
    auto key = reg::Key::open(reg::Hive::CurrentUser, kStateKey, reg::Store::Desktop);
    if (!key) return map;
    const auto dev = key->query(kDeviceValue);
    if (!dev || dev->data != device) return map;
    *sameDevice = true;
    const auto v = key->query(kMapValue);
    if (!v) return map;
    for (size_t off = 0; off + 21 <= v->data.size(); off += 21) {
        CEOID oid;
        std::memcpy(&oid, v->data.data() + off, 4);
        map[oid].assign(v->data.begin() + off + 4, v->data.begin() + off + 21);
    }
    return map;
}

bool saveMap(const Identity& device, const ObjectMap& map) {
    auto key = reg::Key::create(reg::Hive::CurrentUser, kStateKey, nullptr, reg::Store::Desktop);
    if (!key) return false;
    std::vector<uint8_t> bytes;
    bytes.reserve(map.size() * 21);
    for (const auto& [oid, item] : map) {
        const auto* p = reinterpret_cast<const uint8_t*>(&oid);
        bytes.insert(bytes.end(), p, p + 4);
        bytes.insert(bytes.end(), item.begin(), item.end());
    }
    return key->set(kDeviceValue, {reg::ValueType::Binary, device}) &&
           key->set(kMapValue, {reg::ValueType::Binary, bytes});
}

std::vector<uint8_t> toBytes(IReplStore* store, HREPLITEM item) {
    std::vector<uint8_t> b(store->ObjectToBytes(item, nullptr));
    store->ObjectToBytes(item, b.data());
    return b;
}
uint32_t itemIdOf(const std::vector<uint8_t>& bytes) {
    uint32_t id = 0;
    if (bytes.size() == 17) std::memcpy(&id, bytes.data() + 5, 4);
    return id;
}

// The service sees a handle only through its serialised form.
uint32_t idOf(IReplStore* store, HREPLITEM item) { return itemIdOf(toBytes(store, item)); }

// What a backup has to do, worked out before anything is written.
struct BackupPlan {
    std::vector<CEOID> send;                  // in the handheld's order
    std::set<CEOID> changed;
    std::vector<std::pair<CEOID, HREPLITEM>> remove;  // mapped items whose object is gone
    std::map<uint32_t, HREPLITEM> items;      // every desktop item by identifier
};

bool planBackup(Session& s, ObjectMap& map, bool sameDevice, BackupPlan& plan) {
    std::vector<CEOID> all;
    if (!s.deviceObjects(all, plan.changed)) return false;
    for (HREPLITEM i : s.deskItems()) plan.items[idOf(s.store(), i)] = i;
    // A mapped item that is no longer in the file is as good as unmapped.
    for (auto it = map.begin(); it != map.end();)
        it = plan.items.count(itemIdOf(it->second)) ? std::next(it) : map.erase(it);
    const std::set<CEOID> present(all.begin(), all.end());
    for (CEOID oid : all)
        if (plan.changed.count(oid) || !map.count(oid)) plan.send.push_back(oid);
    // A reset handheld (another store) never empties the backup through deletions.
    if (sameDevice)
        for (const auto& [oid, item] : map)
            if (!present.count(oid)) plan.remove.push_back({oid, plan.items[itemIdOf(item)]});
    return true;
}

}  // namespace

int status(const Paths& paths, Counts& counts, std::ostream& err) {
    Session s;
    if (!s.open(paths, err)) return 1;
    bool same = false;
    // Looking changes nothing, not even the handheld's identity.
    const Identity device = deviceIdentity(false);
    ObjectMap map = device.empty() ? ObjectMap{} : loadMap(device, &same);
    BackupPlan plan;
    if (!planBackup(s, map, same, plan)) {
        err << "quorin-sync: the handheld's records cannot be listed\n";
        return 1;
    }
    for (CEOID oid : plan.send) ++(map.count(oid) ? counts.changed : counts.added);
    counts.deleted = int(plan.remove.size());
    for (auto& [id, item] : plan.items) s.store()->FreeObject(item);
    return 0;
}

int backup(const Paths& paths, Counts& counts, std::ostream& err) {
    Session s;
    if (!s.open(paths, err)) return 1;
    const Identity device = deviceIdentity();
    bool same = false;
    ObjectMap map = loadMap(device, &same);
    BackupPlan plan;
    if (!planBackup(s, map, same, plan)) {
        err << "quorin-sync: the handheld's records cannot be listed\n";
        return 1;
    }
    IReplStore* store = s.store();
    // Desktop items no object maps to (left by an interrupted backup, or from before a reset)
    // are matched to the handheld's records by kind and identifier instead of copied again.
    std::set<uint32_t> mapped;
    for (const auto& [oid, item] : map) mapped.insert(itemIdOf(item));
    std::map<Key, HREPLITEM> unmapped;
    std::vector<HREPLITEM> strays;  // every unmapped item, adopted or not
    for (auto& [id, item] : plan.items) {
        RecordImage r;
        if (mapped.count(id)) continue;
        strays.push_back(item);
        if (s.deskPacket(item, r)) unmapped.emplace(keyOf(r), item);
    }
    std::set<HREPLITEM> adopted;
    // Items written by an interrupted backup are told apart from items that were there before
    // (another handheld's, another program's): only those may go when no record claims them.
    uint32_t highest = 0;
    for (const auto& [id, item] : plan.items) highest = std::max(highest, id);
    auto state = reg::Key::create(reg::Hive::CurrentUser, kStateKey, nullptr, reg::Store::Desktop);
    if (!state) {
        err << "quorin-sync: the synchronisation state cannot be saved\n";
        return 1;
    }
    const std::optional<uint32_t> unfinished = state->queryDword(kUnfinishedValue);
    if (!unfinished && !state->setDword(kUnfinishedValue, highest)) {
        err << "quorin-sync: the synchronisation state cannot be saved\n";
        return 1;
    }
    int failed = 0;
    std::vector<CEOID> sent;
    for (CEOID oid : plan.send) {
        RecordImage r;
        if (!s.devicePacket(oid, r)) {
            ++failed;
            continue;
        }
        HREPLITEM target = nullptr;
        if (auto m = map.find(oid); m != map.end()) {
            target = plan.items[itemIdOf(m->second)];
        } else if (auto u = unmapped.find(keyOf(r)); u != unmapped.end()) {
            target = u->second;
            adopted.insert(target);
            unmapped.erase(u);
        }
        const HREPLITEM written = s.deskWrite(r, target);
        if (!written) {
            ++failed;
            continue;
        }
        ++(target ? counts.changed : counts.added);
        map[oid] = toBytes(store, written);
        if (!target) store->FreeObject(written);
        sent.push_back(oid);
    }
    if (unfinished)
        for (HREPLITEM item : strays)
            if (!adopted.count(item) && idOf(store, item) > *unfinished && s.deskDelete(item) != S_OK)
                ++failed;
    for (const auto& [oid, item] : plan.remove) {
        const HRESULT hr = s.deskDelete(item);
        if (hr == S_OK || hr == E_FILE_NOT_FOUND) {
            map.erase(oid);
            ++counts.deleted;
        } else {
            ++failed;
        }
    }
    for (auto& [id, item] : plan.items) store->FreeObject(item);
    // The file is on disk before the map names its items, and the map before the handheld
    // forgets its changes: an interruption anywhere is made good by the next backup.
    s.releaseStore();
    if (!saveMap(device, map) || !state->remove(kUnfinishedValue)) {
        err << "quorin-sync: the synchronisation state cannot be saved\n";
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
    if (failed) {
        err << "quorin-sync: " << failed << " record(s) could not be backed up"
            << " (the backup file holds at most 4999 records)\n";
        return 1;
    }
    return 0;
}

int restore(const Paths& paths, Counts& counts, std::ostream& err) {
    Session s;
    if (!s.open(paths, err)) return 1;
    const Identity device = deviceIdentity();
    bool same = false;
    ObjectMap map = loadMap(device, &same);
    std::vector<CEOID> all;
    std::set<CEOID> changed;
    if (!s.deviceObjects(all, changed)) {
        err << "quorin-sync: the handheld's records cannot be listed\n";
        return 1;
    }
    IReplStore* store = s.store();
    const std::set<CEOID> present(all.begin(), all.end());
    // Objects deleted on the handheld since are forgotten: a later backup must not take their
    // items, restored now under new objects, for deletions.
    std::erase_if(map, [&](const auto& entry) { return !present.count(entry.first); });
    std::map<uint32_t, CEOID> objectOf;  // desktop item -> handheld object
    for (const auto& [oid, item] : map)
        if (present.count(oid)) objectOf[itemIdOf(item)] = oid;
    // Handheld records no item maps to are matched by kind and identifier, so that a restore
    // run twice (or after an interrupted one) never doubles them.
    std::set<CEOID> mappedObjects;
    for (const auto& [id, oid] : objectOf) mappedObjects.insert(oid);
    std::map<Key, CEOID> unmapped;
    for (CEOID oid : all) {
        RecordImage r;
        if (!mappedObjects.count(oid) && s.devicePacket(oid, r)) unmapped.emplace(keyOf(r), oid);
    }
    std::vector<HREPLITEM> items = s.deskItems();
    int failed = 0;
    if (!s.batch(SDR_BEGIN_BATCH)) {
        err << "quorin-sync: the handheld's store is busy\n";
        for (HREPLITEM i : items) store->FreeObject(i);
        return 1;
    }
    for (HREPLITEM item : items) {
        RecordImage r;
        if (!store->IsItemReplicated(nullptr, item)) continue;
        if (!s.deskPacket(item, r)) {
            ++failed;
            continue;
        }
        CEOID target = 0;
        if (auto o = objectOf.find(idOf(store, item)); o != objectOf.end()) {
            target = o->second;
        } else if (auto u = unmapped.find(keyOf(r)); u != unmapped.end()) {
            target = u->second;
            unmapped.erase(u);
        }
        const CEOID written = s.deviceWrite(r, target);
        if (!written) {
            ++failed;
            continue;
        }
        ++(target ? counts.changed : counts.added);
        map[written] = toBytes(store, item);
    }
    for (HREPLITEM i : items) store->FreeObject(i);
    if (!s.batch(SDR_COMMIT_BATCH)) {
        err << "quorin-sync: the restored records could not be stored on the handheld\n";
        return 1;
    }
    s.releaseStore();
    if (!saveMap(device, map)) {
        err << "quorin-sync: the synchronisation state cannot be saved\n";
        return 1;
    }
    s.endSync();
    if (failed) {
        err << "quorin-sync: " << failed << " record(s) could not be restored\n";
        return 1;
    }
    return 0;
}

int options(const Paths& paths, std::ostream& err) {
    Session s;
    // The handheld need not be there: the dialog then says it is not connected.
    if (!s.open(paths, err, false)) return 1;
    const HRESULT hr = s.store()->ActivateDialog(0, nullptr, nullptr, nullptr);
    if (hr == RERR_STORE_REPLACE) err << "quorin-sync: the new backup file is used from now on\n";
    return 0;
}

}  // namespace quorinsync
