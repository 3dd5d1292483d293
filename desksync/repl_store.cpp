#include "desksync/repl_store.h"

#include <cstdio>
#include <filesystem>
#include <unordered_map>

#include "fs/devfs.h"
#include "registry/registry.h"
#include "winmsg/winmsg.h"

namespace desksync {

namespace fs = std::filesystem;

std::atomic<long>& liveObjects() {
    static std::atomic<long> n{0};
    return n;
}
std::atomic<long>& serverLocks() {
    static std::atomic<long> n{0};
    return n;
}

namespace {

ReplItem* itemOf(HREPLITEM h) {
    return h && h->kind == 1 ? h : nullptr;
}
ReplFolder* folderOf(HREPLFLD h) {
    return h && h->kind == 2 ? h : nullptr;
}

void defaultErrorReporter(HWND, const std::u16string& text, const std::u16string& caption) {
    std::fprintf(stderr, "%s: %s\n", devfs::toUtf8(caption).c_str(), devfs::toUtf8(text).c_str());
}

bool caseInsensitiveEqual(const std::u16string& a, const std::u16string& b) {
    return devfs::upperCase(a) == devfs::upperCase(b);
}

}  // namespace

ErrorReporter& errorReporter() {
    static ErrorReporter r = &defaultErrorReporter;
    return r;
}

// ---- Object handler ------------------------------------------------------------------------------

HRESULT CStoreObjHandler::QueryInterface(const GUID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = iid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
}

HRESULT CStoreObjHandler::Setup(REPLSETUP* setup) {
    if (!setup) return E_POINTER;
    (setup->fRead ? read_ : write_) = setup;
    return S_OK;
}

HRESULT CStoreObjHandler::GetPacket(const BYTE** data, DWORD* size, DWORD) {
    ReplItem* item = read_ ? itemOf(read_->hItem) : nullptr;
    if (!item || !data || !size) return E_UNEXPECTED;
    const HRESULT hr = store_.withFile([&](BackupFile& f) -> HRESULT {
        const int i = f.find(item->itemId);
        if (i < 0 || !f.validRecord(uint32_t(i))) return E_UNEXPECTED;
        packet_ = recordToPacket(f.record(uint32_t(i)));
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    *data = reinterpret_cast<const BYTE*>(&packet_);
    *size = sizeof packet_;
    return RWRN_LAST_PACKET;
}

HRESULT CStoreObjHandler::SetPacket(const BYTE* data, DWORD size) {
    if (size != sizeof(RecordImage) || !data || !write_) return E_UNEXPECTED;
    std::memcpy(&packet_, data, sizeof packet_);
    if (!isValidImage(packet_)) return E_UNEXPECTED;
    ReplItem* given = itemOf(write_->hItem);
    uint8_t rec[kRecordSize];
    const cedb::FileTime now = desk::localFileTime();
    packetToRecord(packet_, now, rec);
    uint32_t written = 0;
    const HRESULT hr = store_.withFile([&](BackupFile& f) -> HRESULT {
        if (given) {
            const int i = f.find(given->itemId);
            if (i < 0) return E_UNEXPECTED;
            f.replace(uint32_t(i), rec);
            written = given->itemId;
        } else {
            written = f.append(rec);  // 0: the file is full
            if (!written) return E_UNEXPECTED;
        }
        return S_OK;
    });
    if (FAILED(hr)) {
        if (!given) write_->hItem = nullptr;
        return E_UNEXPECTED;
    }
    ReplItem* item = given ? given : new ReplItem;
    item->itemId = written;
    item->written = now;
    write_->hItem = item;
    store_.postChange();
    return S_OK;
}

HRESULT CStoreObjHandler::DeleteObj(REPLSETUP* setup) {
    ReplItem* item = setup ? itemOf(setup->hItem) : nullptr;
    if (!item) return E_UNEXPECTED;
    const HRESULT hr = store_.withFile([&](BackupFile& f) -> HRESULT {
        const int i = f.find(item->itemId);
        if (i < 0) return E_FILE_NOT_FOUND;
        f.remove(uint32_t(i));
        return S_OK;
    });
    if (hr == S_OK) store_.postChange();
    return hr;
}

// ---- Store: identity and lifetime ----------------------------------------------------------------

CReplStore::CReplStore(IUnknown* outer) : outer_(outer ? outer : &inner_) { ++liveObjects(); }

CReplStore::~CReplStore() {
    closeFile();
    for (size_t i = position_; i < enumeration_.size(); ++i) delete enumeration_[i];
    --liveObjects();
}

HRESULT CReplStore::Inner::QueryInterface(const GUID& iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown) {
        *out = static_cast<IUnknown*>(this);
    } else if (iid == IID_IReplStore) {
        *out = static_cast<IReplStore*>(&s_);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

ULONG CReplStore::Inner::Release() {
    const ULONG left = --s_.refs_;
    if (left == 0) delete &s_;
    return left;
}

HRESULT CReplStore::Initialize(IReplNotify* notify, UINT flags) {
    notify_ = notify;
    flags_ = flags & ~kOpenBit;
    const desk::DeviceSettings settings = desk::readDeviceSettings();
    path_ = desk::backupFilePath(settings);
    syncOption_ = settings.syncOption;
    const HRESULT hr = openFile(true);
    if (SUCCEEDED(hr)) {
        flags_ |= kOpenBit;
    } else if (!(flags & ISF_REMOTE_CONNECTED)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%X", unsigned(hr));
        HWND owner = nullptr;
        if (notify_) notify_->GetWindow(0, &owner);
        errorReporter()(owner,
                        u"Unable to open Quorin Data file " + path_ +
                            u" for synchronization. Error Code: " + devfs::fromUtf8(code),
                        u"Synchronization Error");
    }
    return hr;
}

HRESULT CReplStore::openFile(bool create) {
    if (file_) return S_OK;
    const fs::path host = desk::hostPath(path_);
    std::error_code ec;
    if (!fs::exists(host, ec)) {
        if (!create) return E_FAIL;
        if (host.has_parent_path()) fs::create_directories(host.parent_path(), ec);
        desk::FileMapping::create(host, kFileSize, initializeFile);
    }
    desk::FileMapping::Status status{};
    auto file = desk::FileMapping::open(host, kFileSize, &status);
    // A file of another size is not ours: refused as it is, never grown or written.
    if (!file) return status == desk::FileMapping::Status::WrongSize ? E_UNEXPECTED : E_FAIL;
    if (!mutex_) mutex_ = desk::NamedMutex::open(kMutexName);
    if (!mutex_) return E_FAIL;
    {
        desk::MutexLock lock(*mutex_);
        if (!lock.owned()) return E_FAIL;
        bool sound = false;
        file->guarded([&] {
            BackupFile f(file->data());
            sound = lock.result() == desk::LockResult::Abandoned ? f.recover() : f.validAll();
        });
        if (!sound) return E_UNEXPECTED;
    }
    if (!change_) change_ = desk::Event::open(kChangeEventName);
    file_ = std::move(file);
    return S_OK;
}

void CReplStore::closeFile() {
    // The watch thread uses the mapping and the mutex: it stops before they go.
    stopWatch();
    if (file_) file_->flush();
    file_.reset();
    mutex_.reset();
    flags_ &= ~kOpenBit;
}

void CReplStore::postChange() {
    winmsg::postToClass(desk::desktopRoot(), "Quorinity", {kRefreshMessage, 0, 0});
}

// ---- Store: the service's calls ------------------------------------------------------------------

HRESULT CReplStore::GetStoreInfo(STOREINFO* info) {
    if (!info || info->cbStruct != sizeof(STOREINFO)) return E_INVALIDARG;
    info->uFlags = SCF_SINGLE_THREAD;
    copyText(info->szProgId, kProgId);
    copyText(info->szStoreDesc, u"Quorin Store");
    if (!isOpen()) return S_OK;
    const UINT needed = UINT((path_.size() + 1) * 2);
    info->cbStoreId = needed;
    if (!info->lpbStoreId) return E_POINTER;
    if (info->cbMaxStoreId < needed) return E_OUTOFMEMORY;
    std::memcpy(info->lpbStoreId, path_.c_str(), needed);
    return S_OK;
}

HRESULT CReplStore::ReportStatus(HREPLFLD, HREPLITEM, UINT status, UINT) {
    if (status == RSC_RELEASE) closeFile();
    return S_OK;
}

int CReplStore::CompareStoreIDs(const BYTE* a, UINT na, const BYTE* b, UINT nb) {
    if (na != nb) return na < nb ? -1 : 1;
    const int c = na ? std::memcmp(a, b, na) : 0;
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int CReplStore::CompareItem(HREPLITEM a, HREPLITEM b) {
    const uint32_t x = a ? a->itemId : 0, y = b ? b->itemId : 0;
    return x < y ? -1 : x > y ? 1 : 0;
}

BOOL CReplStore::IsItemChanged(HREPLFLD, HREPLITEM item, HREPLITEM other) {
    ReplItem* it = itemOf(item);
    if (!it) return FALSE;
    if (ReplItem* o = itemOf(other)) return it->written == o->written ? FALSE : TRUE;
    BOOL changed = FALSE;
    withFile([&](BackupFile& f) -> HRESULT {
        const int i = f.find(it->itemId);
        if (i >= 0) changed = f.written(uint32_t(i)) == it->written ? FALSE : TRUE;
        return S_OK;
    });
    return changed;
}

BOOL CReplStore::IsItemReplicated(HREPLFLD, HREPLITEM item) {
    ReplItem* it = itemOf(item);
    if (!it) return TRUE;
    BOOL replicated = FALSE;
    withFile([&](BackupFile& f) -> HRESULT {
        const int i = f.find(it->itemId);
        if (i < 0) return S_OK;
        const uint8_t* rec = f.record(uint32_t(i));
        // Only persons have a name to filter on; an option of no known meaning filters nothing.
        const uint8_t first = rec[32];
        const bool person = get32(rec + 8) == PersonKind;
        switch (person ? syncOption_ : 0) {
            case 1:
                replicated = first >= 'A' && first <= 'M';
                break;
            case 2:
                replicated = first >= 'N' && first <= 'Z';
                break;
            default:
                replicated = TRUE;
        }
        return S_OK;
    });
    return replicated;
}

void CReplStore::UpdateItem(HREPLFLD, HREPLITEM dst, HREPLITEM src) {
    ReplItem* d = itemOf(dst);
    if (!d) return;
    if (ReplItem* s = itemOf(src)) {
        d->written = s->written;
        return;
    }
    withFile([&](BackupFile& f) -> HRESULT {
        const int i = f.find(d->itemId);
        if (i >= 0) d->written = f.written(uint32_t(i));
        return S_OK;
    });
}

HRESULT CReplStore::GetFolderInfo(const char16_t*, HREPLFLD* folder, IUnknown** handler) {
    if (!folder || !handler) return E_POINTER;
    if (!*folder) *folder = new ReplFolder;
    if (ReplFolder* f = folderOf(*folder)) f->changed = true;
    *handler = &handler_;
    return S_OK;
}

HRESULT CReplStore::IsFolderChanged(HREPLFLD folder, BOOL* changed) {
    ReplFolder* f = folderOf(folder);
    if (!f) return E_HANDLE;
    if (changed) *changed = f->changed ? TRUE : FALSE;
    f->changed = false;
    return S_OK;
}

HRESULT CReplStore::FindFirstItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) {
    if (!isOpen() || enumerating_) return E_UNEXPECTED;
    std::vector<ReplItem*> items;
    const HRESULT hr = withFile([&](BackupFile& f) -> HRESULT {
        items.reserve(f.recordCount());
        for (uint32_t i = 0; i < f.recordCount(); ++i)
            items.push_back(new ReplItem{1, f.itemId(i), f.written(i)});
        f.clearLists();
        return S_OK;
    });
    if (FAILED(hr)) {
        for (ReplItem* i : items) delete i;
        return hr;
    }
    enumeration_ = std::move(items);
    position_ = 0;
    enumerating_ = true;
    return FindNextItem(folder, item, exist);
}

HRESULT CReplStore::FindNextItem(HREPLFLD, HREPLITEM* item, BOOL* exist) {
    if (!enumerating_ || !item || !exist) return E_UNEXPECTED;
    if (position_ < enumeration_.size()) {
        *item = enumeration_[position_++];  // the service owns it from now on
        *exist = TRUE;
    } else {
        *exist = FALSE;
    }
    return S_OK;
}

HRESULT CReplStore::FindItemClose(HREPLFLD) {
    for (size_t i = position_; i < enumeration_.size(); ++i) delete enumeration_[i];
    enumeration_.clear();
    position_ = 0;
    enumerating_ = false;
    if (!watch_.running() && file_ && change_) watch_ = desk::JoinedThread([this] { watchChanges(); });
    return S_OK;
}

void CReplStore::watchChanges() {
    for (;;) {
        if (desk::waitAny(*stop_, *change_, -1) != 1) return;
        if (!notify_) continue;
        withFile([&](BackupFile& f) -> HRESULT {
            const uint32_t nc = f.changedCount(), nd = f.deletedCount();
            const auto report = [&](uint32_t id, UINT code) {
                const int i = f.find(id);
                auto* h = new ReplItem{1, id, i >= 0 ? f.written(uint32_t(i)) : FILETIME{}};
                if (FAILED(notify_->OnItemNotify(code, kProgId, kObjectType, h, 0))) delete h;
            };
            for (uint32_t i = 0; i < nc; ++i) {
                bool deleted = false;
                for (uint32_t j = 0; j < nd && !deleted; ++j) deleted = f.deleted(j) == f.changed(i);
                if (!deleted) report(f.changed(i), RNC_MODIFIED);
            }
            for (uint32_t j = 0; j < nd; ++j) report(f.deleted(j), RNC_DELETED);
            f.clearLists();
            return S_OK;
        });
    }
}

void CReplStore::stopWatch() {
    if (!watch_.running()) return;
    stop_->set();
    watch_.join();
    stop_->wait(0);
}

UINT CReplStore::ObjectToBytes(HREPLOBJ object, BYTE* bytes) {
    if (!object) return 0;
    const uint32_t kind = *static_cast<uint32_t*>(object);
    if (kind != 1 && kind != 2) return 0;
    const UINT size = kind == 1 ? 17 : 5;
    if (bytes) {
        bytes[0] = 1;
        put32(bytes + 1, kind);
        if (kind == 1) {
            auto* it = static_cast<ReplItem*>(object);
            put32(bytes + 5, it->itemId);
            put32(bytes + 9, it->written.low);
            put32(bytes + 13, it->written.high);
        }
    }
    return size;
}

HREPLOBJ CReplStore::BytesToObject(const BYTE* bytes, UINT size) {
    if (!bytes || size < 5 || bytes[0] != 1) return nullptr;
    const uint32_t kind = get32(bytes + 1);
    if (kind == 2) return new ReplFolder;
    if (kind != 1 || size < 17) return nullptr;
    return new ReplItem{1, get32(bytes + 5), {get32(bytes + 9), get32(bytes + 13)}};
}

void CReplStore::FreeObject(HREPLOBJ object) {
    if (!object) return;
    const uint32_t kind = *static_cast<uint32_t*>(object);
    if (kind == 1) delete static_cast<ReplItem*>(object);
    if (kind == 2) delete static_cast<ReplFolder*>(object);
}

BOOL CReplStore::CopyObject(HREPLOBJ src, HREPLOBJ dst) {
    if (!src || !dst) return FALSE;
    const uint32_t kind = *static_cast<uint32_t*>(src);
    if (kind != *static_cast<uint32_t*>(dst)) return FALSE;
    if (kind == 1) {
        static_cast<ReplItem*>(dst)->itemId = static_cast<ReplItem*>(src)->itemId;
        static_cast<ReplItem*>(dst)->written = static_cast<ReplItem*>(src)->written;
        return TRUE;
    }
    if (kind == 2) {
        static_cast<ReplFolder*>(dst)->changed = static_cast<ReplFolder*>(src)->changed;
        return TRUE;
    }
    return FALSE;
}

HRESULT CReplStore::IsValidObject(HREPLFLD folder, HREPLITEM item, UINT) {
    if (folder && folder->kind != 2) return E_HANDLE;
    if (!item) return S_OK;
    if (item->kind != 1) return E_HANDLE;
    HRESULT found = E_FILE_NOT_FOUND;
    withFile([&](BackupFile& f) -> HRESULT {
        if (f.find(item->itemId) >= 0) found = S_OK;
        return S_OK;
    });
    return found;
}

HRESULT CReplStore::GetObjTypeUIData(HREPLFLD, OBJUIDATA* data) {
    if (!data || data->cbStruct != sizeof(OBJUIDATA)) return E_INVALIDARG;
    data->hIconLarge = 200;
    data->hIconSmall = 200;
    copyText(data->szName, u"Quorin Backup Data");
    copyText(data->szTypeText, u"Database");
    copyText(data->szPlTypeText, u"Databases");
    copyText(data->szSyncText, path_);
    return E_NOTIMPL;
}

HRESULT CReplStore::GetConflictInfo(CONFINFO* info) {
    if (!info || info->cbStruct != sizeof(CONFINFO)) return E_INVALIDARG;
    copyText(info->szLocalName, u"Quorin");
    copyText(info->szRemoteName, u"Quorin");
    bool identical = false;
    std::u16string local, remote;
    withFile([&](BackupFile& f) -> HRESULT {
        ReplItem* a = itemOf(info->hLocalItem);
        ReplItem* b = itemOf(info->hRemoteItem);
        const int i = a ? f.find(a->itemId) : -1;
        const int j = b ? f.find(b->itemId) : -1;
        const auto describe = [&](int k) {
            if (k < 0 || !f.validRecord(uint32_t(k))) return std::u16string();
            const RecordImage r = recordToPacket(f.record(uint32_t(k)));
            return u"Name : " + std::u16string(text(r.name)) + u"\r\nCompany : " +
                   std::u16string(text(r.company)) + u"\r\n";
        };
        identical = i >= 0 && j >= 0 && sameRecord(f.record(uint32_t(i)), f.record(uint32_t(j)), true);
        local = describe(i);
        remote = describe(j);
        return S_OK;
    });
    if (identical) return RERR_IGNORE;
    copyText(info->szLocalDesc, local);
    copyText(info->szRemoteDesc, remote);
    return S_OK;
}

HRESULT CReplStore::RemoveDuplicates(const char16_t* objType, UINT) {
    if (!objType || std::u16string_view(objType) != kObjectType) return E_NOTIMPL;
    bool removed = false;
    const HRESULT hr = withFile([&](BackupFile& f) -> HRESULT {
        // A record goes when an earlier one is the same, as comparing each with every later one
        // finds; it is compared only with the earlier ones of its hash. Kept records stay in
        // their slots: only later ones are removed.
        std::unordered_multimap<size_t, uint32_t> kept;  // hash -> slot
        for (uint32_t j = 0; j < f.recordCount();) {
            const size_t h = recordHash(f.record(j));
            bool same = false;
            for (auto [k, end] = kept.equal_range(h); k != end && !same; ++k)
                same = sameRecord(f.record(k->second), f.record(j), false);
            if (!same) {
                kept.emplace(h, j++);
                continue;
            }
            if (notify_) {
                auto* item = new ReplItem{1, f.itemId(j), f.written(j)};
                if (FAILED(notify_->OnItemNotify(RNC_DELETED, kProgId, kObjectType, item, 0)))
                    delete item;
            }
            f.remove(j);  // the record after it moves into slot j: compare that one next
            removed = true;
        }
        return S_OK;
    });
    if (removed) postChange();
    return FAILED(hr) ? hr : S_OK;
}

// ---- Options ---------------------------------------------------------------------------------------

HRESULT CReplStore::ActivateDialog(UINT dialog, HWND parent, HREPLFLD, ENUMOBJ*) {
    if (dialog != 0) return E_NOTIMPL;
    // The handheld's database volume, asked through the service.
    std::u16string volume;
    BYTE buffer[520] = {};
    SDREQUEST request{};
    copyText(request.szObjType, kObjectType);
    request.uCode = SDR_VOLUME_PATH;
    request.lpData = buffer;
    request.cbData = sizeof buffer;
    void* query = &request;
    const HRESULT q = notify_ ? notify_->QueryDevice(QDC_SYNC_DATA, &query) : RERR_DEVICE_NOT_CONNECTED;
    if (q == RERR_DEVICE_NOT_CONNECTED) {
        volume = u"<Device is not connected>";
    } else if (FAILED(q)) {
        volume = u"<Erroring reading data from device>";
    } else {
        buffer[sizeof buffer - 1] = buffer[sizeof buffer - 2] = 0;  // never read past it
        const std::u16string answer(reinterpret_cast<const char16_t*>(buffer));
        const std::string ansi = desk::toAnsi(answer, 260);
        volume = answer.empty() ? u"System Volume" : desk::fromAnsi(ansi.data(), ansi.size());
    }

    OptionsChoice choice{syncOption_, path_};
    if (!optionsDialogRunner()(parent, volume, choice)) return RERR_CANCEL;
    syncOption_ = choice.filter;  // in force at once, for the rest of the run
    choice.path = choice.path.substr(0, 259);

    // The filter is kept on every OK; the file only when it is another, existing backup file
    // (an unrelated file is never taken over and written into).
    auto key = reg::Key::create(reg::Hive::CurrentUser, desk::kDeviceKey, nullptr, reg::Store::Desktop);
    if (!key) return S_OK;
    key->setDword(desk::kSyncOptionValue, choice.filter);
    if (caseInsensitiveEqual(choice.path, path_)) return S_OK;
    const fs::path host = desk::hostPath(choice.path);
    std::error_code ec;
    if (choice.path.empty() || !fs::is_regular_file(host, ec)) return S_OK;
    auto candidate = desk::FileMapping::open(host, kFileSize);
    bool sound = false;
    if (candidate) candidate->guarded([&] { sound = BackupFile(candidate->data()).validAll(); });
    if (!sound) return S_OK;
    candidate.reset();
    if (!key->setString(desk::kQuorinFileValue, choice.path)) return S_OK;
    return RERR_STORE_REPLACE;
}

}  // namespace desksync
