// The push state file, as a damaged disk or another program could leave it: refused with the
// line that is wrong, or read into a state that is written back to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "push_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    dav::PushState state;
    std::string error;
    if (!dav::parseState(text, state, error)) {
        if (error.empty() || !state.servers.empty()) std::abort();
        return 0;
    }
    const std::string written = dav::serializeState(state);
    dav::PushState again;
    if (!dav::parseState(written, again, error)) std::abort();
    if (dav::serializeState(again) != written) std::abort();
    return 0;
}
