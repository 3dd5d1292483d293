#include "shell/tap_and_hold.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "qt/screen_test.h"

namespace {

using shell::TapAndHold;

class TapAndHoldTest : public ::testing::Test {
protected:
    void SetUp() override {
        surface.resize(200, 200);
        ASSERT_TRUE(testsupport::showExposed(&surface));
        recogniser = new TapAndHold(&surface);
    }
    QWidget surface;
    TapAndHold* recogniser = nullptr;
};

TEST_F(TapAndHoldTest, FiresAtThePressPointAfterAStillHold) {
    QSignalSpy held(recogniser, &TapAndHold::held);
    QElapsedTimer clock;
    clock.start();
    QTest::mousePress(&surface, Qt::LeftButton, {}, QPoint(40, 60));
    QTest::mouseMove(&surface, QPoint(42, 61));  // a steady hand still wavers
    ASSERT_TRUE(held.wait(2000));
    EXPECT_GE(clock.elapsed(), TapAndHold::kHoldMs - 20);
    EXPECT_EQ(held[0][0].toPoint(), QPoint(40, 60));
    EXPECT_TRUE(recogniser->wasHeld());
    QTest::mouseRelease(&surface, Qt::LeftButton, {}, QPoint(42, 61));
    EXPECT_TRUE(recogniser->wasHeld());  // the release that ends a hold is no tap
    EXPECT_EQ(held.count(), 1);
}

TEST_F(TapAndHoldTest, DoesNotFireAfterMovingOrAnEarlyRelease) {
    QSignalSpy held(recogniser, &TapAndHold::held);
    QTest::mousePress(&surface, Qt::LeftButton, {}, QPoint(40, 60));
    QTest::mouseMove(&surface, QPoint(40 + TapAndHold::kSlopPixels + 1, 60));
    QTest::mouseMove(&surface, QPoint(40, 60));  // coming back does not restart it
    QTest::qWait(TapAndHold::kHoldMs + 150);
    QTest::mouseRelease(&surface, Qt::LeftButton, {}, QPoint(40, 60));

    QTest::mousePress(&surface, Qt::LeftButton, {}, QPoint(40, 60));
    QTest::qWait(TapAndHold::kHoldMs / 2);
    QTest::mouseRelease(&surface, Qt::LeftButton, {}, QPoint(40, 60));
    QTest::qWait(TapAndHold::kHoldMs);
    EXPECT_EQ(held.count(), 0);
    EXPECT_FALSE(recogniser->wasHeld());
}

TEST_F(TapAndHoldTest, CanBeTriggeredDirectlyAndANewPressClearsTheHold) {
    QSignalSpy held(recogniser, &TapAndHold::held);
    recogniser->trigger(QPoint(7, 8));
    ASSERT_EQ(held.count(), 1);
    EXPECT_EQ(held[0][0].toPoint(), QPoint(7, 8));
    QTest::mousePress(&surface, Qt::LeftButton, {}, QPoint(40, 60));
    EXPECT_FALSE(recogniser->wasHeld());
    QTest::mouseRelease(&surface, Qt::LeftButton, {}, QPoint(40, 60));
}

}  // namespace
