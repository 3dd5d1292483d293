// The synchronisation services of both sides in one program: it loads the handheld provider
// and the desktop store by path and carries packets, deletions and the volume query between
// them, keeping the map of each handheld's objects to desktop items in the desktop registry.
//
// A run (backup, restore, status, options) holds the desktop root and the device root for all
// of its work, from its first look to its last write, so runs on the same roots one after
// the other never plan from what another is changing.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace quorinsync {

struct Paths {
    std::string handrepl;  // the handheld provider library
    std::string deskrepl;  // the desktop store library
    int waitMs = 30000;    // how long a run waits for another on the same roots
};

struct Counts {
    int added = 0;    // objects new to the other side
    int changed = 0;  // objects written over their copy
    int deleted = 0;
};

// Said when the backup file is not a sound backup file, or stopped being one during the run.
inline constexpr char kDamagedFileMessage[] =
    "quorin-sync: the backup file is damaged or is not a backup file\n";

// Each returns 0 on success, 1 on failure (after saying why on `err`).
int backup(const Paths& paths, Counts& counts, std::ostream& err);
// Fails, writing nothing, when there is no backup file yet.
int restore(const Paths& paths, Counts& counts, std::ostream& err);
// What a backup would do, without doing it: writes nothing on either side.
int status(const Paths& paths, Counts& counts, std::ostream& err);
// The desktop store's options dialog; needs a QApplication.
int options(const Paths& paths, std::ostream& err);

}  // namespace quorinsync
