#pragma once

#include <string>

#include "faults.h"

namespace cedb::faults {
// The error an armed rule imposes on this call, or Error::None.
Error check(Op op, const std::u16string& database);
}  // namespace cedb::faults
