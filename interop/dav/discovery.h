// Finding the user's calendar and address book from a server's URL (RFC 6764, 5397, 4791,
// 6352): the current user's principal, its calendar and address book homes, and the first
// calendar that holds events and the first address book in them; each created when there is
// none. Every collection found must be on the same host as the URL, since the credentials go to it.
#pragma once

#include <string>

#include "client.h"

namespace dav {

struct Collections {
    std::string calendar;     // absolute URL ending in "/", empty: not asked for
    std::string addressbook;  // likewise
};

// Fills the collections of `out` that are empty; those already set are kept. False, with
// client.error() set, when the server cannot say or refuses to create one.
bool discover(Client& client, const std::string& url, Collections& out);

// `url` with a "/" at its end.
std::string asCollection(std::string url);

}  // namespace dav
