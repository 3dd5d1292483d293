// A CalDAV/CardDAV server's 207 answer, whatever it holds: read or refused with a message, never
// a crash, and what is read stays within its bounds and names only http(s) addresses.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "multistatus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    dav::Multistatus out;
    std::string error;
    if (!dav::parseMultistatus(body, "http://127.0.0.1:5232/anna/calendar/", out, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (out.resources.size() > dav::kMaxResponses) std::abort();
    auto bounded = [](const std::string& s) { return s.size() <= dav::kMaxTextBytes * 4; };
    auto web = [](const std::string& s) {
        return s.empty() || s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0;
    };
    for (const dav::DavResource& r : out.resources) {
        if (r.href.empty() || !web(r.href) || !web(r.principal) || !web(r.calendarHome) ||
            !web(r.addressbookHome))
            std::abort();
        if (!bounded(r.etag) || !bounded(r.syncToken) || r.components.size() > 64) std::abort();
    }
    return 0;
}
