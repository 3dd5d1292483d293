#include "devfs.h"

#include <fcntl.h>
#include <locale.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

namespace devfs {
namespace fs = std::filesystem;

namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::string envOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

fs::path homeDir() {
    std::string home = envOrEmpty("HOME");
    if (!home.empty()) return home;
    // Services started without a login environment still have a passwd entry.
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return fs::temp_directory_path();
}

fs::path dataHome() {
    // A relative XDG_DATA_HOME is to be ignored, as the XDG base directories say.
    fs::path xdg = envOrEmpty("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.is_absolute()) return xdg;
    return homeDir() / ".local" / "share";
}

fs::path rootFrom(const char* variable, const char* leaf) {
    fs::path p = envOrEmpty(variable);
    if (p.empty()) p = dataHome() / "quorin" / leaf;
    // Absolute, so that one root always yields one path (the registry caches connections by it).
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    return (ec ? p : abs).lexically_normal();
}

// Next code point of UTF-16 text at `i`; a lone surrogate yields U+FFFD.
char32_t nextCodePoint(std::u16string_view s, size_t& i) {
    char32_t c = s[i++];
    if (c >= 0xD800 && c <= 0xDBFF) {
        if (i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
            return 0x10000 + ((c - 0xD800) << 10) + (s[i++] - 0xDC00);
        }
        return kReplacement;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) return kReplacement;
    return c;
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(char16_t(c));
    } else {
        c -= 0x10000;
        out.push_back(char16_t(0xD800 + (c >> 10)));
        out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    }
}

// Decodes UTF-8; malformed sequences (overlong forms, surrogates, beyond U+10FFFF, cut short)
// become U+FFFD and clear `valid`.
std::u16string decodeUtf8(std::string_view s, bool* valid) {
    std::u16string out;
    out.reserve(s.size());
    bool ok = true;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        int extra;
        char32_t c;
        char32_t min;
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, c = b & 0x07, min = 0x10000;
        } else {
            out.push_back(char16_t(kReplacement));
            ok = false;
            ++i;
            continue;
        }
        size_t j = i + 1;
        for (; j < s.size() && j <= i + size_t(extra); ++j) {
            unsigned char t = static_cast<unsigned char>(s[j]);
            if ((t & 0xC0) != 0x80) break;
            c = (c << 6) | (t & 0x3F);
        }
        if (j != i + 1 + size_t(extra) || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(char16_t(kReplacement));
            ok = false;
            i = std::max(j, i + 1);
            continue;
        }
        appendUtf16(out, c);
        i = j;
    }
    if (valid) *valid = ok;
    return out;
}

locale_t utf8Locale() {
    // Full Unicode case mapping without touching the process's global locale.
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return loc;
}

char32_t upper(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    locale_t loc = utf8Locale();
    return loc ? char32_t(towupper_l(wint_t(c), loc)) : c;
}

std::u32string foldedCodePoints(std::u16string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) out.push_back(upper(nextCodePoint(s, i)));
    return out;
}

// A device API reads its path up to the first zero, as from a C string.
std::u16string_view upToZero(std::u16string_view s) {
    return s.substr(0, s.find(u'\0'));
}

}  // namespace

fs::path deviceRoot() {
    return rootFrom("QUORIN_DEVICE", "device");
}
fs::path desktopRoot() {
    return rootFrom("QUORIN_DESKTOP", "desktop");
}
fs::path objectStoreFile() {
    return deviceRoot() / "objectstore.db";
}
fs::path desktopRegistryFile() {
    return desktopRoot() / "registry.db";
}

std::u16string modulePath() {
    return u"\\Program Files\\Quorin\\Quorin.exe";
}

std::u16string folderOf(const std::u16string& devicePath) {
    size_t cut = devicePath.find_last_of(u"\\/");
    return cut == std::u16string::npos ? std::u16string() : devicePath.substr(0, cut);
}

fs::path toHost(const std::u16string& devicePath) {
    fs::path host = deviceRoot();
    std::u16string_view rest = upToZero(devicePath);
    while (!rest.empty()) {
        size_t cut = rest.find_first_of(u"\\/");
        std::u16string_view part = rest.substr(0, cut);
        rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
        if (part.empty() || part == u"." || part == u"..") continue;
        host /= toUtf8(part);
    }
    return host;
}

bool matchPattern(std::u16string_view name, std::u16string_view pattern) {
    if (pattern == u"*.*") pattern = u"*";
    std::u32string n = foldedCodePoints(name);
    std::u32string p = foldedCodePoints(pattern);
    // Greedy match that backtracks only to the last "*": linear in practice, O(n*m) at worst,
    // never recursive.
    size_t ni = 0, pi = 0, starP = std::u32string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == U'?' || (p[pi] != U'*' && p[pi] == n[ni]))) {
            ++ni, ++pi;
        } else if (pi < p.size() && p[pi] == U'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*') ++pi;
    return pi == p.size();
}

namespace {
std::atomic<int> g_failFind{0};
std::atomic<int> g_failCreate{0};

// Consumes one armed failure; -1 fails until cleared.
bool failNow(std::atomic<int>& armed) {
    int n = armed.load();
    while (n != 0) {
        if (n < 0 || armed.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
}
}  // namespace

void faults::arm(Op op, int times) {
    (op == Op::FindFiles ? g_failFind : g_failCreate) = times;
}

void faults::clear() {
    g_failFind = 0;
    g_failCreate = 0;
}

std::vector<std::u16string> findFiles(const std::u16string& deviceFolder,
                                      const std::u16string& pattern) {
    std::vector<std::u16string> names;
    if (failNow(g_failFind)) return names;
    std::u16string_view pat = upToZero(pattern);
    // A pattern names files in this folder only; a separator would reach into another.
    if (pat.empty() || pat.find_first_of(u"\\/") != std::u16string_view::npos) return names;

    std::error_code ec;
    fs::directory_iterator it(toHost(deviceFolder), ec);
    if (ec) return names;
    for (const fs::directory_entry& entry : it) {
        std::error_code fileEc;
        if (!entry.is_regular_file(fileEc)) continue;
        bool valid = false;
        std::u16string name = decodeUtf8(entry.path().filename().native(), &valid);
        // A host name that is not UTF-8 could not be opened again by its device name.
        if (valid && matchPattern(name, pat)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        std::u32string fa = foldedCodePoints(a), fb = foldedCodePoints(b);
        return fa != fb ? fa < fb : a < b;
    });
    return names;
}

bool createFolder(const std::u16string& deviceFolder) {
    if (failNow(g_failCreate)) return false;
    fs::path host = toHost(deviceFolder);
    std::error_code ec;
    fs::create_directories(host, ec);
    return fs::is_directory(host, ec);
}

int openRegularFile(const fs::path& hostPath, uint64_t* size) {
    // Without O_NONBLOCK the open itself waits for a writer of a named pipe.
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // Reads of a regular file never wait; the flag goes only so that the file reads as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (size) *size = uint64_t(st.st_size);
    return fd;
}

std::optional<std::string> readRegularFile(const fs::path& hostPath, size_t maxBytes,
                                           uint64_t* size) {
    uint64_t whole = 0;
    const int fd = openRegularFile(hostPath, &whole);
    if (fd < 0) return std::nullopt;
    if (size) *size = whole;
    std::string bytes(size_t(std::min<uint64_t>(whole, maxBytes)), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n <= 0) break;
        got += size_t(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

size_t maxNameBytes(const fs::path& hostFolder) {
    fs::path folder = hostFolder;
    std::error_code ec;
    while (!folder.empty() && !fs::is_directory(folder, ec) && folder != folder.parent_path())
        folder = folder.parent_path();
    errno = 0;
    const long limit = folder.empty() ? -1 : ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? size_t(limit) : size_t(NAME_MAX);
}

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = nextCodePoint(text, i);
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    return decodeUtf8(text, nullptr);
}

std::u16string upperCase(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) appendUtf16(out, upper(nextCodePoint(text, i)));
    return out;
}

}  // namespace devfs
