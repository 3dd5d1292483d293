#include "handsync/handrepl.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cedb/cedb.h"
#include "fs/devfs.h"
#include "registry/registry.h"
#include "store/record_image.h"
#include "winmsg/winmsg.h"

namespace handsync {

using namespace repl;
using cedb::PropVal;

namespace {

struct Module {
    cedb::VolumeId volume;  // all zero: the object store
    std::u16string volumePath;
    UINT partnerBit = 1;
    std::unique_ptr<CEOID[]> handedOut;  // the list FindObjects gave, until it is given back
    std::unique_ptr<cedb::Batch> batch;   // between SDR_BEGIN_BATCH and SDR_COMMIT_BATCH
};
Module& module() {
    static Module m;
    return m;
}

bool mounted() { return !module().volume.isObjectStore(); }

// The database on the module's volume, found by type and name, or created there.
bool openDatabase(cedb::Database& db) {
    const cedb::VolumeId& vol = module().volume;
    // The database of that name, when it is of our type. (Looked up by name and type rather
    // than through its object information, which counts every record: this runs per packet.)
    cedb::Oid oid = cedb::findDatabase(vol, std::u16string(MainDatabaseName));
    if (oid) {
        const std::vector<cedb::Oid> ours = cedb::enumerateDatabases(vol, MainDatabaseType);
        if (std::find(ours.begin(), ours.end(), oid) == ours.end()) return false;
    }
    if (!oid)
        oid = cedb::createDatabase(vol, std::u16string(MainDatabaseName), MainDatabaseType,
                                   {{PropId, false}, {PropKey, false}});
    return oid && db.open(vol, oid);
}

// Changes the current record's change flags by `change`, by a conditional write: a flag that
// the program sets between our read and our write is never lost; the race is run again.
// `before` gets the flags that the change was applied to. False when the record or its flags
// are missing or the write fails.
bool changeFlags(cedb::Database& db, CEOID oid, const std::function<uint16_t(uint16_t)>& change,
                 uint16_t* before = nullptr) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!db.seekToOid(oid)) return false;
        const auto rec = db.readCurrent({PropChangeFlags});
        const PropVal* flags = rec ? cedb::findProp(*rec, PropChangeFlags) : nullptr;
        if (!flags) return false;
        const uint16_t old = uint16_t(flags->number);
        if (before) *before = old;
        const uint16_t now = change(old);
        if (now == old) return true;
        if (db.updateCurrentIf(*flags, {PropVal::ui2(cedb::propNumber(PropChangeFlags), now)}))
            return true;
        if (cedb::lastError() != cedb::Error::Changed) return false;
    }
    return false;
}

// The program's identifier counter is raised above a restored identifier, so that a record the
// program adds later never takes the same one. Without a counter database nothing is to do:
// the program makes one above the highest identifier when it next starts.
bool raiseCounter(int32_t id) {
    if (id < 11) return true;
    cedb::Database counter;
    if (!counter.open(module().volume, std::u16string(CountDatabaseName))) return true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!counter.seekFirst()) return true;
        const auto rec = counter.readCurrent({PropCounter});
        const PropVal* c = rec ? cedb::findProp(*rec, PropCounter) : nullptr;
        if (!c) return true;
        const int64_t needed = int64_t(id) / 10 + 1;
        if (c->number >= needed) return true;
        if (counter.updateCurrentIf(*c, {PropVal::i4(cedb::propNumber(PropCounter),
                                                     int32_t(needed))}))
            return true;
        if (cedb::lastError() != cedb::Error::Changed) return false;
    }
    return false;
}

class CObjHandler final : public IDeviceObjHandler {
public:
    HRESULT QueryInterface(const GUID&, void** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Setup(DEVICE_REPLSETUP* setup) override {
        if (!setup) return E_POINTER;
        (setup->fRead ? readSetup_ : writeSetup_) = setup;
        return S_OK;
    }
    HRESULT Reset(DEVICE_REPLSETUP*) override { return S_OK; }
    HRESULT GetPacket(BYTE** data, DWORD* size, DWORD) override;
    HRESULT SetPacket(BYTE* data, DWORD size) override;
    HRESULT DeleteObj(DEVICE_REPLSETUP* setup) override;

private:
    std::atomic<ULONG> refs_{1};
    DEVICE_REPLSETUP* readSetup_ = nullptr;
    DEVICE_REPLSETUP* writeSetup_ = nullptr;
    RecordImage packet_;
};

HRESULT CObjHandler::GetPacket(BYTE** data, DWORD* size, DWORD) {
    if (!data || !size || !readSetup_) return E_UNEXPECTED;
    cedb::Database db;
    if (!openDatabase(db)) return E_FAIL;
    if (!db.seekToOid(readSetup_->oid)) return E_FILE_NOT_FOUND;
    const auto rec = db.readCurrent();
    if (!rec) return E_FILE_NOT_FOUND;
    packet_ = RecordImage{};
    for (const PropVal& p : *rec)
        if (p.propId != PropChangeFlags) loadProperty(packet_, p);
    *data = reinterpret_cast<BYTE*>(&packet_);
    *size = sizeof packet_;
    return RWRN_LAST_PACKET;
}

HRESULT CObjHandler::SetPacket(BYTE* data, DWORD size) {
    if (size != sizeof(RecordImage) || !data || !writeSetup_) return E_UNEXPECTED;
    if (!isValidPacket(data, size)) return E_UNEXPECTED;
    std::memcpy(&packet_, data, sizeof packet_);
    cedb::Database db;
    if (!openDatabase(db)) return E_FAIL;
    if (mounted()) {
        std::memcpy(writeSetup_->volumeID, module().volume.bytes, 16);
        writeSetup_->cbVolumeID = 16;
    }
    static constexpr uint32_t kOrder[] = {
        PropId,        PropName,       PropCompany,   PropTitle,     PropAddress,
        PropMobile,    PropWorkPhone,  PropHomePhone, PropFax,       PropEmail,
        PropGroups,    PropReserved1,  PropReserved2, PropReserved3, PropReserved4,
        PropKey,       PropParticipantIds, PropParticipantNames, PropStart, PropEnd,
        PropPlace,     PropContent,    PropHasSketch, PropSketchName, PropStamp};
    cedb::Record props;
    props.reserve(27);
    for (uint32_t id : kOrder) props.push_back(*propertyOf(packet_, id));
    // Changed for the other partner, and written by synchronisation.
    props.push_back(PropVal::ui2(cedb::propNumber(PropChangeFlags),
                                 uint16_t((~module().partnerBit & 3) | ChangeWrittenBySync)));
    props.push_back(*propertyOf(packet_, PropKind));

    if (writeSetup_->dwFlags & RSF_NEW_OBJECT) {
        const cedb::Oid oid = db.addRecord(props);
        if (!oid) return E_OUTOFMEMORY;
        writeSetup_->oidNew = oid;
    } else {
        if (!db.writeRecord(writeSetup_->oid, props)) return E_OUTOFMEMORY;
        writeSetup_->oidNew = writeSetup_->oid;
    }
    return raiseCounter(std::max(packet_.id, packet_.key)) ? S_OK : E_FAIL;
}

HRESULT CObjHandler::DeleteObj(DEVICE_REPLSETUP* setup) {
    if (!setup) return E_POINTER;
    cedb::Database db;
    if (!openDatabase(db)) return E_UNEXPECTED;
    if (!db.seekToOid(setup->oid)) return E_FILE_NOT_FOUND;
    return db.deleteRecord(setup->oid) ? S_OK : E_FAIL;
}

bool sameVolume(const OBJNOTIFY& n) {
    static const uint8_t zero[16] = {};
    const uint8_t* theirs = n.cbVolumeID == 16 ? n.volumeID : zero;
    if (n.cbVolumeID != 0 && n.cbVolumeID != 16) return false;
    return std::memcmp(theirs, module().volume.bytes, 16) == 0;
}

}  // namespace

bool isValidPacket(const uint8_t* data, size_t size) {
    if (!data || size != sizeof(RecordImage)) return false;
    RecordImage r;
    std::memcpy(&r, data, sizeof r);
    return isValidImage(r);
}

BOOL InitObjType(const char16_t* objType, IDeviceObjHandler** handler, UINT partnerBit) {
    Module& m = module();
    if (!objType) {
        if (m.batch) m.batch->commit();
        m.batch.reset();
        if (mounted()) cedb::unmountVolume(m.volume);
        m.volume = cedb::VolumeId{};
        return TRUE;
    }
    m.volumePath.clear();
    if (auto key = reg::Key::open(reg::Hive::LocalMachine, kVolumeKey))
        m.volumePath = key->queryString(kVolumeValue, 520).value_or(u"");
    m.volume = cedb::VolumeId{};
    if (!m.volumePath.empty()) {
        // An existing volume only; a volume that cannot be mounted fails the call rather than
        // silently backing up or restoring another database.
        const auto vol = cedb::mountVolume(devfs::toHost(m.volumePath), false);
        if (!vol) return FALSE;
        m.volume = *vol;
    }
    if (!handler) return FALSE;
    *handler = new CObjHandler;
    m.partnerBit = partnerBit;
    return TRUE;
}

BOOL GetObjTypeInfo(OBJTYPEINFO* info) {
    if (!info || info->cbStruct != sizeof(OBJTYPEINFO)) return FALSE;
    cedb::Database db;
    if (!openDatabase(db)) return FALSE;
    const auto oi = cedb::objectInfo(module().volume, db.oid());
    if (!oi || oi->kind != cedb::ObjectKind::Database) return FALSE;
    copyText(info->szName, oi->database.name);
    info->cObjects = oi->database.recordCount;
    info->cbAllObj = UINT(std::min<uint64_t>(oi->database.sizeBytes, UINT32_MAX));
    info->ftLastModified = oi->database.lastModified;
    return TRUE;
}

HRESULT FindObjects(FINDOBJINFO* info) {
    if (!info) return E_POINTER;
    Module& m = module();
    if (info->uFlags & FO_DONE_ONE_VOL) {
        m.handedOut.reset();
        return S_OK;
    }
    cedb::Database db;
    if (!openDatabase(db)) return E_UNEXPECTED;
    const auto oi = cedb::objectInfo(m.volume, db.oid());
    if (!oi || oi->kind != cedb::ObjectKind::Database) return E_UNEXPECTED;
    info->lpbVolumeID = mounted() ? m.volume.bytes : nullptr;
    info->cbVolumeID = mounted() ? 16 : 0;
    // Unchanged objects first, then the changed ones: one list with no gaps. A record without
    // change flags is in neither part (it would otherwise be object 0).
    std::vector<CEOID> unchanged, changed;
    const uint32_t n = oi->database.recordCount;
    if (n > 0) {
        cedb::Record rec;
        bool more = db.seekFirst();
        for (uint32_t i = 0; i < n && more; ++i, more = db.seekNext()) {
            const CEOID oid = db.currentOid();
            if (!db.readCurrent(rec, {PropChangeFlags})) return E_POINTER;
            const PropVal* flags = cedb::findProp(rec, PropChangeFlags);
            if (!flags) continue;
            if (flags->number & m.partnerBit) {
                changed.push_back(oid);
                if (flags->number & ChangePendingAgain) {
                    changeFlags(db, oid, [](uint16_t f) { return uint16_t(f & ~ChangePendingAgain); });
                    db.seekToOid(oid);
                }
            } else {
                unchanged.push_back(oid);
            }
        }
    }
    m.handedOut.reset(new CEOID[unchanged.size() + changed.size() + 1]());
    std::copy(unchanged.begin(), unchanged.end(), m.handedOut.get());
    std::copy(changed.rbegin(), changed.rend(), m.handedOut.get() + unchanged.size());
    info->lpOid = m.handedOut.get();
    info->cUnChg = UINT(unchanged.size());
    info->cChg = UINT(changed.size());
    return S_OK;
}

BOOL ObjectNotify(OBJNOTIFY* n) {
    if (!n || n->cbStruct < sizeof(OBJNOTIFY)) return FALSE;
    if (!(n->uFlags & (ONF_CHANGED | ONF_CLEAR_CHANGE))) return FALSE;
    const UINT partner = module().partnerBit;
    if (n->uFlags & ONF_DELETED) {
        n->poid = &n->oidObject;
        n->cOidDel = 1;
        n->cOidChg = 0;
        return TRUE;
    }
    if ((n->uFlags & ONF_CHANGED) &&
        (n->oidInfo.wObjType != OBJTYPE_RECORD || !sameVolume(*n)))
        return FALSE;
    cedb::Database db;
    if (!openDatabase(db)) return FALSE;
    if ((n->uFlags & ONF_CHANGED) && n->oidInfo.oidParent != db.oid()) return FALSE;

    uint16_t before = 0;
    if (n->uFlags & ONF_CLEAR_CHANGE) {
        // Changed again during the synchronisation: keep it pending for the next one.
        bool again = false;
        const bool ok = changeFlags(db, n->oidObject, [&](uint16_t f) {
            again = f & ChangePendingAgain;
            return uint16_t(again ? f & ~ChangePendingAgain : f & ~partner);
        });
        return ok && again;
    }
    if (!changeFlags(db, n->oidObject, [](uint16_t f) { return f; }, &before)) return FALSE;
    n->poid = &n->oidObject;
    n->cOidDel = 0;
    n->cOidChg = 0;
    if (before & partner) {
        n->cOidChg = 1;
        if ((before & ChangePendingAgain) &&
            !changeFlags(db, n->oidObject, [](uint16_t f) { return uint16_t(f & ~ChangePendingAgain); }))
            return FALSE;
    }
    return TRUE;
}

BOOL ReportStatus(const char16_t*, UINT code, UINT) {
    if (code == RSC_END_SYNC)
        winmsg::postToClass(devfs::deviceRoot(), "Quorinity", {kRefreshMessage, 0, 0});
    return TRUE;
}

BOOL SyncData(SDREQUEST* request) {
    if (!request) return FALSE;
    if (request->fSet) {
        Module& m = module();
        if (request->uCode == SDR_BEGIN_BATCH) {
            if (m.batch) return FALSE;
            m.batch = std::make_unique<cedb::Batch>(m.volume);
            if (!m.batch->active()) m.batch.reset();
            return m.batch ? TRUE : FALSE;
        }
        if (request->uCode == SDR_COMMIT_BATCH) {
            if (!m.batch) return FALSE;
            const bool ok = m.batch->commit();
            m.batch.reset();
            return ok ? TRUE : FALSE;
        }
        return TRUE;
    }
    if (request->uCode != SDR_VOLUME_PATH) return TRUE;
    std::u16string path;
    if (auto key = reg::Key::open(reg::Hive::LocalMachine, kVolumeKey))
        path = key->queryString(kVolumeValue, 520).value_or(u"");
    const UINT needed = UINT((path.size() + 1) * 2);
    const UINT room = request->cbData;
    request->cbData = needed;
    if (!request->lpData) return TRUE;
    // Never past the caller's buffer: one too small gets nothing and learns the size needed.
    if (room < needed) return FALSE;
    std::memcpy(request->lpData, path.c_str(), needed);
    return TRUE;
}

}  // namespace handsync
