// The programs the home screen's items start (a tap on the Today item starts Quorin) are
// detached, so they would outlive the home screen. The host adopts them instead: as a child
// subreaper it becomes their parent when the starter lets go, reaps those that end, and ends
// the rest when it ends itself.
#pragma once

#include <sys/types.h>

#include <string_view>
#include <vector>

namespace childprograms {

// One line of /proc/<pid>/stat: "pid (name) state parent ...". The name is the process's own
// choice and may hold blanks and parentheses, so the fields are read after its last ')'.
// False, with `state` and `parent` unchanged, for a line of another form.
bool parseProcStat(std::string_view line, char& state, pid_t& parent);

// Makes this process the parent of every orphan among its descendants. False when the
// system refuses.
bool adoptDescendants();
// The processes whose parent this process is, live or ended but not yet reaped.
std::vector<pid_t> children();
// Reaps the children that have ended; returns how many.
int reapEnded();
// Asks every child to end (SIGTERM), waits up to `graceMs` for them, then kills those left;
// returns how many were running.
int endAll(int graceMs = 3000);

}  // namespace childprograms
