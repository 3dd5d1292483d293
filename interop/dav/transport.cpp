// libcurl rather than Qt Network: the command is synchronous and needs no event loop, and one
// reused easy handle keeps the connection open across a thousand PUTs.
#include "transport.h"

#include <curl/curl.h>

#include <cctype>
#include <mutex>

namespace dav {

namespace {

struct Received {
    std::string body;
    std::string etag;
    bool tooLong = false;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Received*>(user);
    const size_t n = size * count;
    if (r->body.size() + n > kMaxAnswerBytes) {
        r->tooLong = true;
        return 0;  // makes curl stop with a write error
    }
    r->body.append(data, n);
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Received*>(user);
    const size_t n = size * count;
    std::string line(data, n);
    // A redirect's headers come first; only the final answer's ETag counts.
    if (line.rfind("HTTP/", 0) == 0) r->etag.clear();
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return n;
    std::string name = line.substr(0, colon);
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (name != "etag") return n;
    std::string value = line.substr(colon + 1);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.front())))
        value.erase(value.begin());
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
        value.pop_back();
    if (value.size() <= 1024) r->etag = value;
    return n;
}

class CurlTransport : public Transport {
public:
    explicit CurlTransport(const CurlOptions& options) : options_(options) {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        handle_ = curl_easy_init();
    }
    ~CurlTransport() override {
        if (handle_) curl_easy_cleanup(handle_);
    }

    bool send(const HttpRequest& request, HttpResponse& response, std::string& error) override {
        if (!handle_) {
            error = "the HTTP library cannot be started";
            return false;
        }
        CURL* h = handle_;
        Received received;
        // Back to a plain GET, so that nothing of the previous request's body or verb stays.
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, nullptr);
        curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, options_.connectTimeoutSeconds);
        curl_easy_setopt(h, CURLOPT_TIMEOUT, options_.timeoutSeconds);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!options_.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, options_.caFile.c_str());
        if (!options_.user.empty()) {
            curl_easy_setopt(h, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
            curl_easy_setopt(h, CURLOPT_USERNAME, options_.user.c_str());
            curl_easy_setopt(h, CURLOPT_PASSWORD, options_.password.c_str());
        }
        if (request.method != "GET") {
            if (!request.body.empty() || request.method == "PUT") {
                curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
                curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
            }
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        }
        curl_slist* headers = curl_slist_append(nullptr, "Expect:");
        for (const auto& [name, value] : request.headers)
            headers = curl_slist_append(headers, (name + ": " + value).c_str());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &received);
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, &received);

        const CURLcode rc = curl_easy_perform(h);
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
        curl_slist_free_all(headers);
        if (rc != CURLE_OK) {
            error = received.tooLong ? "the server's answer is longer than 4 MiB"
                                     : std::string(curl_easy_strerror(rc));
            return false;
        }
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
        char* effective = nullptr;
        curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
        response.url = effective ? effective : request.url;
        response.etag = std::move(received.etag);
        response.body = std::move(received.body);
        return true;
    }

private:
    CurlOptions options_;
    CURL* handle_ = nullptr;
};

}  // namespace

std::unique_ptr<Transport> makeCurlTransport(const CurlOptions& options) {
    return std::make_unique<CurlTransport>(options);
}

bool CountingTransport::send(const HttpRequest& request, HttpResponse& response,
                             std::string& error) {
    ++total_;
    ++counts_[request.method];
    if (failFrom_ > 0 && total_ >= failFrom_) {
        error = "Couldn't connect to server (fault armed by a test)";
        return false;
    }
    return inner_.send(request, response, error);
}

int CountingTransport::count(const std::string& method) const {
    const auto it = counts_.find(method);
    return it == counts_.end() ? 0 : it->second;
}

}  // namespace dav
