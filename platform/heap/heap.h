// The process heap's policy, set once at the start of a program.
#pragma once

namespace heap {

// Keeps up to 2 MiB of freed memory in the process and serves blocks below 1 MiB from the heap,
// instead of glibc's adaptive thresholds from 128 KiB. The screens build and drop a few hundred
// kilobytes of rows on every refresh; with the defaults each refresh gave those pages back to
// the system on free and faulted them in again, one by one, on the next.
void keepFreedMemory();

}  // namespace heap
