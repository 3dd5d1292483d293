// The CalDAV/CardDAV requests the push makes, over a Transport: each either gets the answer it
// needs or fails with a message for the user (no connection, credentials refused, an answer that
// is malformed or not the one asked for).
#pragma once

#include <string>

#include "multistatus.h"
#include "transport.h"

namespace dav {

class Client {
public:
    explicit Client(Transport& transport) : transport_(transport) {}

    // Sends the request; false, with error() set, when no answer came.
    bool send(const HttpRequest& request, HttpResponse& response);
    // PROPFIND of `props` (XML elements, namespaces D, C and CR declared) at `url` with the
    // depth given; false, with error() set, unless the server answered 207 with a readable
    // multistatus. `status` (when given) takes the HTTP status of any answer.
    bool propfind(const std::string& url, int depth, const std::string& props, Multistatus& out,
                  bool followRedirects = false, long* status = nullptr);
    // The ETag of one resource, by PROPFIND; empty, with error() set, when it cannot be had.
    std::string etagOf(const std::string& url);

    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }
    // Says what an unexpected HTTP status means, for `what` ("PROPFIND https://...").
    void statusError(long status, const std::string& what);

private:
    Transport& transport_;
    std::string error_;
};

}  // namespace dav
