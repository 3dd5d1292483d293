// The six exports of the provider library, by the names the synchronisation service looks up.
#include <type_traits>

#include "handsync/handrepl.h"

#define QUORIN_EXPORT __attribute__((visibility("default")))

using namespace repl;

extern "C" {
QUORIN_EXPORT HRESULT FindObjects(FINDOBJINFO* info) { return handsync::FindObjects(info); }
QUORIN_EXPORT BOOL GetObjTypeInfo(OBJTYPEINFO* info) { return handsync::GetObjTypeInfo(info); }
QUORIN_EXPORT BOOL InitObjType(const char16_t* objType, IDeviceObjHandler** handler,
                               UINT partnerBit) {
    return handsync::InitObjType(objType, handler, partnerBit);
}
QUORIN_EXPORT BOOL ObjectNotify(OBJNOTIFY* notify) { return handsync::ObjectNotify(notify); }
QUORIN_EXPORT BOOL ReportStatus(const char16_t* objType, UINT code, UINT param) {
    return handsync::ReportStatus(objType, code, param);
}
QUORIN_EXPORT BOOL SyncData(SDREQUEST* request) { return handsync::SyncData(request); }
}

static_assert(std::is_same_v<decltype(&FindObjects), PFN_FindObjects>);
static_assert(std::is_same_v<decltype(&GetObjTypeInfo), PFN_GetObjTypeInfo>);
static_assert(std::is_same_v<decltype(&InitObjType), PFN_InitObjType>);
static_assert(std::is_same_v<decltype(&ObjectNotify), PFN_ObjectNotify>);
static_assert(std::is_same_v<decltype(&ReportStatus), PFN_ReportStatus>);
static_assert(std::is_same_v<decltype(&SyncData), PFN_SyncData>);
