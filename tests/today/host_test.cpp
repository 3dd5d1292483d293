// The home screen program as its own process on a device root, while this process writes
// the store as the program would.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <optional>

#include "today_fixture.h"

namespace {

// The host prints each refresh as its lines and an empty line.
class HostOutput {
public:
    explicit HostOutput(QProcess& host) : host_(host) {}

    // The first block that `accept` takes, within `timeoutMs`; nullopt on timeout.
    template <typename Accept>
    std::optional<QStringList> waitFor(Accept accept, int timeoutMs) {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            while (true) {
                const int end = buffer_.indexOf("\n\n");
                if (end < 0) break;
                const QStringList block = QString::fromUtf8(buffer_.left(end)).split(u'\n');
                buffer_.remove(0, end + 2);
                if (accept(block)) return block;
            }
            if (host_.state() == QProcess::NotRunning) return std::nullopt;
            host_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
            buffer_ += host_.readAllStandardOutput();
        }
        return std::nullopt;
    }

private:
    QProcess& host_;
    QByteArray buffer_;
};

}  // namespace

TEST_F(TodayTest, HostShowsTheItemAndCountsWhatAnotherProcessAdds) {
    addPerson(u"홍길동");
    addAppointment(kToday);
    addAnniversary(u"홍길동", u"생일", date(1980, 3, 14), int(RepeatRule::EveryYear));

    QDir().mkpath(SCREENSHOT_DIR);
    const QString screenshot = SCREENSHOT_DIR "/today-host.png";
    QFile::remove(screenshot);
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();  // QUORIN_DEVICE is ours
    env.insert("QUORIN_CLOCK", "2026-03-14 10:30:00");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    host.setProcessEnvironment(env);
    host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // No --item: the library beside the program.
    host.start(TODAY_HOST, {"--refresh", "200", "--print-lines", "--screenshot", screenshot});
    ASSERT_TRUE(host.waitForStarted(10000));

    HostOutput output(host);
    const auto counting = [](int n) {
        const QString line = QStringLiteral("오늘의 약속 : %1개가 있습니다.").arg(n);
        return [line](const QStringList& block) { return block.value(0) == line; };
    };
    const std::optional<QStringList> first = output.waitFor(counting(1), 20000);
    ASSERT_TRUE(first) << "the host never showed one appointment";
    EXPECT_EQ(*first, QStringList({"오늘의 약속 : 1개가 있습니다.", "기념일 : 홍길동님의 생일"}));

    addAppointment(kToday);
    const std::optional<QStringList> second = output.waitFor(counting(2), 20000);
    ASSERT_TRUE(second) << "the host never counted the added appointment";
    EXPECT_EQ(second->size(), 2);

    // Saved before the lines were printed, so it is whole and shows two.
    host.kill();
    host.waitForFinished(5000);
    const QImage shot(screenshot);
    EXPECT_EQ(shot.size(), QSize(240, 320));
}

TEST_F(TodayTest, HostReportsOnceWithoutADisplayAndEnds) {
    addAppointment(kToday);
    const QString picture = SCREENSHOT_DIR "/today-host-once.png";
    QDir().mkpath(SCREENSHOT_DIR);
    QFile::remove(picture);
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORIN_CLOCK", "2026-03-14 10:30:00");
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"}) {
        env.remove(name);
    }
    host.setProcessEnvironment(env);
    host.start(TODAY_HOST, {"--print-lines", "--screenshot", picture});
    ASSERT_TRUE(host.waitForFinished(20000)) << "the host did not end after its report";
    EXPECT_EQ(host.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(host.readAllStandardOutput()),
              QStringLiteral("오늘의 약속 : 1개가 있습니다.\n\n"));
    // Nothing about a runtime folder or a display on the error stream.
    EXPECT_EQ(QString::fromUtf8(host.readAllStandardError()), QString());
    EXPECT_EQ(QImage(picture).size(), QSize(240, 320));

    // Without a display and without a report there is nothing to do: it says so.
    host.start(TODAY_HOST, {});
    ASSERT_TRUE(host.waitForFinished(20000));
    EXPECT_EQ(host.exitCode(), 2);
    EXPECT_TRUE(host.readAllStandardError().contains("no display"));
}
