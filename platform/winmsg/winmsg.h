// Messages posted to the top-level windows of a window class, between processes of one machine
// (the handheld or the desktop: each is a root folder). A window of a class listens on a
// datagram socket in "<root>/.windows/<class>/"; posting sends one datagram to every socket
// there. Posting never blocks and never fails because nobody listens.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace winmsg {

struct Message {
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

// Posts to every live window of the class in the root; returns how many got it. Sockets of
// windows whose process is gone are removed.
int postToClass(const std::filesystem::path& root, const std::string& windowClass,
                const Message& message);

// One window of a class: registered while it lives.
class Listener {
public:
    Listener(const std::filesystem::path& root, const std::string& windowClass);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    bool ok() const { return fd_ >= 0; }
    // The socket, to watch for readability (a Qt socket notifier, poll).
    int fd() const { return fd_; }
    // The next waiting message, without blocking.
    std::optional<Message> receive();

private:
    int fd_ = -1;
    std::filesystem::path path_;
};

}  // namespace winmsg
