// The briefing settings under HKEY_CURRENT_USER\Quorin: "NAME" (the user's name, REG_SZ) and
// "TIME" (the hour, 0 to 23, at which the day's agenda opens by itself, REG_DWORD). The frame
// reads the hour, the settings dialog reads and writes both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "registry/registry.h"

namespace settings {

inline constexpr char16_t kSettingsKey[] = u"Quorin";
inline constexpr char16_t kNameValue[] = u"NAME";
inline constexpr char16_t kTimeValue[] = u"TIME";
// The name buffer holds 19 characters and its terminator.
inline constexpr size_t kNameLength = 19;
// The name stored when the user leaves it empty.
inline constexpr char16_t kDefaultName[] = u"Quorin";

struct BriefingSettings {
    std::u16string name;
    int hour = 0;
    friend bool operator==(const BriefingSettings&, const BriefingSettings&) = default;
};

// A stored "TIME" as an hour: a missing value or one outside 0 to 23 is 0.
int briefingHourOf(std::optional<uint32_t> stored);
// `name` cut to 19 characters (a surrogate pair is not split).
std::u16string fitName(const std::u16string& name);

// Opens the settings key, creating it when missing; a key created here gets "NAME" = "" and
// "TIME" = 0 (`*created` tells which happened). nullopt when the registry call fails.
std::optional<reg::Key> openSettingsKey(bool* created = nullptr);
// The settings held by `key`: the name cut to 19 characters, the hour by briefingHourOf.
// Values that cannot be read give the defaults (empty name, hour 0).
BriefingSettings readSettings(const reg::Key& key);
// Writes both values: an empty name as "Quorin", a longer one cut to 19 characters, the hour
// as given. False when a write fails; the name is written first and the hour not after a
// failed name.
bool writeSettings(reg::Key& key, const BriefingSettings& settings);

}  // namespace settings
