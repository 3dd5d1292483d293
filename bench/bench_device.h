// What the benchmarks of a device store share: a temporary device root for the run, and the
// yardstick every walk is measured beside.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>

namespace benchdevice {

// Runs this program's benchmarks on a temporary device root named after `name`, removed at the
// end. `prepare` makes the data first, so no timing includes it. Returns main's exit code.
int runOnTemporaryDevice(int argc, char** argv, const std::string& name,
                         const std::function<void()>& prepare);

// The yardstick: the rows of "Quorin Database" read by a plain SQLite scan in the store's
// first sort order, no decoding. `records` rows are counted as items a pass.
void plainSqliteScan(benchmark::State& state, int64_t records);

}  // namespace benchdevice
