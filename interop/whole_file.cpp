#include "interop/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace interop {

bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes, mode_t mode,
                    std::string& error) {
    const std::filesystem::path temp = path.string() + ".tmp-" + std::to_string(getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        error = temp.string() + ": " + std::strerror(errno);
        return false;
    }
    // A file made earlier with looser rights keeps them through O_CREAT: set them again.
    bool ok = ::fchmod(fd, mode) == 0;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    const int saved = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    error = path.string() + ": " + std::strerror(ok ? errno : saved);
    ::unlink(temp.c_str());
    return false;
}

}  // namespace interop
