// Failures on command for tests: the next matching registry calls fail.
#pragma once

namespace reg::faults {
enum class Op { Any, Open, Create, Query, Set };
void arm(Op op, int times = 1);
void clear();
}  // namespace reg::faults
