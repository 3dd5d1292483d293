// The server's 207 Multi-Status answers (RFC 4918), with the CalDAV and CardDAV properties the
// client asks for. Read as outside input: bounded in size, depth and count.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dav {

inline constexpr size_t kMaxResponses = 20000;
inline constexpr int kMaxDepth = 32;
inline constexpr size_t kMaxTextBytes = 8192;

// One <response>: its resource and the properties the server gave with a 2xx status.
struct DavResource {
    std::string href;  // absolute, resolved against the request's URL
    int status = 0;    // the response's own status (sync-collection's 404), 0 when absent
    std::string etag;
    std::string principal;        // current-user-principal
    std::string calendarHome;     // calendar-home-set (first href)
    std::string addressbookHome;  // addressbook-home-set (first href)
    bool collection = false, calendar = false, addressbook = false;
    bool hasComponentSet = false;  // supported-calendar-component-set was given
    std::vector<std::string> components;
    std::string syncToken;
};

struct Multistatus {
    std::vector<DavResource> resources;
    std::string syncToken;  // sync-collection's token, after the responses
};

// Reads `body`, an answer to a request for `requestUrl`. False, with `error` saying what is
// wrong, when it is not a well-formed multistatus within the bounds; `out` is then partial.
bool parseMultistatus(std::string_view body, const std::string& requestUrl, Multistatus& out,
                      std::string& error);

// `href` resolved against `base`; empty unless the result is an absolute http(s) URL.
std::string resolveHref(const std::string& base, const std::string& href);

// True when both URLs have the same scheme, host and port: credentials go nowhere else.
bool sameOrigin(const std::string& a, const std::string& b);

}  // namespace dav
