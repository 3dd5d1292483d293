#include "client.h"

namespace dav {

bool Client::send(const HttpRequest& request, HttpResponse& response) {
    std::string why;
    response = {};
    if (transport_.send(request, response, why)) return true;
    error_ = "the server cannot be reached (" + request.method + " " + request.url + "): " + why;
    return false;
}

void Client::statusError(long status, const std::string& what) {
    if (status == 401)
        error_ = "the server refused the user name or password (401 for " + what + ")";
    else if (status == 403)
        error_ = "the server refused access (403 for " + what + ")";
    else
        error_ = "the server answered " + std::to_string(status) + " to " + what;
}

bool Client::propfind(const std::string& url, int depth, const std::string& props, Multistatus& out,
                      bool followRedirects, long* status) {
    HttpRequest request;
    request.method = "PROPFIND";
    request.url = url;
    request.followRedirects = followRedirects;
    request.headers = {{"Depth", std::to_string(depth)},
                       {"Content-Type", "application/xml; charset=utf-8"}};
    request.body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<D:propfind xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\""
        " xmlns:CR=\"urn:ietf:params:xml:ns:carddav\"><D:prop>" +
        props + "</D:prop></D:propfind>";
    HttpResponse response;
    if (!send(request, response)) return false;
    if (status) *status = response.status;
    if (response.status != 207) {
        statusError(response.status, "PROPFIND " + url);
        return false;
    }
    std::string why;
    if (!parseMultistatus(response.body, response.url, out, why)) {
        error_ = why + " (PROPFIND " + url + ")";
        return false;
    }
    return true;
}

std::string Client::etagOf(const std::string& url) {
    Multistatus ms;
    if (!propfind(url, 0, "<D:getetag/>", ms)) return {};
    for (const DavResource& r : ms.resources)
        if (!r.etag.empty()) return r.etag;
    error_ = "the server gave no ETag for " + url;
    return {};
}

}  // namespace dav
