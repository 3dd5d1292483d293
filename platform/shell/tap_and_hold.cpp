#include "tap_and_hold.h"

#include <QMouseEvent>
#include <QTimerEvent>
#include <QWidget>

namespace shell {

TapAndHold::TapAndHold(QWidget* widget) : QObject(widget) {
    widget->installEventFilter(this);
}

QWidget* TapAndHold::widget() const {
    return static_cast<QWidget*>(parent());
}

void TapAndHold::trigger(const QPoint& pos) {
    timer_.stop();
    held_ = true;
    emit held(pos);
}

bool TapAndHold::eventFilter(QObject* watched, QEvent* event) {
    if (watched != parent()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            held_ = false;
            if (e->button() == Qt::LeftButton) {
                pressPos_ = e->position().toPoint();
                // Precise: a coarse timer may end a hold up to 5% early.
                timer_.start(kHoldMs, Qt::PreciseTimer, this);
            }
            break;
        }
        case QEvent::MouseMove: {
            const QPoint delta = static_cast<QMouseEvent*>(event)->position().toPoint() - pressPos_;
            if (timer_.isActive() && delta.manhattanLength() > kSlopPixels) timer_.stop();
            break;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::Hide:
            timer_.stop();
            break;
        default:
            break;
    }
    return false;
}

void TapAndHold::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId()) return QObject::timerEvent(event);
    trigger(pressPos_);
}

}  // namespace shell
