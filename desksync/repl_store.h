// The desktop store of the object type "Quorin": an in-process object with the store interface
// and one object handler, keeping every record of the handheld in the backup file.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "desk/desk.h"
#include "desksync/backup_file.h"
#include "repl/repl.h"

namespace repl {
// Handles handed to the service; both begin with their kind.
struct ReplItem {
    uint32_t kind = 1;
    uint32_t itemId = 0;
    FILETIME written;
};
struct ReplFolder {
    uint32_t kind = 2;
    bool changed = false;
};
}  // namespace repl

namespace desksync {

using namespace repl;

inline constexpr char16_t kObjectType[] = u"Quorin";
inline constexpr char16_t kProgId[] = u"MS.WinCE.Quorin";
inline constexpr char kMutexName[] = "QuorinMutex";
inline constexpr char kChangeEventName[] = "QuorinChange";
inline constexpr uint32_t kRefreshMessage = 0x04C9;
inline constexpr UINT kOpenBit = 0x80000000u;

// Server-wide counts for DllCanUnloadNow.
std::atomic<long>& liveObjects();
std::atomic<long>& serverLocks();

class CReplStore;

class CStoreObjHandler final : public IReplObjHandler {
public:
    explicit CStoreObjHandler(CReplStore& store) : store_(store) {}
    HRESULT QueryInterface(const GUID& iid, void** out) override;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Setup(REPLSETUP* setup) override;
    HRESULT Reset(REPLSETUP*) override { return S_OK; }
    HRESULT GetPacket(const BYTE** data, DWORD* size, DWORD recommended) override;
    HRESULT SetPacket(const BYTE* data, DWORD size) override;
    HRESULT DeleteObj(REPLSETUP* setup) override;

private:
    CReplStore& store_;
    REPLSETUP* read_ = nullptr;
    REPLSETUP* write_ = nullptr;
    RecordImage packet_;
};

class CReplStore final : public IReplStore {
public:
    explicit CReplStore(IUnknown* outer);
    ~CReplStore();

    // The object's own IUnknown (the one an aggregating object holds).
    IUnknown* inner() { return &inner_; }

    HRESULT QueryInterface(const GUID& iid, void** out) override { return outer_->QueryInterface(iid, out); }
    ULONG AddRef() override { return outer_->AddRef(); }
    ULONG Release() override { return outer_->Release(); }

    HRESULT Initialize(IReplNotify* notify, UINT flags) override;
    HRESULT GetStoreInfo(STOREINFO* info) override;
    HRESULT ReportStatus(HREPLFLD folder, HREPLITEM item, UINT status, UINT param) override;
    int CompareStoreIDs(const BYTE* id1, UINT size1, const BYTE* id2, UINT size2) override;
    int CompareItem(HREPLITEM a, HREPLITEM b) override;
    BOOL IsItemChanged(HREPLFLD folder, HREPLITEM item, HREPLITEM other) override;
    BOOL IsItemReplicated(HREPLFLD folder, HREPLITEM item) override;
    void UpdateItem(HREPLFLD folder, HREPLITEM dst, HREPLITEM src) override;
    HRESULT GetFolderInfo(const char16_t* objType, HREPLFLD* folder, IUnknown** handler) override;
    HRESULT IsFolderChanged(HREPLFLD folder, BOOL* changed) override;
    HRESULT FindFirstItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) override;
    HRESULT FindNextItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) override;
    HRESULT FindItemClose(HREPLFLD folder) override;
    UINT ObjectToBytes(HREPLOBJ object, BYTE* bytes) override;
    HREPLOBJ BytesToObject(const BYTE* bytes, UINT size) override;
    void FreeObject(HREPLOBJ object) override;
    BOOL CopyObject(HREPLOBJ src, HREPLOBJ dst) override;
    HRESULT IsValidObject(HREPLFLD folder, HREPLITEM item, UINT flags) override;
    HRESULT ActivateDialog(UINT dialog, HWND parent, HREPLFLD folder, ENUMOBJ* list) override;
    HRESULT GetObjTypeUIData(HREPLFLD folder, OBJUIDATA* data) override;
    HRESULT GetConflictInfo(CONFINFO* info) override;
    HRESULT RemoveDuplicates(const char16_t* objType, UINT flags) override;

    // ---- for the handler, the options dialog and tests ----
    const std::u16string& filePath() const { return path_; }
    uint32_t syncOption() const { return syncOption_; }
    void setSyncOption(uint32_t option) { syncOption_ = option; }
    bool isOpen() const { return flags_ & kOpenBit; }
    IReplNotify* notify() const { return notify_; }
    UINT initFlags() const { return flags_; }
    // Opens the backup file (creating it when allowed); a result code.
    HRESULT openFile(bool create);
    void closeFile();
    bool watching() const { return watch_.running(); }

    // Runs `body` on the file under the mutex, after validating the file. E_UNEXPECTED, with
    // nothing touched, when the file is not open, the mutex cannot be had within 5 seconds, or
    // the file is not a sound backup file of its size; E_UNEXPECTED also when the file is
    // shortened while `body` runs (what it did up to then stays).
    template <typename F>
    HRESULT withFile(F&& body);
    void postChange();

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(CReplStore& s) : s_(s) {}
        HRESULT QueryInterface(const GUID& iid, void** out) override;
        ULONG AddRef() override { return ++s_.refs_; }
        ULONG Release() override;

    private:
        CReplStore& s_;
    };
    void watchChanges();
    void stopWatch();

    Inner inner_{*this};
    std::atomic<ULONG> refs_{1};
    IUnknown* outer_;
    IReplNotify* notify_ = nullptr;
    UINT flags_ = 0;
    std::u16string path_ = desk::kDefaultQuorinFile;
    uint32_t syncOption_ = 0;
    std::unique_ptr<desk::FileMapping> file_;
    std::unique_ptr<desk::NamedMutex> mutex_;
    std::vector<ReplItem*> enumeration_;
    size_t position_ = 0;
    bool enumerating_ = false;
    std::unique_ptr<desk::Event> stop_ = desk::Event::createLocal();
    std::unique_ptr<desk::Event> change_;
    desk::JoinedThread watch_;
    CStoreObjHandler handler_{*this};
};

template <typename F>
HRESULT CReplStore::withFile(F&& body) {
    if (!file_ || !mutex_) return E_UNEXPECTED;
    desk::MutexLock lock(*mutex_);
    if (!lock.owned()) return E_UNEXPECTED;  // the file is not touched without the mutex
    HRESULT hr = E_UNEXPECTED;
    // The size is looked at under the mutex each time: another program may have shortened the
    // file since, and a body cut off by a shortening file fails as a damaged file does.
    file_->guarded([&] {
        BackupFile f(file_->data());
        // An owner that died may have left anything: look at all of it then.
        const bool sound =
            lock.result() == desk::LockResult::Abandoned ? f.recover() : f.validHeader();
        if (sound) hr = body(f);
    });
    return hr;
}

// The options dialog: shows the volume text, the file path and the filter; on OK the filter
// and path are returned. False when cancelled. Replaceable for tests.
struct OptionsChoice {
    uint32_t filter = 0;
    std::u16string path;
};
using OptionsDialogRunner = bool (*)(HWND parent, const std::u16string& volumeText,
                                     OptionsChoice& choice);
OptionsDialogRunner& optionsDialogRunner();
// The message shown when the file cannot be opened; replaceable for tests.
using ErrorReporter = void (*)(HWND owner, const std::u16string& text, const std::u16string& caption);
ErrorReporter& errorReporter();

}  // namespace desksync
