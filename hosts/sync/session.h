// One synchronisation session: both provider libraries loaded by path, the handheld provider
// started, the desktop store created and initialised, and the calls the service makes of them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "repl/repl.h"
#include "store/record_image.h"
#include "sync_state.h"

namespace quorinsync {

struct Paths;

// The service's notification interface: the desktop store tells it of items it deleted (while
// collecting) and asks the handheld through it.
class Notify final : public repl::IReplNotify {
public:
    explicit Notify(repl::PFN_SyncData syncData) : syncData_(syncData) {}
    repl::HRESULT QueryInterface(const repl::GUID&, void** out) override;
    repl::ULONG AddRef() override { return 1; }
    repl::ULONG Release() override { return 1; }
    repl::HRESULT SetStatusText(const char16_t*) override { return repl::S_OK; }
    repl::HRESULT GetWindow(repl::UINT, repl::HWND* w) override;
    repl::HRESULT OnItemNotify(repl::UINT code, const char16_t*, const char16_t*,
                               repl::HREPLITEM item, repl::ULONG) override;
    repl::HRESULT QueryDevice(repl::UINT code, void** data) override;

    // From now on items reported deleted are taken, and their identifiers kept.
    void collectDeletions(repl::IReplStore* store);
    // The identifiers collected, which ends collecting.
    std::set<uint32_t> takeDeletions();

private:
    repl::PFN_SyncData syncData_;
    std::mutex mutex_;  // the store's change-watch thread may call in too
    repl::IReplStore* collecting_ = nullptr;
    std::set<uint32_t> deleted_;
};

class Session {
public:
    enum class Desktop { Open, None };
    ~Session() { close(); }

    // Loads both libraries and starts the handheld provider (unless `needDevice` is false and it
    // cannot start) and, unless `desktop` is None, the desktop store, which opens the backup
    // file (making it when missing). False after saying why on `err`.
    bool open(const Paths& paths, std::ostream& err, bool needDevice = true,
              Desktop desktop = Desktop::Open);
    void close();
    // Flushes and lets go of the backup file (before the map that names its items is saved).
    void releaseStore();
    bool hasBackup() const { return store_ != nullptr; }

    // ---- handheld ----
    bool deviceObjects(std::vector<repl::CEOID>& all, std::set<repl::CEOID>& changed);
    bool devicePacket(repl::CEOID oid, RecordImage& out);
    // Writes a packet to the handheld over `oid` (0: a new object); the object written, or 0.
    repl::CEOID deviceWrite(RecordImage& r, repl::CEOID oid);
    void clearChange(repl::CEOID oid);
    bool batch(repl::UINT code);
    void endSync();

    // ---- desktop ----
    // Every item in file order; false when the file cannot be read (damaged meanwhile).
    bool deskItems(std::vector<repl::HREPLITEM>& items);
    bool deskPacket(repl::HREPLITEM item, RecordImage& out);
    // Writes over `item`, or a new item when null; the item written (owned by the caller when
    // new), or null.
    repl::HREPLITEM deskWrite(const RecordImage& r, repl::HREPLITEM item);
    repl::HRESULT deskDelete(repl::HREPLITEM item);
    // The serialised form of an item, the only form the service keeps.
    std::vector<uint8_t> toBytes(repl::HREPLITEM item);
    repl::IReplStore* store() { return store_; }
    Notify& notify() { return *notify_; }

private:
    void* hand_ = nullptr;
    void* desk_ = nullptr;
    repl::PFN_InitObjType init_ = nullptr;
    repl::PFN_FindObjects find_ = nullptr;
    repl::PFN_ObjectNotify notifyObj_ = nullptr;
    repl::PFN_ReportStatus report_ = nullptr;
    repl::PFN_SyncData syncData_ = nullptr;
    repl::IDeviceObjHandler* device_ = nullptr;
    bool deviceStarted_ = false;
    std::unique_ptr<Notify> notify_;
    repl::IReplStore* store_ = nullptr;
    repl::HREPLFLD folder_ = nullptr;
    repl::IReplObjHandler* deskHandler_ = nullptr;
};

}  // namespace quorinsync
