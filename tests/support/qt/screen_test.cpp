#include "screen_test.h"

#include <QApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QWidget>
#include <algorithm>

#include "shell/shell.h"

namespace testsupport {

::testing::AssertionResult showExposed(QWidget* widget) {
    QWidget* window = widget->window();
    window->show();
    widget->show();
    if (!QTest::qWaitForWindowExposed(window)) {
        return ::testing::AssertionFailure() << "window never exposed";
    }
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) {
        return ::testing::AssertionFailure() << "window never active";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult tap(QWidget* widget, QPoint pos) {
    if (!widget) return ::testing::AssertionFailure() << "no widget to tap";
    const std::string name = widget->objectName().toStdString();
    if (!widget->isVisible()) {
        return ::testing::AssertionFailure() << "cannot tap hidden widget " << name;
    }
    if (!widget->window()->windowHandle() || !widget->window()->windowHandle()->isExposed()) {
        return ::testing::AssertionFailure() << "window of " << name << " is not exposed";
    }
    if (pos == QPoint(-1, -1)) pos = widget->rect().center();
    // A point outside the visible region is clipped by a parent or under another widget: the
    // stylus would land elsewhere.
    if (!widget->visibleRegion().contains(pos)) {
        return ::testing::AssertionFailure() << "point (" << pos.x() << ", " << pos.y() << ") of "
                                             << name << " is covered or clipped";
    }
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    return ::testing::AssertionSuccess();
}

void commitText(QWidget* widget, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(widget, &event);
}

void processDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString screenshot(QWidget* widget, const QString& name) {
    const QString dir = QStringLiteral(QUORIN_SCREENSHOT_DIR);
    if (!QDir().mkpath(dir)) return {};
    const QString path = dir + u'/' + name + QStringLiteral(".png");
    return widget->grab().save(path, "PNG") ? path : QString();
}

QString screenshotScreen(const QString& name) {
    const QString dir = QStringLiteral(QUORIN_SCREENSHOT_DIR);
    if (!QDir().mkpath(dir)) return {};
    QImage screen(240, 320, QImage::Format_RGB32);
    screen.fill(Qt::white);
    QPainter p(&screen);
    QList<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) windows << w;
    }
    // Layers: ordinary windows, then the active one and the modal one, then tool-tip windows.
    auto layer = [](QWidget* w) {
        if (w->windowType() == Qt::ToolTip) return 3;
        if (w == QApplication::activeModalWidget()) return 2;
        return w->isActiveWindow() ? 1 : 0;
    };
    std::stable_sort(windows.begin(), windows.end(),
                     [&](QWidget* a, QWidget* b) { return layer(a) < layer(b); });
    for (QWidget* w : windows) p.drawPixmap(w->geometry().topLeft(), w->grab());
    p.end();
    const QString path = dir + u'/' + name + QStringLiteral(".png");
    return screen.save(path, "PNG") ? path : QString();
}

ScreenTest::ScreenTest() {
    shell::resetState();
}

ScreenTest::~ScreenTest() {
    processDeferredDeletes();
    shell::resetState();
}

void ScreenTest::TearDown() {
    messages.verify();
    modals.verify();
    menus.verify();
}

}  // namespace testsupport
