#pragma once

#include <atomic>
#include <string>

#include "faults.h"

namespace cedb::faults {
// Set while any rule is armed, so that the usual case costs every call one load.
extern std::atomic<bool> armed;
Error checkArmed(Op op, const std::u16string& database);

// The error an armed rule imposes on this call, or Error::None.
inline Error check(Op op, const std::u16string& database) {
    return armed.load(std::memory_order_relaxed) ? checkArmed(op, database) : Error::None;
}
}  // namespace cedb::faults
