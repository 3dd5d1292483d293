#include "store/categories.h"

#include <string>

#include "store/record_store.h"

namespace {

const std::u16string kSection(CategorySection);
const std::u16string kCount(CategoryCountEntry);

}  // namespace

reg::Profile programProfile() {
    return reg::Profile(std::u16string(ProfileRegistryKey), std::u16string(ProfileAppName));
}

std::u16string categoryEntry(int slot) {
    const std::string n = std::to_string(slot);
    return kSection + std::u16string(n.begin(), n.end());
}

bool writeDefaultCategories(reg::Profile& profile) {
    bool ok = profile.writeInt(kSection, kCount, int(std::size(DefaultCategories)));
    int slot = 0;
    for (std::u16string_view name : DefaultCategories)
        ok = profile.writeString(kSection, categoryEntry(++slot), std::u16string(name)) && ok;
    return ok;
}

void CRecordStore::RefreshCategories(std::vector<std::u16string>& list) const {
    list.clear();
    const int n = profile_.getInt(kSection, kCount, 0);
    for (int slot = 1; slot <= n; ++slot) {
        std::u16string name = profile_.getString(kSection, categoryEntry(slot));
        if (!name.empty() && name.front() != DeletedCategoryMark) list.push_back(std::move(name));
    }
}

bool CRecordStore::AddCategory(const std::u16string& name) {
    const int n = profile_.getInt(kSection, kCount, 0);
    // The slot first, then the count: if the count cannot be written the new slot is simply
    // not counted, whereas counting first could bring back a stale slot left above the count.
    return profile_.writeString(kSection, categoryEntry(n + 1), name) &&
           profile_.writeInt(kSection, kCount, n + 1);
}

bool CRecordStore::DeleteCategory(const std::u16string& name) {
    const int n = profile_.getInt(kSection, kCount, 0);
    for (int slot = 1; slot <= n; ++slot) {
        const std::u16string held = profile_.getString(kSection, categoryEntry(slot));
        if (held.empty() || held.front() == DeletedCategoryMark || held != name) continue;
        return profile_.writeString(kSection, categoryEntry(slot), DeletedCategoryMark + name);
    }
    return true;
}
