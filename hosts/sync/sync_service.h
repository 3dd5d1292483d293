// The synchronisation services of both sides in one program: it loads the handheld provider
// and the desktop store by path and carries packets, deletions and the volume query between
// them, keeping the map of handheld objects to desktop items in the desktop registry.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

namespace quorinsync {

struct Paths {
    std::string handrepl;  // the handheld provider library
    std::string deskrepl;  // the desktop store library
};

struct Counts {
    int added = 0;    // objects new to the other side
    int changed = 0;  // objects written over their copy
    int deleted = 0;
};

// Each returns 0 on success, 1 on failure (after saying why on `err`).
int backup(const Paths& paths, Counts& counts, std::ostream& err);
int restore(const Paths& paths, Counts& counts, std::ostream& err);
// What a backup would send, without sending it.
int status(const Paths& paths, Counts& counts, std::ostream& err);
// The desktop store's options dialog; needs a QApplication.
int options(const Paths& paths, std::ostream& err);

}  // namespace quorinsync
