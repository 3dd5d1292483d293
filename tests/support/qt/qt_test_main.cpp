// main() of the screen tests: the offscreen platform with one 240 x 320 screen, the device's
// look, and guards that keep any unscripted question from blocking.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "qt/scripted.h"
#include "shell/shell.h"
#include "ui/resources.h"

namespace {

// The offscreen plugin reads its screens from a file named in the platform argument.
QString writeScreenConfig() {
    QJsonObject screen{{"name", "Device"},     {"x", 0},        {"y", 0},
                       {"width", 240},         {"height", 320}, {"logicalDpi", 96},
                       {"logicalBaseDpi", 96}, {"dpr", 1}};
    // No frame margins: a window's geometry is its client area, in device pixels.
    QJsonObject config{{"synchronousWindowSystemEvents", false},
                       {"windowFrameMargins", false},
                       {"screens", QJsonArray{screen}}};
    const QString path = QDir::temp().filePath(
        QStringLiteral("quorin-offscreen-%1.json").arg(QCoreApplication::applicationPid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(QJsonDocument(config).toJson());
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const QString config = writeScreenConfig();
    if (config.isEmpty()) {
        std::fprintf(stderr, "cannot write the offscreen screen configuration\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", QStringLiteral("offscreen:configfile=%1").arg(config).toUtf8());
    // As the programs do: the toolkit warns on every start (the build's test listing too)
    // when the session has no runtime folder.
    shell::ensurePrivateRuntimeDir();
    QApplication app(argc, argv);
    QFile::remove(config);
    if (!ui::applyDeviceLook(app)) {
        std::fprintf(stderr, "the NanumGothic font is not installed (fonts-nanum)\n");
        return 1;
    }
    testsupport::installUnscriptedGuards();
    return RUN_ALL_TESTS();
}
