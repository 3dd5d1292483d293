// A process status line as the home screen reads it to find the programs it started: the
// process name in it is chosen by whoever started the process.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../../hosts/today/child_programs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    char state = '?';
    pid_t parent = -1;
    if (!childprograms::parseProcStat(line, state, parent)) {
        if (state != '?' || parent != -1) std::abort();  // a refusal changes nothing
        return 0;
    }
    if (parent < 0) std::abort();
    return 0;
}
