// The synchronisation services' interfaces: the handheld provider's exported entry points and
// structures, and the desktop store, its object handler and the service's notification
// interface, in a minimal COM-style ABI. An interface is a class of pure virtual functions with
// no virtual destructor, so its table holds exactly the methods in declaration order, with
// QueryInterface, AddRef and Release first; objects are freed through Release.
//
// Structures carry their own size in `cbStruct`; a callee checks it against the size it knows.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string_view>

#include "cedb/cedb.h"

namespace repl {

using HRESULT = int32_t;
using BOOL = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using DWORD = uint32_t;
using BYTE = uint8_t;
using CEOID = uint32_t;
using FILETIME = cedb::FileTime;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT hr(uint32_t v) { return HRESULT(v); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = hr(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = hr(0x80004002);
inline constexpr HRESULT E_POINTER = hr(0x80004003);
inline constexpr HRESULT E_FAIL = hr(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = hr(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = hr(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = hr(0x80070057);
inline constexpr HRESULT E_HANDLE = hr(0x80070006);
inline constexpr HRESULT E_FILE_NOT_FOUND = hr(0x80070002);  // the object is not there
inline constexpr HRESULT CLASS_E_NOAGGREGATION = hr(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hr(0x80040111);
// Codes of the synchronisation services.
inline constexpr HRESULT RWRN_LAST_PACKET = hr(0x00140001);
inline constexpr HRESULT RERR_CANCEL = hr(0x80140003);
inline constexpr HRESULT RERR_IGNORE = hr(0x80140005);
inline constexpr HRESULT RERR_STORE_REPLACE = hr(0x80140006);
inline constexpr HRESULT RERR_DEVICE_NOT_CONNECTED = hr(0x80140009);

struct GUID {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
    friend bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
};
inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IReplStore = {0x5AE3D4E0, 0x1B7F, 0x4C30, {0x9A, 0x1E, 0x51, 0x0F, 0x42, 0xA8, 0x61, 0x11}};
inline constexpr GUID IID_IReplObjHandler = {0x5AE3D4E1, 0x1B7F, 0x4C30, {0x9A, 0x1E, 0x51, 0x0F, 0x42, 0xA8, 0x61, 0x11}};
// The class of the desktop store of this system.
inline constexpr GUID CLSID_QuorinStore = {0x5AE3D4EF, 0x1B7F, 0x4C30, {0x9A, 0x1E, 0x51, 0x0F, 0x42, 0xA8, 0x61, 0x11}};

class IUnknown {
public:
    virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
public:
    virtual HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** out) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// ==== Handheld provider =========================================================================

inline constexpr size_t kObjTypeChars = 100;

struct OBJTYPEINFO {
    UINT cbStruct;
    char16_t szObjType[kObjTypeChars];
    UINT uFlags;
    char16_t szName[kObjTypeChars];  // the database's name
    UINT cObjects;
    UINT cbAllObj;
    FILETIME ftLastModified;
};

inline constexpr UINT FO_DONE_ONE_VOL = 2;

struct FINDOBJINFO {
    UINT uFlags;
    const char16_t* szObjType;
    CEOID* lpOid;  // unchanged objects first, then the changed ones
    UINT cUnChg;
    UINT cChg;
    const BYTE* lpbVolumeID;  // the mounted volume, or null for the object store
    UINT cbVolumeID;
    void* lpvUser;
};

inline constexpr UINT ONF_CHANGED = 0x08;
inline constexpr UINT ONF_DELETED = 0x20;
inline constexpr UINT ONF_CLEAR_CHANGE = 0x40;
inline constexpr UINT OBJTYPE_RECORD = 4;

struct CEOIDINFO {
    UINT wObjType;  // OBJTYPE_RECORD for a record
    CEOID oidParent;
};

struct OBJNOTIFY {
    UINT cbStruct;
    char16_t szObjType[kObjTypeChars];
    UINT uFlags;
    UINT uPartnerBit;
    CEOID oidObject;
    CEOIDINFO oidInfo;
    CEOID* poid;  // set by the provider: the objects it reports
    UINT cOidChg;
    UINT cOidDel;
    UINT uData;
    BYTE volumeID[16];
    UINT cbVolumeID;  // 0: the object store
};

inline constexpr UINT RSC_END_SYNC = 2;

struct SDREQUEST {
    char16_t szObjType[kObjTypeChars];
    BOOL fSet;
    UINT uCode;
    BYTE* lpData;
    UINT cbData;  // in: the buffer's size; out: the size needed
};
inline constexpr UINT SDR_VOLUME_PATH = 1;
// Set requests of this platform: the writes between the two go to the handheld's store as one
// durable transaction (a service brackets a whole transfer with them).
inline constexpr UINT SDR_BEGIN_BATCH = 2;
inline constexpr UINT SDR_COMMIT_BATCH = 3;

inline constexpr DWORD RSF_NEW_OBJECT = 0x1;

// The handheld object handler's setup of one transfer.
struct DEVICE_REPLSETUP {
    UINT cbStruct;
    BOOL fRead;
    DWORD dwFlags;  // RSF_NEW_OBJECT when writing a new object
    HRESULT hr;
    CEOID oid;     // the object to read, overwrite or delete
    CEOID oidNew;  // out: the object written
    BYTE volumeID[16];
    UINT cbVolumeID;
};

class IReplObjHandler;  // below, shared by both sides in shape

// The handheld object handler: the packets of one object.
class IDeviceObjHandler {
public:
    virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT Setup(DEVICE_REPLSETUP* setup) = 0;
    virtual HRESULT Reset(DEVICE_REPLSETUP* setup) = 0;
    virtual HRESULT GetPacket(BYTE** data, DWORD* size, DWORD recommended) = 0;
    virtual HRESULT SetPacket(BYTE* data, DWORD size) = 0;
    virtual HRESULT DeleteObj(DEVICE_REPLSETUP* setup) = 0;

protected:
    ~IDeviceObjHandler() = default;
};

// The six exports of a handheld provider library, by name.
using PFN_InitObjType = BOOL (*)(const char16_t* objType, IDeviceObjHandler** handler,
                                 UINT partnerBit);
using PFN_GetObjTypeInfo = BOOL (*)(OBJTYPEINFO* info);
using PFN_FindObjects = HRESULT (*)(FINDOBJINFO* info);
using PFN_ObjectNotify = BOOL (*)(OBJNOTIFY* notify);
using PFN_ReportStatus = BOOL (*)(const char16_t* objType, UINT code, UINT param);
using PFN_SyncData = BOOL (*)(SDREQUEST* request);

// ==== Desktop store =============================================================================

using HREPLITEM = struct ReplItem*;
using HREPLFLD = struct ReplFolder*;
using HREPLOBJ = void*;
using HWND = void*;

struct REPLSETUP {
    UINT cbStruct;
    BOOL fRead;
    DWORD dwFlags;
    HRESULT hr;
    HREPLFLD hFolder;
    HREPLITEM hItem;  // the item; a new object has none until written
};

inline constexpr UINT ISF_SELECTED_DEVICE = 0x1;
inline constexpr UINT ISF_REMOTE_CONNECTED = 0x2;

struct STOREINFO {
    UINT cbStruct;
    UINT uFlags;  // SCF_SINGLE_THREAD
    char16_t szProgId[256];
    char16_t szStoreDesc[200];
    UINT uTimerRes;
    UINT cbMaxStoreId;
    UINT cbStoreId;
    BYTE* lpbStoreId;
};
inline constexpr UINT SCF_SINGLE_THREAD = 1;

inline constexpr UINT RSC_RELEASE = 6;

struct OBJUIDATA {
    UINT cbStruct;
    int hIconLarge;  // icon resource numbers
    int hIconSmall;
    char16_t szName[200];
    char16_t szSyncText[260];
    char16_t szTypeText[80];
    char16_t szPlTypeText[80];
};

struct CONFINFO {
    UINT cbStruct;
    HREPLFLD hFolder;
    HREPLITEM hLocalItem;
    HREPLITEM hRemoteItem;
    char16_t szLocalName[32];
    char16_t szLocalDesc[512];
    char16_t szRemoteName[32];
    char16_t szRemoteDesc[512];
};

using ENUMOBJ = void;

inline constexpr UINT RNC_MODIFIED = 2;
inline constexpr UINT RNC_DELETED = 3;
inline constexpr UINT QDC_SYNC_DATA = 5;

// The service's notification interface, handed to the store at initialisation.
class IReplNotify : public IUnknown {
public:
    virtual HRESULT SetStatusText(const char16_t* text) = 0;
    virtual HRESULT GetWindow(UINT flags, HWND* window) = 0;
    virtual HRESULT OnItemNotify(UINT code, const char16_t* progId, const char16_t* objType,
                                 HREPLITEM item, ULONG flags) = 0;
    virtual HRESULT QueryDevice(UINT code, void** data) = 0;

protected:
    ~IReplNotify() = default;
};

class IReplObjHandler : public IUnknown {
public:
    virtual HRESULT Setup(REPLSETUP* setup) = 0;
    virtual HRESULT Reset(REPLSETUP* setup) = 0;
    virtual HRESULT GetPacket(const BYTE** data, DWORD* size, DWORD recommended) = 0;
    virtual HRESULT SetPacket(const BYTE* data, DWORD size) = 0;
    virtual HRESULT DeleteObj(REPLSETUP* setup) = 0;

protected:
    ~IReplObjHandler() = default;
};

class IReplStore : public IUnknown {
public:
    virtual HRESULT Initialize(IReplNotify* notify, UINT flags) = 0;
    virtual HRESULT GetStoreInfo(STOREINFO* info) = 0;
    virtual HRESULT ReportStatus(HREPLFLD folder, HREPLITEM item, UINT status, UINT param) = 0;
    virtual int CompareStoreIDs(const BYTE* id1, UINT size1, const BYTE* id2, UINT size2) = 0;
    virtual int CompareItem(HREPLITEM a, HREPLITEM b) = 0;
    virtual BOOL IsItemChanged(HREPLFLD folder, HREPLITEM item, HREPLITEM other) = 0;
    virtual BOOL IsItemReplicated(HREPLFLD folder, HREPLITEM item) = 0;
    virtual void UpdateItem(HREPLFLD folder, HREPLITEM dst, HREPLITEM src) = 0;
    virtual HRESULT GetFolderInfo(const char16_t* objType, HREPLFLD* folder,
                                  IUnknown** handler) = 0;
    virtual HRESULT IsFolderChanged(HREPLFLD folder, BOOL* changed) = 0;
    virtual HRESULT FindFirstItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) = 0;
    virtual HRESULT FindNextItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) = 0;
    virtual HRESULT FindItemClose(HREPLFLD folder) = 0;
    virtual UINT ObjectToBytes(HREPLOBJ object, BYTE* bytes) = 0;
    virtual HREPLOBJ BytesToObject(const BYTE* bytes, UINT size) = 0;
    virtual void FreeObject(HREPLOBJ object) = 0;
    virtual BOOL CopyObject(HREPLOBJ src, HREPLOBJ dst) = 0;
    virtual HRESULT IsValidObject(HREPLFLD folder, HREPLITEM item, UINT flags) = 0;
    virtual HRESULT ActivateDialog(UINT dialog, HWND parent, HREPLFLD folder, ENUMOBJ* list) = 0;
    virtual HRESULT GetObjTypeUIData(HREPLFLD folder, OBJUIDATA* data) = 0;
    virtual HRESULT GetConflictInfo(CONFINFO* info) = 0;
    virtual HRESULT RemoveDuplicates(const char16_t* objType, UINT flags) = 0;

protected:
    ~IReplStore() = default;
};

// The two exports of the desktop store's in-process server.
using PFN_DllGetClassObject = HRESULT (*)(const GUID& clsid, const GUID& iid, void** out);
using PFN_DllCanUnloadNow = HRESULT (*)();

// Copies `text` with its terminator into a fixed array, cut to fit.
template <size_t N>
void copyText(char16_t (&dst)[N], std::u16string_view text) {
    size_t i = 0;
    for (; i < text.size() && i + 1 < N; ++i) dst[i] = text[i];
    for (; i < N; ++i) dst[i] = u'\0';
}

}  // namespace repl
