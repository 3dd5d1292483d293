// The desktop's primitives: named synchronisation objects shared by every process of one
// desktop, the file mapping of a fixed-size file, threads joined on release, the desktop's
// paths and clock, and its ANSI code page.
//
// Named objects live in POSIX shared memory, never inside a persistent file, under names
// scoped to the desktop root: two desktop roots never share a mutex or an event.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "cedb/cedb.h"

namespace desk {

// ---- Paths and clock ---------------------------------------------------------------------------

// The desktop root ($QUORIN_DESKTOP, else the default of the platform).
std::filesystem::path desktopRoot();
// A path as the user or a registry value gives it: a POSIX path stays as it is; a Windows-style
// path ("c:\Program Files\...", "\a\b") is placed inside the desktop root, its drive letter a
// folder of its own ("c"), and ".." parts dropped so that it never leaves the root.
std::filesystem::path hostPath(std::u16string_view desktopPath);
// The desktop's local wall-clock time as a FILETIME (field for field, no time zone).
cedb::FileTime localFileTime();

// ---- ANSI code page (CP949) ------------------------------------------------------------------

// The text in the code page, cut at a character boundary to at most `maxBytes - 1` bytes so
// that it fits a field of `maxBytes` with its terminator. A character the code page lacks
// becomes "?". `cut`, when given, tells whether anything was left out.
std::string toAnsi(std::u16string_view text, size_t maxBytes, bool* cut = nullptr);
// The bytes up to the first zero (at most `size`), decoded; a malformed sequence becomes
// U+FFFD and decoding goes on after it.
std::u16string fromAnsi(const char* bytes, size_t size);

// ---- Named mutex -------------------------------------------------------------------------------

enum class LockResult {
    Acquired,
    Abandoned,  // acquired; the previous owner died holding it (its data may be half-written)
    TimedOut,
    Failed,
};

inline constexpr int kDefaultWaitMs = 5000;

// A mutex shared by name between the threads and processes of one desktop: recursive within a
// thread, exclusive across threads and processes. When its owner dies the next locker gets it
// with LockResult::Abandoned.
class NamedMutex {
public:
    // Opens or creates the mutex; nullptr when the shared memory cannot be had.
    static std::unique_ptr<NamedMutex> open(std::string_view name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    LockResult lock(int timeoutMs = kDefaultWaitMs);
    // Releases one level of the calling thread's ownership; false when it does not own it.
    bool unlock();

private:
    struct Shared;
    NamedMutex(int fd, Shared* shared);
    int fd_;
    Shared* shared_;
};

// Holds a NamedMutex for a scope. `owned()` tells whether it was had.
class MutexLock {
public:
    explicit MutexLock(NamedMutex& m, int timeoutMs = kDefaultWaitMs)
        : m_(m), result_(m.lock(timeoutMs)) {}
    ~MutexLock() {
        if (owned()) m_.unlock();
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    bool owned() const { return result_ == LockResult::Acquired || result_ == LockResult::Abandoned; }
    LockResult result() const { return result_; }

private:
    NamedMutex& m_;
    LockResult result_;
};

// ---- Events -------------------------------------------------------------------------------------

// An auto-reset event: set() releases one waiter (or the next one to wait), which resets it.
// Named events are shared by every process of the desktop; an unnamed one by this process.
class Event {
public:
    static std::unique_ptr<Event> open(std::string_view name);
    static std::unique_ptr<Event> createLocal();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    // True when the event was set within the time (and is now reset).
    bool wait(int timeoutMs);

private:
    Event(int fd, std::atomic<uint32_t>* word);
    int fd_;  // -1 for a local event
    std::atomic<uint32_t>* word_;
};

// Removes the named object of this desktop from the system (tests clean up with it); those open
// keep working, and the next open makes a new one.
void unlinkNamed(std::string_view name);

// Waits for the first of two events; 0 or 1 for the one that was set, -1 on timeout
// (timeoutMs < 0: no limit). The first wins when both are set.
int waitAny(Event& first, Event& second, int timeoutMs);

// ---- Threads ------------------------------------------------------------------------------------

// A thread that is joined when released or destroyed, never left running behind its owner.
class JoinedThread {
public:
    JoinedThread() = default;
    explicit JoinedThread(std::function<void()> body) : t_(std::move(body)) {}
    ~JoinedThread() { join(); }
    JoinedThread(JoinedThread&&) = default;
    JoinedThread& operator=(JoinedThread&& o) {
        join();
        t_ = std::move(o.t_);
        return *this;
    }
    bool running() const { return t_.joinable(); }
    void join() {
        if (t_.joinable()) t_.join();
    }

private:
    std::thread t_;
};

// ---- File mapping -------------------------------------------------------------------------------

// A whole file of one fixed size mapped read-write and shared: every process mapping the same
// file sees the same bytes. A file of any other size is refused, never grown or cut.
class FileMapping {
public:
    enum class Status { Ok, Missing, WrongSize, Failed };
    // Maps the existing file at `path`.
    static std::unique_ptr<FileMapping> open(const std::filesystem::path& path, size_t size,
                                             Status* status = nullptr);
    // Creates the file whole: `fill` writes the first contents into a zeroed buffer, which is
    // written to a new file beside `path`, made durable and then moved into place, so that
    // nobody ever sees a half-made file. False when the file exists or cannot be made.
    static bool create(const std::filesystem::path& path, size_t size,
                       const std::function<void(uint8_t*)>& fill);
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    // Writes the changed pages to the disk; false on failure.
    bool flush();
    // Runs `body` on the mapped bytes when the file still has its size, and ends it early when
    // another program shortens the file meanwhile (an access past its end faults: that fault is
    // caught, never delivered). False when the file was not whole, or stopped being whole.
    // `body` may be cut off at any access to the bytes: it keeps nothing with a destructor of
    // its own across those accesses and leaves what it owns in its caller's hands.
    bool guarded(const std::function<void()>& body);
    // Whether the file still has the size it was mapped with.
    bool whole() const;

private:
    FileMapping(int fd, uint8_t* data, size_t size) : fd_(fd), data_(data), size_(size) {}
    int fd_;
    uint8_t* data_;
    size_t size_;
};

// ---- Run lock -------------------------------------------------------------------------------------

// An exclusive lock on a folder, held for as long as the object lives, between the threads and
// processes of the machine alike. It is an flock on the folder itself: nothing is written into
// the folder, and a holder that dies (even by kill -9) frees it with its descriptor.
class FolderLock {
public:
    enum class Result { Acquired, TimedOut, Missing, Failed };
    // Waits up to `timeoutMs` for the lock on the existing folder `dir`; nullptr with the reason
    // in `result` when it is not had.
    static std::unique_ptr<FolderLock> acquire(const std::filesystem::path& dir, int timeoutMs,
                                               Result* result = nullptr);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    explicit FolderLock(int fd) : fd_(fd) {}
    int fd_;
};

// ---- Desktop registry ---------------------------------------------------------------------------

// The device key of the desktop registry under which the desktop keeps its settings for the
// handheld: HKEY_CURRENT_USER "Software\Quorin\Partners\Device".
inline constexpr char16_t kDeviceKey[] = u"Software\\Quorin\\Partners\\Device";
// The backup file when "Quorin File" names none.
inline constexpr char16_t kDefaultQuorinFile[] =
    u"c:\\Program Files\\Microsoft ActiveSync\\Quorin.qrn";
inline constexpr char16_t kQuorinFileValue[] = u"Quorin File";
inline constexpr char16_t kSyncOptionValue[] = u"Sync Option";

struct DeviceSettings {
    std::optional<std::u16string> quorinFile;
    uint32_t syncOption = 0;  // 0 when absent
};
// Reads the device key; empty settings when the key is missing.
DeviceSettings readDeviceSettings();
// The backup file the settings name (at most 259 characters), or the default one.
std::u16string backupFilePath(const DeviceSettings& settings);
// Writes both values (creating the key); false when the key cannot be had or a write fails.
bool writeDeviceSettings(const std::u16string& quorinFile, uint32_t syncOption);

}  // namespace desk
