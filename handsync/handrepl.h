// The handheld half of backup: the provider that the handheld's synchronisation service loads
// for the object type "Quorin". It lists the records of "Quorin Database" changed since the last
// synchronisation with a partner, turns records into 2552-byte exchange packets (a RecordImage)
// and back, deletes records, and tells the desktop which database volume it uses.
//
// One module state per loaded library; the service calls in on one thread.
#pragma once

#include "repl/repl.h"

namespace handsync {

inline constexpr char16_t kVolumeKey[] = u"Software\\Microsoft\\Quorinity";
inline constexpr char16_t kVolumeValue[] = u"DBVol";
inline constexpr uint32_t kRefreshMessage = 0x04C9;

repl::BOOL InitObjType(const char16_t* objType, repl::IDeviceObjHandler** handler,
                       repl::UINT partnerBit);
repl::BOOL GetObjTypeInfo(repl::OBJTYPEINFO* info);
repl::HRESULT FindObjects(repl::FINDOBJINFO* info);
repl::BOOL ObjectNotify(repl::OBJNOTIFY* notify);
repl::BOOL ReportStatus(const char16_t* objType, repl::UINT code, repl::UINT param);
repl::BOOL SyncData(repl::SDREQUEST* request);

// Refused packets: a record kind other than the three, or a text with no terminator inside its
// field. Shared with the desktop side's reader through the record layout.
bool isValidPacket(const uint8_t* data, size_t size);

}  // namespace handsync
