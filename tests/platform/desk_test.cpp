// The desktop primitives: the named mutex across threads and processes (and a dead owner), the
// named event, the file mapping (and a file shortened under it), the folder lock and the code
// page.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "desk/desk.h"
#include "device_root.h"
#include "registry/registry.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class DeskTest : public testsupport::DeviceTest {
protected:
    ~DeskTest() override {
        desk::unlinkNamed("M");
        desk::unlinkNamed("E");
    }
    static int msSince(Clock::time_point t) {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
    }
};

// A child that takes the mutex, reports through a pipe and then does `then`.
pid_t childHolding(int* readFd, bool die) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        auto m = desk::NamedMutex::open("M");
        const bool ok = m && m->lock(1000) == desk::LockResult::Acquired;
        (void)!write(fds[1], ok ? "1" : "0", 1);
        if (die) pause();  // killed while holding it
        std::this_thread::sleep_for(300ms);
        m->unlock();
        _exit(0);
    }
    close(fds[1]);
    *readFd = fds[0];
    return pid;
}

TEST_F(DeskTest, MutexIsRecursiveInAThreadAndExclusiveAcrossThreads) {
    auto m = desk::NamedMutex::open("M");
    ASSERT_TRUE(m);
    ASSERT_EQ(m->lock(), desk::LockResult::Acquired);
    ASSERT_EQ(m->lock(), desk::LockResult::Acquired);  // the same thread again
    std::atomic<int> other{-1};
    std::thread t([&] {
        auto m2 = desk::NamedMutex::open("M");
        other = int(m2->lock(100));
    });
    t.join();
    EXPECT_EQ(other, int(desk::LockResult::TimedOut));
    m->unlock();
    // Still held once: another thread still cannot have it.
    std::thread t2([&] { other = int(m->lock(100)); });
    t2.join();
    EXPECT_EQ(other, int(desk::LockResult::TimedOut));
    EXPECT_TRUE(m->unlock());
    std::thread t3([&] {
        other = int(m->lock(100));
        m->unlock();
    });
    t3.join();
    EXPECT_EQ(other, int(desk::LockResult::Acquired));
    EXPECT_FALSE(m->unlock());  // not owned any more
}

TEST_F(DeskTest, MutexIsExclusiveAcrossProcesses) {
    int fd = -1;
    const pid_t pid = childHolding(&fd, false);
    char c = 0;
    ASSERT_EQ(read(fd, &c, 1), 1);
    ASSERT_EQ(c, '1');
    auto m = desk::NamedMutex::open("M");
    const auto t0 = Clock::now();
    EXPECT_EQ(m->lock(50), desk::LockResult::TimedOut);
    EXPECT_GE(msSince(t0), 45);
    // The child lets go after 300 ms; a 5 s wait gets it.
    EXPECT_EQ(m->lock(), desk::LockResult::Acquired);
    m->unlock();
    int status = 0;
    waitpid(pid, &status, 0);
    close(fd);
}

TEST_F(DeskTest, MutexOfAKilledOwnerGoesToTheNextLocker) {
    int fd = -1;
    const pid_t pid = childHolding(&fd, true);
    char c = 0;
    ASSERT_EQ(read(fd, &c, 1), 1);
    auto m = desk::NamedMutex::open("M");
    EXPECT_EQ(m->lock(50), desk::LockResult::TimedOut);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    const auto t0 = Clock::now();
    EXPECT_EQ(m->lock(), desk::LockResult::Abandoned);
    EXPECT_LT(msSince(t0), 5000);
    m->unlock();
    // Made consistent again: the next lock is an ordinary one.
    EXPECT_EQ(m->lock(), desk::LockResult::Acquired);
    m->unlock();
    close(fd);
}

TEST_F(DeskTest, MutexTimesOutAfterItsWait) {
    auto m = desk::NamedMutex::open("M");
    ASSERT_EQ(m->lock(), desk::LockResult::Acquired);
    desk::LockResult r{};
    int took = 0;
    std::thread t([&] {
        auto m2 = desk::NamedMutex::open("M");
        const auto t0 = Clock::now();
        r = m2->lock();
        took = msSince(t0);
    });
    t.join();
    m->unlock();
    EXPECT_EQ(r, desk::LockResult::TimedOut);
    EXPECT_GE(took, 4900);
}

TEST_F(DeskTest, NamesBelongToOneDesktop) {
    auto m = desk::NamedMutex::open("M");
    ASSERT_EQ(m->lock(), desk::LockResult::Acquired);
    desk::LockResult r{};
    {
        testsupport::TempRoots other;  // another desktop root
        auto elsewhere = desk::NamedMutex::open("M");
        std::thread t([&] {
            r = elsewhere->lock(50);
            elsewhere->unlock();
        });
        t.join();
        desk::unlinkNamed("M");
    }
    setenv("QUORIN_DESKTOP", roots.desktop().c_str(), 1);
    EXPECT_EQ(r, desk::LockResult::Acquired);
    m->unlock();
}

TEST_F(DeskTest, EventWakesOneWaiterAcrossProcessesAndResets) {
    auto e = desk::Event::open("E");
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->wait(10));
    const pid_t pid = fork();
    if (pid == 0) {
        auto ce = desk::Event::open("E");
        std::this_thread::sleep_for(100ms);
        ce->set();
        _exit(0);
    }
    const auto t0 = Clock::now();
    EXPECT_TRUE(e->wait(5000));
    EXPECT_GE(msSince(t0), 50);
    EXPECT_FALSE(e->wait(10));  // auto-reset
    int status = 0;
    waitpid(pid, &status, 0);
    e->set();
    EXPECT_TRUE(e->wait(0));  // set before the wait: kept until taken
}

TEST_F(DeskTest, WaitAnyTellsWhichEventCame) {
    auto stop = desk::Event::createLocal();
    auto change = desk::Event::open("E");
    EXPECT_EQ(desk::waitAny(*stop, *change, 30), -1);
    change->set();
    EXPECT_EQ(desk::waitAny(*stop, *change, 1000), 1);
    std::thread t([&] {
        std::this_thread::sleep_for(50ms);
        stop->set();
    });
    EXPECT_EQ(desk::waitAny(*stop, *change, 5000), 0);
    t.join();
    stop->set();
    change->set();
    EXPECT_EQ(desk::waitAny(*stop, *change, 0), 0);  // the first wins; the second stays set
    EXPECT_TRUE(change->wait(0));
}

TEST_F(DeskTest, FileMappingRefusesOtherSizesAndCreatesWhole) {
    const auto path = roots.desktop() / "f.bin";
    desk::FileMapping::Status st{};
    EXPECT_FALSE(desk::FileMapping::open(path, 4096, &st));
    EXPECT_EQ(st, desk::FileMapping::Status::Missing);
    ASSERT_TRUE(desk::FileMapping::create(path, 4096, [](uint8_t* p) { p[10] = 7; }));
    EXPECT_FALSE(desk::FileMapping::create(path, 4096, nullptr));  // never replaced
    {
        auto a = desk::FileMapping::open(path, 4096);
        auto b = desk::FileMapping::open(path, 4096);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->data()[10], 7);
        a->data()[11] = 9;
        EXPECT_EQ(b->data()[11], 9);  // one mapping of one file
        EXPECT_TRUE(a->flush());
    }
    EXPECT_FALSE(desk::FileMapping::open(path, 8192, &st));
    EXPECT_EQ(st, desk::FileMapping::Status::WrongSize);
    EXPECT_EQ(std::filesystem::file_size(path), 4096u);  // never grown
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(roots.desktop()), {}), 1);
}

TEST_F(DeskTest, AShortenedFileEndsAGuardedAccessInsteadOfTheProcess) {
    const auto path = roots.desktop() / "f.bin";
    ASSERT_TRUE(desk::FileMapping::create(path, 1 << 20, nullptr));
    auto m = desk::FileMapping::open(path, 1 << 20);
    ASSERT_TRUE(m);
    int sum = 0;
    EXPECT_TRUE(m->guarded([&] { sum += m->data()[(1 << 20) - 1]; }));
    // Shortened between two accesses: the next is refused before it starts.
    std::filesystem::resize_file(path, 4096);
    bool ran = false;
    EXPECT_FALSE(m->guarded([&] { ran = true; }));
    EXPECT_FALSE(ran);
    // Shortened during one: the access past the end is caught, and so is the next one.
    std::filesystem::resize_file(path, 1 << 20);
    int reached = 0;
    EXPECT_FALSE(m->guarded([&] {
        std::filesystem::resize_file(path, 4096);
        for (size_t at = 0; at < (1 << 20); at += 4096, ++reached) m->data()[at] = 1;
    }));
    EXPECT_EQ(reached, 1);
    EXPECT_FALSE(m->whole());
}

TEST_F(DeskTest, AFolderLockExcludesThreadsAndProcessesAndDiesWithItsHolder) {
    const auto dir = roots.desktop();
    auto held = desk::FolderLock::acquire(dir, 0);
    ASSERT_TRUE(held);
    desk::FolderLock::Result r{};
    std::thread([&] { EXPECT_FALSE(desk::FolderLock::acquire(dir, 50, &r)); }).join();
    EXPECT_EQ(r, desk::FolderLock::Result::TimedOut);
    held.reset();
    std::thread([&] { EXPECT_TRUE(desk::FolderLock::acquire(dir, 0)); }).join();
    EXPECT_FALSE(desk::FolderLock::acquire(roots.desktop() / "missing", 0, &r));
    EXPECT_EQ(r, desk::FolderLock::Result::Missing);
    // A process holding it, killed: the lock is free at once.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        auto lock = desk::FolderLock::acquire(dir, 1000);
        (void)!write(fds[1], lock ? "1" : "0", 1);
        pause();
    }
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    ASSERT_EQ(c, '1');
    EXPECT_FALSE(desk::FolderLock::acquire(dir, 20));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(desk::FolderLock::acquire(dir, 0));
    close(fds[0]);
    close(fds[1]);
}

TEST_F(DeskTest, AnsiTextsAreCutBetweenCharacters) {
    bool cut = false;
    // "가" is two bytes in the code page.
    EXPECT_EQ(desk::toAnsi(u"가나다", 7, &cut), "\xB0\xA1\xB3\xAA\xB4\xD9");
    EXPECT_FALSE(cut);
    EXPECT_EQ(desk::toAnsi(u"가나다", 6, &cut), "\xB0\xA1\xB3\xAA");  // never half of "다"
    EXPECT_TRUE(cut);
    EXPECT_EQ(desk::toAnsi(u"a가", 3, &cut), "a");
    EXPECT_EQ(desk::toAnsi(u"abc", 0, &cut), "");
    EXPECT_EQ(desk::toAnsi(u"x\U0001F600y", 10), "x?y");  // not in the code page
    const std::string han = desk::toAnsi(u"홍길동 abc", 20);
    EXPECT_EQ(desk::fromAnsi(han.data(), han.size()), u"홍길동 abc");
    // A lone lead byte and a bad pair decode to replacement characters, within the size.
    const char bad[] = {'a', char(0xB0), 0, 'z'};
    EXPECT_EQ(desk::fromAnsi(bad, sizeof bad), u"a\uFFFD");
    const char unterminated[] = {'a', 'b', 'c'};
    EXPECT_EQ(desk::fromAnsi(unterminated, 2), u"ab");
}

TEST_F(DeskTest, PathsAndSettings) {
    EXPECT_EQ(desk::hostPath(u"/tmp/x.qrn"), std::filesystem::path("/tmp/x.qrn"));
    EXPECT_EQ(desk::hostPath(u"c:\\Program Files\\..\\A\\Quorin.qrn"),
              roots.desktop() / "c" / "Program Files" / "A" / "Quorin.qrn");
    desk::DeviceSettings s = desk::readDeviceSettings();
    EXPECT_FALSE(s.quorinFile);
    EXPECT_EQ(s.syncOption, 0u);
    ASSERT_TRUE(desk::writeDeviceSettings(u"/x/백업.qrn", 2));
    s = desk::readDeviceSettings();
    EXPECT_EQ(s.quorinFile, u"/x/백업.qrn");
    EXPECT_EQ(s.syncOption, 2u);
    // In the desktop registry, not the handheld's.
    EXPECT_FALSE(reg::Key::open(reg::Hive::CurrentUser, desk::kDeviceKey, reg::Store::Device));
}

}  // namespace
