// Failures on command for tests: the next matching registry calls fail.
#pragma once

namespace reg::faults {
// Open: Key::open. Create: Key::create. Query: query, queryString, queryDword, valueNames,
// keyPaths. Set: set, setString, setDword, remove, deleteKey. Profile calls go through these.
enum class Op { Any, Open, Create, Query, Set };
// The next `times` calls matching `op` fail (-1: every one until clear()).
void arm(Op op, int times = 1);
void clear();
}  // namespace reg::faults
