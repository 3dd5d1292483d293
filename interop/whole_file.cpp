#include "interop/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace interop {

bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes, mode_t mode,
                    std::string& error) {
    std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX"));
    const int fd = ::mkstemp(temp.data());  // mode 0600 until the file is whole
    if (fd < 0) {
        error = path.string() + " cannot be written: " + std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    int saved = ok ? 0 : errno;
    if (ok && ::fsync(fd) != 0) ok = false, saved = errno;
    if (::close(fd) != 0 && ok) ok = false, saved = errno;
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false, saved = errno;
    if (!ok) {
        ::unlink(temp.c_str());
        error = path.string() + " cannot be written: " + std::strerror(saved ? saved : EIO);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace interop
