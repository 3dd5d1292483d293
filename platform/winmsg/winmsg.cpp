#include "winmsg/winmsg.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace winmsg {

namespace {

bool addressOf(const fs::path& path, sockaddr_un* addr) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    const std::string s = path.string();
    if (s.size() >= sizeof addr->sun_path) return false;
    std::memcpy(addr->sun_path, s.c_str(), s.size() + 1);
    return true;
}

}  // namespace

int postToClass(const fs::path& root, const std::string& windowClass, const Message& message) {
    std::error_code ec;
    const fs::path folder = root / ".windows" / windowClass;
    if (!fs::is_directory(folder, ec)) return 0;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return 0;
    int sent = 0;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        sockaddr_un addr;
        if (!addressOf(entry.path(), &addr)) continue;
        if (sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&addr),
                   sizeof addr) == ssize_t(sizeof message)) {
            ++sent;
        } else if (errno == ECONNREFUSED || errno == ENOENT) {
            fs::remove(entry.path(), ec);  // its window is gone
        }
    }
    close(fd);
    return sent;
}

Listener::Listener(const fs::path& root, const std::string& windowClass) {
    static std::atomic<int> serial{0};
    std::error_code ec;
    const fs::path folder = root / ".windows" / windowClass;
    fs::create_directories(folder, ec);
    path_ = folder / (std::to_string(getpid()) + "-" + std::to_string(serial++));
    sockaddr_un addr;
    if (!addressOf(path_, &addr)) return;
    fs::remove(path_, ec);
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

Listener::~Listener() {
    if (fd_ >= 0) {
        close(fd_);
        std::error_code ec;
        fs::remove(path_, ec);
    }
}

std::optional<Message> Listener::receive() {
    Message m;
    if (fd_ < 0 || recv(fd_, &m, sizeof m, 0) != ssize_t(sizeof m)) return std::nullopt;
    return m;
}

}  // namespace winmsg
