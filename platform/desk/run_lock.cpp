// The folder lock of a whole run, and the guard that keeps a shortened file from ending the
// process.
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include "desk/desk.h"

namespace desk {

// ---- Folder lock --------------------------------------------------------------------------------

std::unique_ptr<FolderLock> FolderLock::acquire(const std::filesystem::path& dir, int timeoutMs,
                                                Result* result) {
    Result dummy;
    Result& r = result ? *result : dummy;
    // A descriptor of its own per lock: flock excludes open file descriptions, so two threads
    // of one process exclude each other as two processes do.
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        r = errno == ENOENT || errno == ENOTDIR ? Result::Missing : Result::Failed;
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // Polled: flock has no timed wait, and a waiter blocked in it could not give up.
    for (auto pause = std::chrono::milliseconds(1);;
         pause = std::min(pause * 2, std::chrono::milliseconds(20))) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            r = Result::Acquired;
            return std::unique_ptr<FolderLock>(new FolderLock(fd));
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            r = Result::Failed;
            return nullptr;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            r = Result::TimedOut;
            return nullptr;
        }
        std::this_thread::sleep_for(pause);
    }
}

FolderLock::~FolderLock() {
    ::close(fd_);
}  // closing releases it

// ---- Guarded access to a mapping ----------------------------------------------------------------

namespace {

// One armed guard per thread and nesting level; the fault handler jumps back to the innermost
// one whose mapping holds the faulting address.
struct Guard {
    sigjmp_buf jump;
    const uint8_t* begin;
    const uint8_t* end;
    Guard* outer;
};
thread_local Guard* innermost = nullptr;
struct sigaction previousBusAction;

void onBus(int sig, siginfo_t* info, void* context) {
    const auto* at = static_cast<const uint8_t*>(info->si_addr);
    for (Guard* g = innermost; g; g = g->outer)
        if (at >= g->begin && at < g->end) siglongjmp(g->jump, 1);
    // Not a fault of ours: whatever was there before handles it.
    if (previousBusAction.sa_flags & SA_SIGINFO) {
        previousBusAction.sa_sigaction(sig, info, context);
    } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(sig);
    } else {
        signal(SIGBUS, SIG_DFL);
        raise(SIGBUS);
    }
}

void installBusHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onBus;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previousBusAction);
    });
}

}  // namespace

bool FileMapping::whole() const {
    struct stat info {};
    return fstat(fd_, &info) == 0 && size_t(info.st_size) == size_;
}

bool FileMapping::guarded(const std::function<void()>& body) {
    if (!whole()) return false;
    installBusHandler();
    Guard guard;
    guard.begin = data_;
    guard.end = data_ + size_;
    guard.outer = innermost;  // also makes this thread's slot exist before any fault
    if (sigsetjmp(guard.jump, 1) != 0) {
        innermost = guard.outer;
        return false;
    }
    innermost = &guard;
    body();
    innermost = guard.outer;
    return true;
}

}  // namespace desk
