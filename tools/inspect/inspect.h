// Looks at a device root without the program: databases, their records with every property,
// and registry values. Output is plain text (one line a property) or JSON.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace inspect {

// Runs one command line (without the program name); writes to out, errors to err.
// Returns the process exit code: 0 done, 1 not found or failed, 2 bad usage.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace inspect
