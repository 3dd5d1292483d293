// Writing a file whole or not at all. The bytes go to a temporary file beside the target; only
// when every write succeeded and the data reached the disk does the temporary file replace the
// target, so a failed write (a full disk, a missing folder) leaves the old file as it was.
#pragma once

#include <cstddef>
#include <filesystem>

namespace devfs {

class FileWriter {
public:
    // Creates the temporary file beside `target` (host path). ok() tells whether that worked.
    explicit FileWriter(const std::filesystem::path& target);
    // Removes the temporary file unless commit() succeeded.
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // True while nothing has failed.
    bool ok() const { return fd_ >= 0 && error_ == 0; }
    // Appends `size` bytes; false (and the writer failed for good) when not all were written.
    bool write(const void* data, size_t size);
    // Flushes to disk and renames the temporary file over the target. False when anything
    // failed on the way; the target is then untouched.
    bool commit();
    // The errno of the first failure, 0 when none.
    int error() const { return error_; }

private:
    void fail(int err);

    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
    int error_ = 0;
    bool committed_ = false;
};

// Failures on command, for tests: the next `times` matching operations fail (-1: until clear()).
namespace writefaults {
enum class Op {
    Create,    // the temporary file cannot be created (no folder, no permission)
    Write,     // a write fails (an I/O error)
    DiskFull,  // a write stores only part of its bytes, then reports a full disk
    Rename,    // the final rename fails
};
void arm(Op op, int times = 1);
void clear();
}  // namespace writefaults

}  // namespace devfs
