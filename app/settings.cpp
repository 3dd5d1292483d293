#include "settings.h"

#include "registry/registry.h"

namespace app {

int LoadBriefingHour() {
    bool created = false;
    auto key = reg::Key::create(reg::Hive::CurrentUser, kSettingsKey, &created);
    if (!key) return 0;
    if (created) {
        key->setString(u"NAME", u"");
        key->setDword(u"TIME", 0);
        return 0;
    }
    auto hour = key->queryDword(u"TIME");
    return hour ? int(*hour) : 0;
}

void WriteVolumeValue() {
    auto key = reg::Key::open(reg::Hive::LocalMachine, kVolumeKey);
    if (!key) key = reg::Key::create(reg::Hive::LocalMachine, kVolumeKey);
    if (key) key->setString(kVolumeValue, u"");
}

}  // namespace app
