#include "store/briefing_settings.h"

#include "store/record_image.h"

namespace settings {

int briefingHourOf(std::optional<uint32_t> stored) {
    return stored && *stored <= 23 ? int(*stored) : 0;
}

std::u16string fitName(const std::u16string& name) {
    return std::u16string(fitText(name, kNameLength + 1));
}

std::optional<reg::Key> openSettingsKey(bool* created) {
    bool made = false;
    auto key = reg::Key::create(reg::Hive::CurrentUser, kSettingsKey, &made);
    if (created) *created = key && made;
    if (key && made) {
        key->setString(kNameValue, u"");
        key->setDword(kTimeValue, 0);
    }
    return key;
}

BriefingSettings readSettings(const reg::Key& key) {
    BriefingSettings s;
    if (auto name = key.queryString(kNameValue)) s.name = fitName(*name);
    s.hour = briefingHourOf(key.queryDword(kTimeValue));
    return s;
}

bool writeSettings(reg::Key& key, const BriefingSettings& settings) {
    const std::u16string name = settings.name.empty() ? kDefaultName : fitName(settings.name);
    // The hour is not written after a failed name: a failure changes as little as it can.
    return key.setString(kNameValue, name) &&
           key.setDword(kTimeValue, uint32_t(briefingHourOf(uint32_t(settings.hour))));
}

}  // namespace settings
