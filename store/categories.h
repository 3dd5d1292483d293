// The category (group) list in the program's registry profile: section "CATEGORY", slots
// "CATEGORY1", "CATEGORY2", ... counted by "CATEGORYN". Slots are never removed or renumbered;
// a slot whose text begins with "!" is a deleted category, an empty slot is ignored.
#pragma once

#include <string>
#include <string_view>

#include "registry/registry.h"

inline constexpr std::u16string_view ProfileRegistryKey = u"Local AppWizard-Generated Applications";
inline constexpr std::u16string_view ProfileAppName = u"Quorin";
inline constexpr std::u16string_view CategorySection = u"CATEGORY";
inline constexpr std::u16string_view CategoryCountEntry = u"CATEGORYN";
inline constexpr char16_t DeletedCategoryMark = u'!';

// The profile the program keeps its categories in.
reg::Profile programProfile();

// "CATEGORY" followed by the slot number.
std::u16string categoryEntry(int slot);

// The categories of a new installation, in slot order.
inline constexpr std::u16string_view DefaultCategories[] = {
    u"개인 친분", u"공급자",    u"VIP",    u"협력 업체", u"전화 통화",
    u"주요 고객", u"회사 동료", u"동창생", u"경쟁 업체",
};

// Writes "CATEGORYN" = 9, then the nine default slots, each replacing what the slot held.
// Slots above 9 are left as they are (no longer counted). False when a write failed.
bool writeDefaultCategories(reg::Profile& profile);
