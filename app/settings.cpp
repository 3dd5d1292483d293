#include "settings.h"

#include "registry/registry.h"
#include "store/briefing_settings.h"

namespace app {

int LoadBriefingHour() {
    bool created = false;
    auto key = settings::openSettingsKey(&created);
    if (!key || created) return 0;
    return settings::readSettings(*key).hour;
}

void WriteVolumeValue() {
    auto key = reg::Key::open(reg::Hive::LocalMachine, kVolumeKey);
    if (!key) key = reg::Key::create(reg::Hive::LocalMachine, kVolumeKey);
    if (key) key->setString(kVolumeValue, u"");
}

}  // namespace app
