#include "screen_test.h"

#include <QApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QPixmap>
#include <QTest>
#include <QWidget>

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
