#include "fs/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "fs/devfs.h"

namespace devfs {
namespace {

std::atomic<int> g_armed[4];

bool failNow(writefaults::Op op) {
    std::atomic<int>& armed = g_armed[int(op)];
    int n = armed.load();
    while (n != 0) {
        if (n < 0 || armed.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
}

}  // namespace

void writefaults::arm(Op op, int times) {
    g_armed[int(op)] = times;
}

void writefaults::clear() {
    for (auto& armed : g_armed) armed = 0;
}

FileWriter::FileWriter(const std::filesystem::path& target) : target_(target) {
    if (failNow(writefaults::Op::Create)) {
        fail(ENOENT);
        return;
    }
    // mkstemp gives a name no other writer uses at the same time. The temporary name is a dot,
    // the beginning of the target's name (whole characters, only to tell whose file it is: kept
    // short, so that it fits beside every name the folder takes) and a suffix.
    static constexpr std::string_view kSuffix = ".XXXXXX";
    static constexpr size_t kKept = 32;
    std::string name = target.filename().string();
    if (name.size() > kKept) {
        size_t cut = kKept;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    std::string pattern = (target.parent_path() / ("." + name + std::string(kSuffix))).string();
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    ::fchmod(fd_, 0644);
    temp_ = pattern;
}

FileWriter::~FileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.empty()) {
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
    }
}

void FileWriter::fail(int err) {
    if (error_ == 0) error_ = err ? err : EIO;
}

bool FileWriter::write(const void* data, size_t size) {
    if (!ok()) return false;
    if (failNow(writefaults::Op::Write)) {
        fail(EIO);
        return false;
    }
    if (failNow(writefaults::Op::DiskFull)) {
        // A full disk takes part of the bytes and then refuses the rest.
        if (size > 1) (void)!::write(fd_, data, size / 2);
        fail(ENOSPC);
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
            return false;
        }
        if (n == 0) {
            fail(ENOSPC);
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool FileWriter::commit() {
    if (!ok()) return false;
    if (::fsync(fd_) != 0) {
        fail(errno);
        return false;
    }
    int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        fail(errno);
        return false;
    }
    if (failNow(writefaults::Op::Rename)) {
        fail(EXDEV);
        return false;
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        fail(errno);
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace devfs
