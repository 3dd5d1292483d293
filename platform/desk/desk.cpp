#include "desk/desk.h"

#include <fcntl.h>
#include <iconv.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "clock/clock.h"
#include "fs/devfs.h"
#include "registry/registry.h"

namespace fs = std::filesystem;

namespace desk {

// ---- Paths and clock ---------------------------------------------------------------------------

fs::path desktopRoot() { return devfs::desktopRoot(); }

fs::path hostPath(std::u16string_view path) {
    path = path.substr(0, path.find(u'\0'));
    const bool drive = path.size() >= 2 && path[1] == u':' && path[0] < 0x80 &&
                       std::isalpha(int(path[0]));
    if (!drive && path.find(u'\\') == std::u16string_view::npos)
        return fs::path(devfs::toUtf8(path));
    fs::path host = desktopRoot();
    if (drive) {
        host /= std::string(1, char(std::tolower(int(path[0]))));
        path.remove_prefix(2);
    }
    while (!path.empty()) {
        const size_t cut = path.find_first_of(u"\\/");
        const std::u16string_view part = path.substr(0, cut);
        if (!part.empty() && part != u"." && part != u"..") host /= devfs::toUtf8(part);
        if (cut == std::u16string_view::npos) break;
        path.remove_prefix(cut + 1);
    }
    return host;
}

cedb::FileTime localFileTime() {
    const auto now = std::chrono::system_clock::now();
    const time_t secs = std::chrono::system_clock::to_time_t(now);
    struct tm tm {};
    localtime_r(&secs, &tm);
    const int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                           now.time_since_epoch()).count() % 1000);
    clk::SystemTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = std::min(tm.tm_sec, 59);
    t.millisecond = ms;
    return clk::toFileTime(t).value_or(cedb::FileTime{});
}

// ---- ANSI code page ------------------------------------------------------------------------------

namespace {

// One converter per direction and thread; iconv_open is far dearer than a conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != iconv_t(-1)) iconv_close(cd_);
    }
    iconv_t get() {
        if (cd_ != iconv_t(-1)) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string toAnsi(std::u16string_view text, size_t maxBytes, bool* cut) {
    thread_local Converter conv("CP949", "UTF-16LE");
    text = text.substr(0, text.find(u'\0'));
    std::string out;
    const size_t room = maxBytes == 0 ? 0 : maxBytes - 1;
    size_t i = 0;
    while (i < text.size()) {
        // One character at a time, so that a cut falls between characters.
        size_t units = 1;
        if ((text[i] & 0xFC00) == 0xD800 && i + 1 < text.size() && (text[i + 1] & 0xFC00) == 0xDC00)
            units = 2;
        char enc[8];
        size_t encLen = 0;
        if (text[i] < 0x80) {
            enc[0] = char(text[i]);
            encLen = 1;
        } else {
            iconv_t cd = conv.get();
            char16_t in[2] = {text[i], units == 2 ? text[i + 1] : u'\0'};
            char* inp = reinterpret_cast<char*>(in);
            size_t inLeft = units * 2;
            char* outp = enc;
            size_t outLeft = sizeof enc;
            if (cd == iconv_t(-1) || iconv(cd, &inp, &inLeft, &outp, &outLeft) == size_t(-1) ||
                inLeft != 0) {
                enc[0] = '?';
                encLen = 1;
            } else {
                encLen = sizeof enc - outLeft;
            }
        }
        if (out.size() + encLen > room) break;
        out.append(enc, encLen);
        i += units;
    }
    if (cut) *cut = i < text.size();
    return out;
}

std::u16string fromAnsi(const char* bytes, size_t size) {
    thread_local Converter conv("UTF-16LE", "CP949");
    const size_t len = std::find(bytes, bytes + size, '\0') - bytes;
    std::u16string out;
    out.reserve(len);
    size_t i = 0;
    while (i < len) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            out.push_back(char16_t(bytes[i++]));
            continue;
        }
        // A double-byte character: two bytes, or one when it cannot be decoded.
        iconv_t cd = conv.get();
        char16_t buf[4];
        char* inp = const_cast<char*>(bytes + i);
        size_t inLeft = std::min<size_t>(2, len - i);
        char* outp = reinterpret_cast<char*>(buf);
        size_t outLeft = sizeof buf;
        const size_t before = inLeft;
        const size_t r =
            cd == iconv_t(-1) ? size_t(-1) : iconv(cd, &inp, &inLeft, &outp, &outLeft);
        const size_t used = before - inLeft;
        if (r == size_t(-1) && used == 0) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        out.append(buf, (sizeof buf - outLeft) / 2);
        i += used;
    }
    return out;
}

// ---- Shared memory -------------------------------------------------------------------------------

namespace {

// "/quorin.<hash of the desktop root>.<name>": the objects of one desktop.
std::string sharedName(std::string_view name) {
    const std::string root = fs::absolute(desktopRoot()).lexically_normal().string();
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : root) h = (h ^ c) * 1099511628211ull;
    char hex[17];
    snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    std::string clean;
    for (char c : name) clean.push_back(c == '/' ? '_' : c);
    return "/quorin." + std::string(hex) + "." + clean;
}

// Opens or creates a shared object of `size` bytes and runs `init` once in its life, while
// holding an flock on it, so that two processes never both initialise it or see it half made.
void* openShared(std::string_view name, size_t size, int* fdOut,
                 const std::function<void(void*)>& init) {
    const std::string shm = sharedName(name);
    const int fd = shm_open(shm.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    if (flock(fd, LOCK_EX) != 0) {
        close(fd);
        return nullptr;
    }
    struct stat st {};
    bool fresh = false;
    if (fstat(fd, &st) != 0 || (size_t(st.st_size) < size && (fresh = true, ftruncate(fd, off_t(size)) != 0))) {
        flock(fd, LOCK_UN);
        close(fd);
        return nullptr;
    }
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        flock(fd, LOCK_UN);
        close(fd);
        return nullptr;
    }
    if (fresh && init) init(p);
    flock(fd, LOCK_UN);
    *fdOut = fd;
    return p;
}

long futexWait(std::atomic<uint32_t>* word, uint32_t expected, const timespec* rel, bool shared) {
    return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word),
                   shared ? FUTEX_WAIT : FUTEX_WAIT_PRIVATE, expected, rel, nullptr, 0);
}
void futexWake(std::atomic<uint32_t>* word, int count, bool shared) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), shared ? FUTEX_WAKE : FUTEX_WAKE_PRIVATE,
            count, nullptr, nullptr, 0);
}

using Clock = std::chrono::steady_clock;

}  // namespace

void unlinkNamed(std::string_view name) { shm_unlink(sharedName(name).c_str()); }

// ---- Named mutex ---------------------------------------------------------------------------------

struct NamedMutex::Shared {
    pthread_mutex_t mutex;
};

std::unique_ptr<NamedMutex> NamedMutex::open(std::string_view name) {
    int fd = -1;
    void* p = openShared(name, sizeof(Shared), &fd, [](void* mem) {
        pthread_mutexattr_t attr;
        pthread_mutexattr_init(&attr);
        pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
        pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
        pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
        pthread_mutex_init(&static_cast<Shared*>(mem)->mutex, &attr);
        pthread_mutexattr_destroy(&attr);
    });
    if (!p) return nullptr;
    return std::unique_ptr<NamedMutex>(new NamedMutex(fd, static_cast<Shared*>(p)));
}

NamedMutex::NamedMutex(int fd, Shared* shared) : fd_(fd), shared_(shared) {}

NamedMutex::~NamedMutex() {
    munmap(shared_, sizeof(Shared));
    close(fd_);
}

LockResult NamedMutex::lock(int timeoutMs) {
    timespec until {};
    clock_gettime(CLOCK_REALTIME, &until);
    const int64_t ns = int64_t(until.tv_nsec) + int64_t(std::max(timeoutMs, 0)) * 1000000;
    until.tv_sec += time_t(ns / 1000000000);
    until.tv_nsec = long(ns % 1000000000);
    const int rc = pthread_mutex_timedlock(&shared_->mutex, &until);
    switch (rc) {
        case 0:
            return LockResult::Acquired;
        case EOWNERDEAD:
            // The owner died holding it: take it over; the caller checks what it guarded.
            pthread_mutex_consistent(&shared_->mutex);
            return LockResult::Abandoned;
        case ETIMEDOUT:
            return LockResult::TimedOut;
        default:
            return LockResult::Failed;
    }
}

bool NamedMutex::unlock() { return pthread_mutex_unlock(&shared_->mutex) == 0; }

// ---- Events ----------------------------------------------------------------------------------------

std::unique_ptr<Event> Event::open(std::string_view name) {
    int fd = -1;
    void* p = openShared(name, sizeof(std::atomic<uint32_t>), &fd, nullptr);
    if (!p) return nullptr;
    return std::unique_ptr<Event>(new Event(fd, static_cast<std::atomic<uint32_t>*>(p)));
}

std::unique_ptr<Event> Event::createLocal() {
    return std::unique_ptr<Event>(new Event(-1, new std::atomic<uint32_t>(0)));
}

Event::Event(int fd, std::atomic<uint32_t>* word) : fd_(fd), word_(word) {}

Event::~Event() {
    if (fd_ < 0) {
        delete word_;
    } else {
        munmap(word_, sizeof(std::atomic<uint32_t>));
        close(fd_);
    }
}

void Event::set() {
    word_->store(1);
    futexWake(word_, 1, fd_ >= 0);
}

bool Event::wait(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        uint32_t expected = 1;
        if (word_->compare_exchange_strong(expected, 0)) return true;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return false;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec rel{time_t(ns / 1000000000), long(ns % 1000000000)};
        futexWait(word_, 0, &rel, fd_ >= 0);
    }
}

int waitAny(Event& first, Event& second, int timeoutMs) {
    // The second event is waited on in short slices, and the first looked at between them:
    // a futex waits on one word only.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (first.wait(0)) return 0;
        int slice = 20;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return second.wait(0) ? 1 : -1;
            slice = int(std::min<int64_t>(slice, left.count()));
        }
        if (second.wait(slice)) return first.wait(0) ? (second.set(), 0) : 1;
    }
}

// ---- File mapping ----------------------------------------------------------------------------------

std::unique_ptr<FileMapping> FileMapping::open(const fs::path& path, size_t size, Status* status) {
    Status dummy;
    Status& st = status ? *status : dummy;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        st = errno == ENOENT ? Status::Missing : Status::Failed;
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || size_t(info.st_size) != size) {
        st = S_ISREG(info.st_mode) ? Status::WrongSize : Status::Failed;
        close(fd);
        return nullptr;
    }
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        st = Status::Failed;
        close(fd);
        return nullptr;
    }
    st = Status::Ok;
    return std::unique_ptr<FileMapping>(new FileMapping(fd, static_cast<uint8_t*>(p), size));
}

bool FileMapping::create(const fs::path& path, size_t size,
                         const std::function<void(uint8_t*)>& fill) {
    std::vector<uint8_t> bytes(size, 0);
    if (fill) fill(bytes.data());
    const fs::path temp = path.string() + ".new-" + std::to_string(getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes.data() + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    const bool written = done == size && fsync(fd) == 0;
    close(fd);
    // link() never replaces: a file made meanwhile by someone else stays.
    const bool placed = written && link(temp.c_str(), path.c_str()) == 0;
    unlink(temp.c_str());
    if (placed) {
        const int dir = ::open(path.parent_path().empty() ? "." : path.parent_path().c_str(),
                               O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    return placed;
}

FileMapping::~FileMapping() {
    munmap(data_, size_);
    close(fd_);
}

bool FileMapping::flush() { return msync(data_, size_, MS_SYNC) == 0; }

// ---- Desktop registry ------------------------------------------------------------------------------

DeviceSettings readDeviceSettings() {
    DeviceSettings s;
    const auto key = reg::Key::open(reg::Hive::CurrentUser, kDeviceKey, reg::Store::Desktop);
    if (!key) return s;
    s.quorinFile = key->queryString(kQuorinFileValue);
    s.syncOption = key->queryDword(kSyncOptionValue).value_or(0);
    return s;
}

std::u16string backupFilePath(const DeviceSettings& settings) {
    if (settings.quorinFile && !settings.quorinFile->empty())
        return settings.quorinFile->substr(0, 259);
    return kDefaultQuorinFile;
}

bool writeDeviceSettings(const std::u16string& quorinFile, uint32_t syncOption) {
    auto key = reg::Key::create(reg::Hive::CurrentUser, kDeviceKey, nullptr, reg::Store::Desktop);
    return key && key->setString(kQuorinFileValue, quorinFile) &&
           key->setDword(kSyncOptionValue, syncOption);
}

}  // namespace desk
