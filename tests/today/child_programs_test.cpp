// What a tap on the Today item starts, seen from the home screen: adopted, reaped, and ended
// with the home screen; with Quorin already running on the device, a tap leaves nothing new.
#include "child_programs.h"

#include <signal.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "fs/devfs.h"
#include "qt/screen_test.h"
#include "shell/shell.h"
#include "shell/single_instance.h"
#include "today/today_item.h"
#include "today_fixture.h"

namespace {

namespace ts = todayscreen;

std::string commandLine(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
    std::string cmd((std::istreambuf_iterator<char>(in)), {});
    for (char& c : cmd) c = c ? c : ' ';
    return cmd;
}

// The running children whose command line holds `part`.
std::vector<pid_t> childrenRunning(const std::string& part) {
    std::vector<pid_t> out;
    for (pid_t pid : childprograms::children()) {
        if (commandLine(pid).find(part) != std::string::npos) out.push_back(pid);
    }
    return out;
}

class ChildProgramsTest : public TodayTest {
protected:
    void SetUp() override {
        TodayTest::SetUp();
        ASSERT_TRUE(childprograms::adoptDescendants());
        program = devfs::toHost(today::ProgramPath);
        std::filesystem::create_directories(program.parent_path());
    }
    void TearDown() override {
        shell::resetState();
        TodayTest::TearDown();
    }
    // Taps the item of a home screen, as the stylus does.
    void tapItem() {
        ts::TODAYLISTITEM item;
        item.fEnabled = 1;
        ts::HWND window = today::initializeItem(&item, ts::handleOf(&home));
        home.resize(240, 320);
        ASSERT_TRUE(testsupport::showExposed(&home));
        ASSERT_TRUE(testsupport::tap(ts::widgetOf(window), QPoint(100, 5)));
    }

    std::filesystem::path program;
    QWidget home;
};

TEST_F(ChildProgramsTest, WhatATapStartedIsAdoptedAndEndsWithTheHomeScreen) {
    // The started program runs on; it is detached from its starter.
    std::ofstream(program) << "#!/bin/sh\nexec sleep 97\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    tapItem();
    QTRY_COMPARE_WITH_TIMEOUT(childrenRunning("sleep 97").size(), size_t(1), 10000);
    const pid_t started = childrenRunning("sleep 97").front();

    EXPECT_EQ(childprograms::endAll(), 1);
    EXPECT_NE(::kill(started, 0), 0) << "still running after the home screen ended it";
    EXPECT_TRUE(childprograms::children().empty());

    // One that ignores the request is killed after the grace period.
    std::ofstream(program) << "#!/bin/sh\ntrap '' TERM\nexec sleep 98\n";
    ASSERT_TRUE(shell::execute(today::ProgramPath));
    QTRY_COMPARE_WITH_TIMEOUT(childrenRunning("sleep 98").size(), size_t(1), 10000);
    EXPECT_EQ(childprograms::endAll(300), 1);
    EXPECT_TRUE(childprograms::children().empty());
}

TEST_F(ChildProgramsTest, ATapWhileQuorinRunsBringsItForwardAndLeavesNothingRunning) {
    // This process is the running Quorin of the device; the item starts the real program.
    shell::SingleInstance running(QStringLiteral("Quorinity"));
    ASSERT_TRUE(running.claim());
    QSignalSpy activated(&running, &shell::SingleInstance::activationRequested);
    std::filesystem::create_symlink(QUORIN_PROGRAM, program);
    // The started program sees this environment; the test's screen file is gone by now.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tapItem();
    qputenv("QT_QPA_PLATFORM", platform);
    EXPECT_TRUE(activated.wait(20000)) << "the running Quorin was not brought forward";
    // The second Quorin ended by itself; the home screen reaps it.
    QTRY_VERIFY_WITH_TIMEOUT((childprograms::reapEnded(), childprograms::children().empty()),
                             10000);
    EXPECT_EQ(activated.count(), 1);
}

}  // namespace

namespace {

TEST(ProcStat, ReadsStateAndParentAfterTheLastParenthesisAndRefusesOtherForms) {
    char state = '?';
    pid_t parent = -1;
    EXPECT_TRUE(childprograms::parseProcStat("1234 (Quorin) S 1 1234 1234 0", state, parent));
    EXPECT_EQ(state, 'S');
    EXPECT_EQ(parent, 1);
    // A name may hold ") Z 1 " itself: the fields start after the last ')'.
    EXPECT_TRUE(childprograms::parseProcStat("9 (evil) Z 1 (x) R 77 9", state, parent));
    EXPECT_EQ(state, 'R');
    EXPECT_EQ(parent, 77);
    for (const char* bad : {"", "1 (x)", "1 (x) S", "1 (x) S ", "1 (x) S -5 1", "1 (x) S 12a 1",
                            "1 (x) S 99999999999999999999 1", "1 x S 5"}) {
        state = '?';
        parent = -1;
        EXPECT_FALSE(childprograms::parseProcStat(bad, state, parent)) << bad;
        EXPECT_EQ(state, '?');
        EXPECT_EQ(parent, -1);
    }
}

}  // namespace
