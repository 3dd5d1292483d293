#include "session.h"

#include <dlfcn.h>

#include <cstring>

#include "sync_service.h"

namespace quorinsync {

using namespace repl;

namespace {
constexpr char16_t kObjectType[] = u"Quorin";
constexpr UINT kPartner = 1;
}  // namespace

// ---- Notify -------------------------------------------------------------------------------------

HRESULT Notify::QueryInterface(const GUID&, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT Notify::GetWindow(UINT, HWND* w) {
    *w = nullptr;
    return S_OK;
}

HRESULT Notify::OnItemNotify(UINT code, const char16_t*, const char16_t*, HREPLITEM item, ULONG) {
    // Changes that other desktop programs make while a run goes on are not taken: a run
    // enumerates every item afresh, and the store frees a handle whose report is refused.
    std::lock_guard lock(mutex_);
    if (!collecting_ || code != RNC_DELETED || !item) return E_NOTIMPL;
    std::vector<uint8_t> bytes(collecting_->ObjectToBytes(item, nullptr));
    collecting_->ObjectToBytes(item, bytes.data());
    deleted_.insert(itemIdOf(bytes));
    collecting_->FreeObject(item);  // taken: ours to free
    return S_OK;
}

HRESULT Notify::QueryDevice(UINT code, void** data) {
    if (code != QDC_SYNC_DATA || !data || !*data) return E_INVALIDARG;
    if (!syncData_) return RERR_DEVICE_NOT_CONNECTED;
    return syncData_(static_cast<SDREQUEST*>(*data)) ? S_OK : E_FAIL;
}

void Notify::collectDeletions(IReplStore* store) {
    std::lock_guard lock(mutex_);
    collecting_ = store;
    deleted_.clear();
}

std::set<uint32_t> Notify::takeDeletions() {
    std::lock_guard lock(mutex_);
    collecting_ = nullptr;
    return std::move(deleted_);
}

// ---- Session ------------------------------------------------------------------------------------

bool Session::open(const Paths& paths, std::ostream& err, bool needDevice, Desktop desktop) {
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
    if (desktop == Desktop::None) return true;
    IClassFactory* factory = nullptr;
    if (FAILED(
            getClass(CLSID_QuorinStore, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(
            factory->CreateInstance(nullptr, IID_IReplStore, reinterpret_cast<void**>(&store_)))) {
        err << "quorin-sync: the desktop store cannot be created\n";
        return false;
    }
    const HRESULT hr = store_->Initialize(notify_.get(), ISF_SELECTED_DEVICE);
    if (FAILED(hr)) {
        store_->Release();
        store_ = nullptr;
        if (hr == E_UNEXPECTED)
            err << kDamagedFileMessage;
        else
            err << "quorin-sync: the backup file cannot be opened (error 0x" << std::hex
                << uint32_t(hr) << std::dec << ")\n";
        return false;
    }
    IUnknown* handler = nullptr;
    store_->GetFolderInfo(kObjectType, &folder_, &handler);
    deskHandler_ = static_cast<IReplObjHandler*>(handler);
    return true;
}

void Session::close() {
    releaseStore();
    if (device_) device_->Release();
    device_ = nullptr;
    if (deviceStarted_) init_(nullptr, nullptr, 0);
    deviceStarted_ = false;
}

void Session::releaseStore() {
    if (!store_) return;
    if (folder_) store_->FreeObject(folder_);
    folder_ = nullptr;
    store_->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
    store_->Release();
    store_ = nullptr;
}

bool Session::deviceObjects(std::vector<CEOID>& all, std::set<CEOID>& changed) {
    FINDOBJINFO fi{};
    fi.szObjType = kObjectType;
    if (find_(&fi) != S_OK) return false;
    all.assign(fi.lpOid, fi.lpOid + fi.cUnChg + fi.cChg);
    changed.insert(fi.lpOid + fi.cUnChg, fi.lpOid + fi.cUnChg + fi.cChg);
    fi.uFlags = FO_DONE_ONE_VOL;
    find_(&fi);
    return true;
}

bool Session::devicePacket(CEOID oid, RecordImage& out) {
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

CEOID Session::deviceWrite(RecordImage& r, CEOID oid) {
    DEVICE_REPLSETUP s{};
    s.cbStruct = sizeof s;
    s.dwFlags = oid ? 0 : RSF_NEW_OBJECT;
    s.oid = oid;
    device_->Setup(&s);
    if (device_->SetPacket(reinterpret_cast<BYTE*>(&r), sizeof r) != S_OK) return 0;
    return s.oidNew;
}

void Session::clearChange(CEOID oid) {
    OBJNOTIFY n{};
    n.cbStruct = sizeof n;
    n.uFlags = ONF_CLEAR_CHANGE;
    n.uPartnerBit = kPartner;
    n.oidObject = oid;
    notifyObj_(&n);
}

bool Session::batch(UINT code) {
    SDREQUEST r{};
    copyText(r.szObjType, kObjectType);
    r.fSet = TRUE;
    r.uCode = code;
    return syncData_(&r);
}

void Session::endSync() {
    if (deviceStarted_) report_(kObjectType, RSC_END_SYNC, 0);
}

bool Session::deskItems(std::vector<HREPLITEM>& items) {
    HREPLITEM item = nullptr;
    BOOL exist = FALSE;
    if (FAILED(store_->FindFirstItem(folder_, &item, &exist))) return false;
    while (exist) {
        items.push_back(item);
        if (FAILED(store_->FindNextItem(folder_, &item, &exist))) break;
    }
    store_->FindItemClose(folder_);
    return true;
}

bool Session::deskPacket(HREPLITEM item, RecordImage& out) {
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

HREPLITEM Session::deskWrite(const RecordImage& r, HREPLITEM item) {
    REPLSETUP s{};
    s.cbStruct = sizeof s;
    s.hItem = item;
    deskHandler_->Setup(&s);
    if (deskHandler_->SetPacket(reinterpret_cast<const BYTE*>(&r), sizeof r) != S_OK)
        return nullptr;
    return s.hItem;
}

HRESULT Session::deskDelete(HREPLITEM item) {
    REPLSETUP s{};
    s.cbStruct = sizeof s;
    s.hItem = item;
    return deskHandler_->DeleteObj(&s);
}

std::vector<uint8_t> Session::toBytes(HREPLITEM item) {
    std::vector<uint8_t> b(store_->ObjectToBytes(item, nullptr));
    store_->ObjectToBytes(item, b.data());
    return b;
}

}  // namespace quorinsync
