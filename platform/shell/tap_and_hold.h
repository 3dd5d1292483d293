// Tap-and-hold recognition: a press that stays within a few pixels of where it began for the
// hold time is a hold. Watches one widget (for a scroll area, its viewport) without taking any
// of its events.
#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QPoint>

class QWidget;

namespace shell {

class TapAndHold : public QObject {
    Q_OBJECT
public:
    static constexpr int kHoldMs = 500;
    static constexpr int kSlopPixels = 5;  // a steady stylus still wavers this much

    // Watches `widget`; the recogniser is a child of it and goes with it.
    explicit TapAndHold(QWidget* widget);

    QWidget* widget() const;
    // True from held() until the next press: the release that ends a hold is not a tap.
    bool wasHeld() const { return held_; }
    // Recognises a hold at `pos` (widget coordinates) now, as if the stylus had been held there.
    void trigger(const QPoint& pos);

signals:
    // The stylus was held still at `pos` (widget coordinates).
    void held(const QPoint& pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QBasicTimer timer_;
    QPoint pressPos_;
    bool held_ = false;
};

}  // namespace shell
