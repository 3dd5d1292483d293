// today-host: the device's home screen with the Today item.
//   today-host [--item LIBRARY] [--refresh MS] [--print-lines] [--screenshot FILE.png]
#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QRegularExpression>
#include <cstdio>

#include "home_screen.h"

// Served over VNC, the home screen holds its port; a program started from it (Quorin, on a tap)
// is served on the next one, so both screens can be viewed.
static void moveChildrenToNextVncPort() {
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.startsWith(QStringLiteral("vnc"))) return;
    static const QRegularExpression port(QStringLiteral("port=(\\d+)"));
    auto m = port.match(platform);
    int next = (m.hasMatch() ? m.captured(1).toInt() : 5900) + 1;
    if (m.hasMatch()) {
        platform.replace(m.capturedStart(0), m.capturedLength(0), QStringLiteral("port=%1").arg(next));
    } else {
        platform += QStringLiteral(":port=%1").arg(next);
    }
    qputenv("QT_QPA_PLATFORM", platform.toUtf8());
    std::fprintf(stderr, "Quorin started from here is served on VNC port %d\n", next);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    moveChildrenToNextVncPort();
    QApplication::setApplicationName(QStringLiteral("today-host"));
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The home screen with the Today item."));
    parser.addHelpOption();
    const QCommandLineOption item(QStringLiteral("item"),
                                  QStringLiteral("The item library (default: beside the program, "
                                                 "else the one installed on the device)."),
                                  QStringLiteral("library"));
    const QCommandLineOption refresh(QStringLiteral("refresh"),
                                     QStringLiteral("Milliseconds between refreshes (5000)."),
                                     QStringLiteral("ms"), QStringLiteral("5000"));
    const QCommandLineOption printLines(
        QStringLiteral("print-lines"),
        QStringLiteral("After every refresh, print the item's lines and an empty line."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("After every refresh, save the screen."),
                                        QStringLiteral("png"));
    parser.addOptions({item, refresh, printLines, screenshot});
    parser.process(app);

    HomeScreen::Options options;
    options.itemLibrary =
        parser.isSet(item) ? parser.value(item) : HomeScreen::defaultItemLibrary();
    bool ok = false;
    options.refreshMs = parser.value(refresh).toInt(&ok);
    if (!ok || options.refreshMs <= 0) {
        std::fprintf(stderr, "today-host: --refresh wants a positive number of milliseconds\n");
        return 2;
    }
    options.printLines = parser.isSet(printLines);
    options.screenshot = parser.value(screenshot);

    HomeScreen screen(options);
    QString error;
    if (!screen.loadItem(&error)) std::fprintf(stderr, "today-host: %s\n", qUtf8Printable(error));
    screen.show();
    // The first refresh sizes the item; the timer takes over from there.
    QMetaObject::invokeMethod(&screen, &HomeScreen::refresh, Qt::QueuedConnection);
    return app.exec();
}
