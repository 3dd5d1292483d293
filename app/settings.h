// The small registry settings the frame owns: the settings key HKEY_CURRENT_USER\Quorin
// ("NAME", "TIME") and the volume value "DBVol".
#pragma once

namespace app {

inline constexpr char16_t kVolumeKey[] = u"Software\\Microsoft\\Quorinity";
inline constexpr char16_t kVolumeValue[] = u"DBVol";
inline constexpr char16_t kProfileKey[] = u"Local AppWizard-Generated Applications";
inline constexpr char16_t kAppName[] = u"Quorin";

// Opens or creates the settings key: a new key gets "NAME" = "" and "TIME" = 0; an existing
// one gives its "TIME". Returns the briefing hour: 0 when the key is new, the value is missing
// or outside 0 to 23, or a registry call fails.
int LoadBriefingHour();
// Writes "DBVol" = "" (the object store) under HKEY_LOCAL_MACHINE; failures are ignored.
void WriteVolumeValue();

}  // namespace app
