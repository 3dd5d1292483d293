#include "home_screen.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QFile>
#include <QPainter>
#include <QPushButton>
#include <cstdio>
#include <cstring>

#include "child_programs.h"
#include "clock/clock.h"
#include "fs/devfs.h"

namespace ts = todayscreen;

namespace {

const QColor kHeaderColor(0, 51, 128);

QString dateText(const clk::SystemTime& now) {
    static const char16_t* const days[] = {u"일", u"월", u"화", u"수", u"목", u"금", u"토"};
    const clk::SystemTime date = clk::fromDayNumber(clk::dayNumber(now.year, now.month, now.day));
    return QStringLiteral("%1년 %2월 %3일 %4요일")
        .arg(now.year)
        .arg(now.month)
        .arg(now.day)
        .arg(QString::fromUtf16(days[date.dayOfWeek]));
}

}  // namespace

HomeScreen::HomeScreen(const Options& options, QWidget* parent)
    : QWidget(parent), options_(options) {
    setFixedSize(240, 320);
    setWindowTitle(QStringLiteral("Today"));
    setFocusPolicy(Qt::StrongFocus);
    refreshButton_ = new QPushButton(QStringLiteral("새로 고침"), this);
    refreshButton_->setGeometry(240 - 72, 320 - kCommandBarHeight + 2, 70, kCommandBarHeight - 4);
    refreshButton_->setFocusPolicy(Qt::NoFocus);
    connect(refreshButton_, &QPushButton::clicked, this, &HomeScreen::refresh);
    connect(&timer_, &QTimer::timeout, this, &HomeScreen::refresh);
    timer_.start(std::max(options_.refreshMs, 50));
}

QString HomeScreen::defaultItemLibrary() {
    const QString beside = QCoreApplication::applicationDirPath() + "/libQuorinToday.so";
    if (QFileInfo::exists(beside)) return beside;
    return QString::fromStdString(
        devfs::toHost(u"\\Program Files\\Quorin\\QuorinToday.dll").string());
}

bool HomeScreen::loadItem(QString* error) {
    const QByteArray path = QFile::encodeName(options_.itemLibrary);
    // Never unloaded: the item's class and window live as long as the screen.
    void* library = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        problem_ = QString::fromLocal8Bit(dlerror());
    } else if (auto init = reinterpret_cast<ts::PFNCUSTOMINITIALIZEITEM>(
                   ts::procByOrdinal(library, ts::ORDINAL_INITIALIZEITEM));
               !init) {
        problem_ = options_.itemLibrary + ": no ordinal 240";
    } else {
        const std::u16string name =
            QFileInfo(options_.itemLibrary).completeBaseName().toStdU16String();
        name.copy(item_.szName, std::size(item_.szName) - 1);
        std::strncpy(item_.szDLLPath, path.constData(), sizeof item_.szDLLPath - 1);
        item_.fEnabled = 1;
        item_.hinstDLL = reinterpret_cast<ts::HINSTANCE>(library);
        item_.hwndCustom = init(&item_, ts::handleOf(this));
        if (!item_.hwndCustom) problem_ = options_.itemLibrary + ": the item made no window";
    }
    if (error) *error = problem_;
    layoutItems();
    return problem_.isEmpty();
}

void HomeScreen::refresh() {
    // Programs started from the item that have ended since are reaped here.
    childprograms::reapEnded();
    ts::sendMessage(item_.hwndCustom, ts::WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, 0);
    layoutItems();
    update();
    report();
}

void HomeScreen::layoutItems() {
    QWidget* item = ts::widgetOf(item_.hwndCustom);
    if (!item) return;
    item->move(0, kHeaderHeight);
    item_.cyp = ts::UINT(item->height());
}

void HomeScreen::report() {
    // The picture first: whoever reads the lines may stop the screen at once.
    if (!options_.screenshot.isEmpty()) {
        // Written aside and renamed, so a reader never sees half a picture.
        const QString part = options_.screenshot + QStringLiteral(".part");
        if (grab().save(part, "PNG")) {
            QFile::remove(options_.screenshot);
            QFile::rename(part, options_.screenshot);
        }
    }
    if (options_.printLines) {
        const QString lines = problem_.isEmpty() ? ts::windowDescription(item_.hwndCustom)
                                                 : QStringLiteral("(no item) ") + problem_;
        std::fputs(qUtf8Printable(lines + "\n\n"), stdout);
        std::fflush(stdout);
    }
    if (options_.once) QCoreApplication::quit();
}

void HomeScreen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.fillRect(0, 0, width(), kHeaderHeight, kHeaderColor);
    p.setPen(Qt::white);
    p.drawText(QRect(6, 0, width() - 12, kHeaderHeight), Qt::AlignVCenter | Qt::AlignLeft,
               dateText(clk::localTime()));
    p.setPen(QColor(160, 160, 160));
    const int below = kHeaderHeight + int(item_.cyp);
    if (item_.hwndCustom) p.drawLine(0, below, width(), below);
    p.drawLine(0, height() - kCommandBarHeight, width(), height() - kCommandBarHeight);
    if (!problem_.isEmpty()) {
        p.setPen(Qt::darkRed);
        p.drawText(QRect(6, kHeaderHeight + 6, width() - 12, 120), Qt::TextWordWrap,
                   QStringLiteral("Today 항목을 불러오지 못했습니다.\n") + problem_);
    }
}

void HomeScreen::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F5 || e->key() == Qt::Key_R) {
        refresh();
        return;
    }
    QWidget::keyPressEvent(e);
}
