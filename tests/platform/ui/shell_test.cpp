#include "shell/shell.h"

#include <unistd.h>

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "fs/devfs.h"
#include "qt/screen_test.h"

namespace {

class Shell : public testsupport::ScreenTest {};

TEST_F(Shell, RaisingTheInputPanelShrinksTheVisibleDesktopAndNotifiesOnce) {
    QSignalSpy changed(&shell::notifier(), &shell::Notifier::inputPanelChanged);
    EXPECT_FALSE(shell::isInputPanelOn());
    // Lowered, the system counts the command bar strip as free.
    EXPECT_EQ(shell::visibleDesktop(), QRect(0, 26, 240, 294));

    shell::raiseInputPanel();
    shell::raiseInputPanel();
    EXPECT_EQ(changed.count(), 1);
    shell::InputPanelInfo info;
    ASSERT_TRUE(shell::getInputPanelInfo(info));
    EXPECT_TRUE(info.on);
    EXPECT_EQ(info.inputPanel, QRect(0, 214, 240, 80));  // above the 26-pixel command bar
    EXPECT_EQ(info.visibleDesktop, QRect(0, 26, 240, 188));

    shell::lowerInputPanel();
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(shell::visibleDesktop(), QRect(0, 26, 240, 294));
}

TEST_F(Shell, InputPanelInfoFailsOnCommand) {
    shell::faults::failInputPanelInfo(true);
    shell::InputPanelInfo info;
    info.visibleDesktop = QRect(1, 2, 3, 4);
    EXPECT_FALSE(shell::getInputPanelInfo(info));
    EXPECT_EQ(info.visibleDesktop, QRect(1, 2, 3, 4));
    shell::resetState();
    EXPECT_TRUE(shell::getInputPanelInfo(info));
}

TEST_F(Shell, TaskBarNotifiesOnlyChanges) {
    QSignalSpy changed(&shell::notifier(), &shell::Notifier::taskBarChanged);
    EXPECT_TRUE(shell::isTaskBarShown());
    shell::hideTaskBar();
    shell::hideTaskBar();
    EXPECT_FALSE(shell::isTaskBarShown());
    shell::showTaskBar();
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[0][0].toBool(), false);
    EXPECT_EQ(changed[1][0].toBool(), true);
    EXPECT_EQ(shell::taskBarRect(), QRect(0, 0, 240, 26));
}

TEST_F(Shell, WaitCursorShowsUntilTheLastHolderEnds) {
    QSignalSpy changed(&shell::notifier(), &shell::Notifier::waitCursorChanged);
    {
        shell::WaitCursor outer;
        {
            shell::WaitCursor inner;
            ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
            EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        EXPECT_TRUE(shell::isWaitCursorShown());
    }
    EXPECT_FALSE(shell::isWaitCursorShown());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    shell::endWaitCursor();  // unbalanced: nothing to end
    EXPECT_EQ(changed.count(), 2);
}

// A program in the device's program folder that reports the device root it sees.
std::filesystem::path writeProgram(const char* body) {
    const auto program = devfs::toHost(u"\\Program Files\\Quorin\\Quorin.exe");
    std::filesystem::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    return program;
}

TEST_F(Shell, ExecuteStartsTheProgramAtADevicePathInTheSameDeviceRoot) {
    writeProgram("echo \"$QUORIN_DEVICE\" > \"$QUORIN_DEVICE/started\"");
    QSignalSpy executed(&shell::notifier(), &shell::Notifier::executed);
    ASSERT_TRUE(shell::execute(u"\\Program Files\\Quorin\\Quorin.exe"));
    const QString marker = QString::fromStdString((roots.device() / "started").string());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(marker).size() > 0; }, 5000));
    QFile file(marker);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().trimmed().toStdString(), roots.device().string());
    EXPECT_EQ(executed.count(), 1);
}

TEST_F(Shell, ExecuteFailsForAMissingProgramOrOneThatDoesNotStart) {
    QStringList launched;
    shell::setLauncher([&](const QString& host) {
        launched << host;
        return false;
    });
    QSignalSpy executed(&shell::notifier(), &shell::Notifier::executed);
    EXPECT_FALSE(shell::execute(u"\\Program Files\\Quorin\\Quorin.exe"));
    EXPECT_TRUE(launched.isEmpty());

    const auto program = writeProgram("exit 0");
    EXPECT_FALSE(shell::execute(u"\\Program Files\\Quorin\\Quorin.exe"));
    EXPECT_EQ(launched, QStringList({QString::fromStdString(program.string())}));
    EXPECT_EQ(executed.count(), 0);
}

TEST_F(Shell, FileOpenDialogIsAnsweredByTheInstalledChooser) {
    shell::FileOpenRequest seen;
    shell::setFileChooser([&](const shell::FileOpenRequest& r) {
        seen = r;
        return std::optional<std::u16string>(u"\\RoughSketch\\map.jpg");
    });
    shell::FileOpenRequest request{
        "Sketch Files(*.bmp)|*.bmp|Sketch Files(*.jpg)|*.jpg|All Files (*.*)|*.*||", "*.jpg",
        "Sketch File"};
    EXPECT_EQ(shell::getOpenFileName(nullptr, request), u"\\RoughSketch\\map.jpg");
    EXPECT_EQ(seen.initialName, "*.jpg");
    EXPECT_EQ(shell::qtNameFilters(request.filter),
              QStringList({"Sketch Files(*.bmp) (*.bmp)", "Sketch Files(*.jpg) (*.jpg)",
                           "All Files (*.*) (*.*)"}));
    EXPECT_EQ(shell::qtNameFilters("Pictures|*.bmp;*.jpg||"),
              QStringList({"Pictures (*.bmp *.jpg)"}));
}

}  // namespace

namespace {

TEST(RuntimeDir, APrivateOneIsKeptAMissingOrSharedOneIsReplacedByTheProgramsOwn) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("quorin-rt-" + std::to_string(getpid()));
    std::filesystem::create_directories(base / "mine");
    std::filesystem::create_directories(base / "shared");
    std::filesystem::permissions(base / "mine", std::filesystem::perms::owner_all);
    std::filesystem::permissions(base / "shared", std::filesystem::perms::all);
    const std::string own = "/tmp/quorin-runtime-" + std::to_string(getuid());

    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((base / "mine").string()));
    shell::ensurePrivateRuntimeDir();
    EXPECT_EQ(qgetenv("XDG_RUNTIME_DIR").toStdString(), (base / "mine").string());

    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((base / "shared").string()));
    shell::ensurePrivateRuntimeDir();
    EXPECT_EQ(qgetenv("XDG_RUNTIME_DIR").toStdString(), own);

    qunsetenv("XDG_RUNTIME_DIR");
    shell::ensurePrivateRuntimeDir();
    EXPECT_EQ(qgetenv("XDG_RUNTIME_DIR").toStdString(), own);
    EXPECT_EQ(std::filesystem::status(own).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    std::filesystem::remove_all(base);
    if (saved.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", saved);
    }
}

}  // namespace
