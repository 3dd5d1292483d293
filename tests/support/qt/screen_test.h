// Screen tests: the offscreen 240 x 320 screen, helpers that act as the user does, and the
// ScreenTest fixture. Link quorin_qttestsupport; it brings its own main().
#pragma once

#include <gtest/gtest.h>

#include <QPoint>
#include <QString>

#include "device_root.h"
#include "qt/scripted.h"

class QWidget;

namespace testsupport {

// Shows the window of `widget`, activates it and waits until it is exposed and active.
::testing::AssertionResult showExposed(QWidget* widget);

// Taps `widget` at `pos` (its centre by default) as the stylus does: fails, without tapping,
// when the widget is hidden, its window is not exposed, or the point is covered or off the
// widget's visible part.
::testing::AssertionResult tap(QWidget* widget, QPoint pos = QPoint(-1, -1));

// Enters `text` into `widget` as the input panel does: one input-method commit. Use it for
// Hangul, which QTest::keyClicks cannot type.
void commitText(QWidget* widget, const QString& text);

// Runs the deferred deletes (deleteLater) that are due.
void processDeferredDeletes();

// Writes a picture of `widget` to <build>/screenshots/<name>.png; returns the file's path, or
// an empty string when it could not be written.
QString screenshot(QWidget* widget, const QString& name);

// Writes a picture of the whole 240 x 320 screen as the user sees it: the visible windows at
// their places, the active one over the others and the panel's windows (tool tips) on top.
QString screenshotScreen(const QString& name);

// A fresh device and desktop root, a reset shell, and scripts for the messages, modal
// dialogs and menus of the test, checked when the test ends.
class ScreenTest : public DeviceTest {
protected:
    ScreenTest();
    ~ScreenTest() override;
    void TearDown() override;

    ScriptedResponder messages;
    ScriptedModals modals;
    ScriptedMenus menus;
};

}  // namespace testsupport
