// A fresh device root and desktop root for each test, removed afterwards. The platform
// stand-ins' cached connections, clock and armed faults are reset around every test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class TempRoots {
public:
    TempRoots();
    ~TempRoots();
    TempRoots(const TempRoots&) = delete;
    TempRoots& operator=(const TempRoots&) = delete;
    const std::filesystem::path& device() const { return device_; }
    const std::filesystem::path& desktop() const { return desktop_; }

private:
    std::filesystem::path base_;
    std::filesystem::path device_;
    std::filesystem::path desktop_;
};

// Runs this test program again as a child with `environment` ("NAME=value ...", shell-quoted
// by the caller) prepended, and returns what it printed; for jobs that must run in another
// process (the child sees the variable and does its job before any test starts).
std::string runSelf(const std::string& environment, bool withErrors = false);

// Overwrites the stored properties of the record of "Quorin Database" whose identifier is
// `recordId` with bytes that cannot be decoded, as a damaged store file would hold them; its
// sort columns stay, so it can still be found by identifier. False when there is no such record.
bool damageRecord(int32_t recordId);

// For a test of code that must not wait on a named pipe: should it wait on one of `pipes`, the
// watchdog opens their other ends after five seconds, and again until stopped, so that the test
// fails instead of hanging. stop() ends it and tells whether it had to open them.
class PipeWatchdog {
public:
    explicit PipeWatchdog(std::vector<std::filesystem::path> pipes);
    ~PipeWatchdog() { stop(); }
    PipeWatchdog(const PipeWatchdog&) = delete;
    PipeWatchdog& operator=(const PipeWatchdog&) = delete;
    bool stop();

private:
    std::vector<std::filesystem::path> pipes_;
    std::atomic<bool> done_{false}, fired_{false};
    std::thread thread_;
};

// Resets the per-process state of the platform stand-ins (connections, clock, faults).
void resetPlatformState();

class DeviceTest : public ::testing::Test {
protected:
    DeviceTest() { resetPlatformState(); }
    ~DeviceTest() override { resetPlatformState(); }
    TempRoots roots;
};

}  // namespace testsupport
