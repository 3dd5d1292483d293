// quorin-sync dav: every record of the handheld pushed to a CalDAV/CardDAV server.
#pragma once

#include <ostream>

namespace quorinsync {

// True when the command word of the line (the first word that is neither an option nor an
// option's value) is "dav".
bool isDavCommand(int argc, char** argv);

// Runs `quorin-sync dav ...`: prints "added N", "changed N", "deleted N" and "conflicts N" on
// `out` once the push has begun. 0 on success; 1 after saying why on `err` (the server
// unreachable or refusing, a malformed answer, the state or password file refused); 2 for a
// wrong command line.
int davCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace quorinsync
