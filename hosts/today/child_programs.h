// The programs the home screen's items start (a tap on the Today item starts Quorin) are
// detached, so they would outlive the home screen. The host adopts them instead: as a child
// subreaper it becomes their parent when the starter lets go, reaps those that end, and ends
// the rest when it ends itself.
#pragma once

#include <sys/types.h>

#include <vector>

namespace childprograms {

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
