// The file is text, one record a line, every field percent-escaped so that it holds no space:
//   quorin-dav-state 1
//   server URL / calendar URL|- / addressbook URL|- / collection URL
//   item UID HREF ETAG|- HASH NAME|-
//   end COUNT
// The closing count tells a whole file from one cut short.
#include "push_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <cerrno>
#include <cstring>
#include <vector>

#include "interop/whole_file.h"

namespace dav {

namespace {

constexpr char kMagic[] = "quorin-dav-state 1";
constexpr size_t kMaxField = 4096;

std::string escape(const std::string& s) {
    if (s.empty()) return "-";
    if (s == "-") return "%2D";
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c <= 0x20 || c >= 0x7F || c == '%') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool unescape(std::string_view s, std::string& out) {
    out.clear();
    if (s.empty() || s.size() > 3 * kMaxField) return false;
    if (s == "-") return true;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        const int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return out.size() <= kMaxField;
}

bool isUrl(const std::string& s) {
    return s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0;
}

bool isHash(const std::string& s) {
    if (s.size() != 64) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i <= line.size()) {
        const size_t space = line.find(' ', i);
        const size_t end = space == std::string_view::npos ? line.size() : space;
        out.push_back(line.substr(i, end - i));
        if (space == std::string_view::npos || out.size() > 8) break;
        i = space + 1;
    }
    return out;
}

}  // namespace

std::string contentHash(std::string_view text) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view line = text.substr(start, end - start);
        if (line.rfind("DTSTAMP", 0) != 0 || line.size() < 8 || (line[7] != ':' && line[7] != ';'))
            hash.addData(QByteArrayView(line.data(), qsizetype(line.size())));
        start = end;
    }
    return hash.result().toHex().toStdString();
}

std::string serializeState(const PushState& state) {
    std::string out = std::string(kMagic) + "\n";
    size_t count = 0;
    for (const auto& [url, server] : state.servers) {
        out += "server " + escape(url) + "\n";
        out += "calendar " + escape(server.calendarUrl) + "\n";
        out += "addressbook " + escape(server.addressbookUrl) + "\n";
        for (const auto& [collectionUrl, collection] : server.collections) {
            out += "collection " + escape(collectionUrl) + "\n";
            for (const auto& [uid, item] : collection.items) {
                out += "item " + escape(uid) + " " + escape(item.href) + " " + escape(item.etag) +
                       " " + escape(item.hash) + " " + escape(item.name) + "\n";
                ++count;
            }
        }
    }
    out += "end " + std::to_string(count) + "\n";
    return out;
}

bool parseState(std::string_view text, PushState& out, std::string& error) {
    out = {};
    ServerState* server = nullptr;
    CollectionState* collection = nullptr;
    size_t count = 0, lineNo = 0, start = 0;
    bool ended = false;
    auto bad = [&](const char* why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        out = {};
        return false;
    };
    if (text.size() > kMaxStateBytes) return bad("the file is too large");
    while (start < text.size()) {
        ++lineNo;
        const size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) return bad("the last line is cut short");
        const std::string_view line = text.substr(start, nl - start);
        start = nl + 1;
        if (ended) return bad("content after the end");
        if (lineNo == 1) {
            if (line != kMagic) return bad("not a push state file of this version");
            continue;
        }
        const std::vector<std::string_view> w = words(line);
        std::vector<std::string> f(w.size());
        for (size_t i = 1; i < w.size(); ++i)
            if (!unescape(w[i], f[i])) return bad("a badly escaped field");
        const std::string_view key = w[0];
        if (key == "server" && w.size() == 2) {
            if (!isUrl(f[1])) return bad("a server that is not a URL");
            if (!out.servers.emplace(f[1], ServerState{}).second) return bad("a server twice");
            server = &out.servers[f[1]];
            collection = nullptr;
        } else if ((key == "calendar" || key == "addressbook") && w.size() == 2 && server) {
            if (!f[1].empty() && !isUrl(f[1])) return bad("a collection that is not a URL");
            (key == "calendar" ? server->calendarUrl : server->addressbookUrl) = f[1];
        } else if (key == "collection" && w.size() == 2 && server) {
            if (!isUrl(f[1])) return bad("a collection that is not a URL");
            if (!server->collections.emplace(f[1], CollectionState{}).second)
                return bad("a collection twice");
            collection = &server->collections[f[1]];
        } else if (key == "item" && w.size() == 6 && collection) {
            if (f[1].empty()) return bad("an item without UID");
            if (!isUrl(f[2])) return bad("an item whose address is not a URL");
            if (!isHash(f[4])) return bad("an item without a valid hash");
            if (++count > kMaxStateItems) return bad("too many items");
            if (!collection->items.emplace(f[1], StateItem{f[2], f[3], f[4], f[5]}).second)
                return bad("a UID twice in one collection");
        } else if (key == "end" && w.size() == 2) {
            if (w[1] != std::to_string(count)) return bad("the item count does not match");
            ended = true;
        } else {
            return bad("a line that is not understood");
        }
    }
    if (lineNo == 0) return bad("the file is empty");
    if (!ended) return bad("the file is cut short");
    return true;
}

bool loadState(const std::filesystem::path& file, PushState& out, std::string& error) {
    out = {};
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = file.string() + " cannot be read: " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    std::string text;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && size_t(st.st_size) <= kMaxStateBytes;
    if (ok) {
        text.resize(size_t(st.st_size));
        size_t got = 0;
        while (ok && got < text.size()) {
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n <= 0)
                ok = false;
            else
                got += size_t(n);
        }
    }
    ::close(fd);
    if (!ok) {
        error = file.string() + " cannot be read (not a regular file, or too large)";
        return false;
    }
    std::string why;
    if (!parseState(text, out, why)) {
        error = file.string() + " is damaged (" + why +
                "); nothing was sent. Move it away to push every record again as new";
        return false;
    }
    return true;
}

bool saveState(const std::filesystem::path& file, const PushState& state, std::string& error) {
    return interop::writeWholeFile(file, serializeState(state), 0600, error);
}

}  // namespace dav
