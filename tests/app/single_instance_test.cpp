// One Quorin per device, with real processes: a second start brings the first forward and
// ends, a start on another device is a program of its own, and a holder that dies frees it.
#include "shell/single_instance.h"

#include <signal.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "qt/screen_test.h"

namespace {

const QString kClass = QStringLiteral("Quorinity");

class SingleInstanceTest : public testsupport::DeviceTest {
protected:
    // Starts the real program on `device` (the test's own by default), off screen.
    std::unique_ptr<QProcess> startQuorin(
        const QString& device = {},
        QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        if (!device.isEmpty()) env.insert("QUORIN_DEVICE", device);
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(channels);
        p->start(QUORIN_PROGRAM, {});
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }
    static void stop(QProcess& p) {
        if (p.state() == QProcess::NotRunning) return;
        p.kill();
        p.waitForFinished(5000);
    }
};

TEST_F(SingleInstanceTest, ASecondStartBringsTheRunningOneForwardAndEnds) {
    // Served on a page, the running one tells a later start where it is seen.
    const QString page =
        QStringLiteral("http://127.0.0.1:6080/vnc.html?path=websockify%3Ftoken%3Dab");
    shell::SingleInstance running(kClass);
    running.setWhereSeen(page);
    ASSERT_TRUE(running.claim());
    EXPECT_TRUE(shell::SingleInstance::isRunning(kClass));
    QSignalSpy activated(&running, &shell::SingleInstance::activationRequested);

    auto second = startQuorin({}, QProcess::SeparateChannels);
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, 20000);
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(second->readAllStandardError())
                    .contains(QStringLiteral("already running on this device; see it at ") + page));
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 1, 5000);
    // The running one still holds the device.
    shell::SingleInstance third(kClass);
    EXPECT_FALSE(third.claim(2000));
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 2, 5000);

    // Not served anywhere, it says nothing of a place.
    running.setWhereSeen({});
    auto fourth = startQuorin({}, QProcess::SeparateChannels);
    QTRY_COMPARE_WITH_TIMEOUT(fourth->state(), QProcess::NotRunning, 20000);
    EXPECT_EQ(fourth->exitCode(), 0);
    EXPECT_FALSE(fourth->readAllStandardError().contains("already running"));
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 3, 5000);
}

TEST_F(SingleInstanceTest, TwoProgramsOnOneDeviceLeaveOneRunningAndADeadHolderFreesTheDevice) {
    auto first = startQuorin();
    QTRY_VERIFY_WITH_TIMEOUT(shell::SingleInstance::isRunning(kClass), 20000);
    auto second = startQuorin();
    EXPECT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    // Another device root is another handheld: its Quorin does not end.
    const QString otherDevice = QString::fromStdString((roots.desktop() / "other").string());
    auto other = startQuorin(otherDevice);
    EXPECT_FALSE(other->waitForFinished(1500));
    EXPECT_EQ(other->state(), QProcess::Running);
    stop(*other);

    // Killed outright, the first leaves a lock and a socket behind that the next start takes.
    ::kill(pid_t(first->processId()), SIGKILL);
    first->waitForFinished(5000);
    EXPECT_FALSE(shell::SingleInstance::isRunning(kClass));
    shell::SingleInstance next(kClass);
    EXPECT_TRUE(next.claim(1000));
    EXPECT_TRUE(next.isPrimary());
}

}  // namespace
