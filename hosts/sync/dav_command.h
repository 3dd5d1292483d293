// quorin-sync dav: every record of the handheld pushed to a CalDAV/CardDAV server.
#pragma once

#include <ostream>
#include <string>

namespace quorinsync {

// The options of the command line, each empty when not given.
struct DavRequest {
    std::string url, user, passwordFile, calendarUrl, addressbookUrl, caFile;
    bool rscale = false;
};

// Runs `quorin-sync dav ...`: prints "added N", "changed N", "deleted N" and "conflicts N" on
// `out` once the push has begun. 0 on success; 1 after saying why on `err` (the server
// unreachable or refusing, a malformed answer, the state or password file refused); 2 for a
// wrong command line.
int davCommand(const DavRequest& request, std::ostream& out, std::ostream& err);

}  // namespace quorinsync
