// The incremental push of the handheld's objects to a CalDAV/CardDAV server: new objects are
// created (If-None-Match: *), changed ones replaced and gone ones deleted (If-Match: the ETag the
// last push left), so that nothing changed on the server since is ever overwritten; such a
// resource is a conflict, left as the server has it.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "interop/exported_objects.h"
#include "transport.h"

namespace dav {

struct PushOptions {
    std::string serverUrl;       // what the user gave; the push state is kept under it
    std::string calendarUrl;     // given directly; empty: discovered (and remembered)
    std::string addressbookUrl;  // likewise
};

struct PushCounts {
    int added = 0, changed = 0, deleted = 0, conflicts = 0;
};

// Pushes `objects` (every record of the handheld) and keeps `stateFile` up to date after each
// resource, so that a run cut off leaves every unfinished resource to the next run. Conflicts
// are listed on `err` as "UID name" lines. False, after saying why on `err`, on any failure
// (unreachable server, credentials refused, a malformed answer, a damaged state file, an
// object the server refused); counts hold what was done until then.
bool push(Transport& transport, const std::vector<interop::ExportedObject>& objects,
          const PushOptions& options, const std::filesystem::path& stateFile, PushCounts& counts,
          std::ostream& err);

}  // namespace dav
