// today-host: the device's home screen with the Today item.
//   today-host [--item LIBRARY] [--refresh MS] [--print-lines] [--screenshot FILE.png]
// With --print-lines or --screenshot and no --refresh, it refreshes once, reports and ends;
// without a display it then draws off screen.
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QSocketNotifier>
#include <cstdio>
#include <cstring>

#include "child_programs.h"
#include "home_screen.h"
#include "shell/shell.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so the programs started from here are ended too.
void quitOnTerminate(QCoreApplication& app) {
    if (::pipe(g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool hasOption(int argc, char** argv, const char* name) {
    const size_t n = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, n) == 0 && (argv[i][n] == 0 || argv[i][n] == '=')) {
            return true;
        }
    }
    return false;
}

bool hasDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    shell::ensurePrivateRuntimeDir();
    const bool reporting =
        hasOption(argc, argv, "--print-lines") || hasOption(argc, argv, "--screenshot");
    if (!hasDisplay()) {
        if (!reporting) {
            std::fprintf(stderr,
                         "today-host: no display. Start it with scripts/run today, or ask for "
                         "--print-lines or --screenshot.\n");
            return 2;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Reporting without a refresh period is a single look at the item.
    const bool once = reporting && !hasOption(argc, argv, "--refresh");
    QApplication app(argc, argv);
    quitOnTerminate(app);
    childprograms::adoptDescendants();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { childprograms::endAll(); });
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
        QStringLiteral("After every refresh, print the item's lines and an empty line "
                       "(once and end, unless --refresh is given)."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("After every refresh, save the screen (once and end, unless --refresh "
                       "is given)."),
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
    options.once = once;

    HomeScreen screen(options);
    QString error;
    if (!screen.loadItem(&error)) std::fprintf(stderr, "today-host: %s\n", qUtf8Printable(error));
    screen.show();
    // The first refresh sizes the item; the timer takes over from there.
    QMetaObject::invokeMethod(&screen, &HomeScreen::refresh, Qt::QueuedConnection);
    return app.exec();
}
