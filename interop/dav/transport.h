// HTTP for the CalDAV/CardDAV client: one request at a time, answered in full or failed with a
// reason. The real transport is libcurl; tests wrap it to count requests and to make them fail.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dav {

// Answers longer than this are a failure: what the server sends is outside input.
inline constexpr size_t kMaxAnswerBytes = 4 * 1024 * 1024;

struct HttpRequest {
    std::string method;  // GET, PUT, DELETE, PROPFIND, REPORT, MKCALENDAR, MKCOL
    std::string url;     // absolute http(s) URL
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool followRedirects = false;  // only discovery's well-known addresses redirect
};

struct HttpResponse {
    long status = 0;
    std::string url;  // where the answer came from, after any redirect
    std::string etag;
    std::string body;
};

class Transport {
public:
    virtual ~Transport() = default;
    // Sends the request and takes the whole answer. False, with `error` saying why, when no
    // complete answer came (no connection, a certificate refused, a timeout, an answer too long);
    // an HTTP error status is an answer, not a failure.
    virtual bool send(const HttpRequest& request, HttpResponse& response, std::string& error) = 0;
};

struct CurlOptions {
    std::string user;
    std::string password;
    std::string caFile;  // certificate authority file; empty: the system's
    long connectTimeoutSeconds = 10;
    long timeoutSeconds = 60;  // for one whole request
};

// libcurl with one easy handle for every request, so the connection is kept when the server
// allows it. Certificates and host names are always verified.
std::unique_ptr<Transport> makeCurlTransport(const CurlOptions& options);

// Wraps a transport: counts requests by method, and fails every request from the `n`th (1-based)
// on when armed, as an unreachable server would.
class CountingTransport : public Transport {
public:
    explicit CountingTransport(Transport& inner) : inner_(inner) {}
    bool send(const HttpRequest& request, HttpResponse& response, std::string& error) override;
    void failFrom(int n) { failFrom_ = n; }
    int count(const std::string& method) const;
    int total() const { return total_; }
    void reset() { counts_.clear(), total_ = 0; }

private:
    Transport& inner_;
    std::map<std::string, int> counts_;
    int total_ = 0;
    int failFrom_ = 0;
};

}  // namespace dav
