#include "ui/month_calendar_ctrl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>

#include "ui/resources.h"

namespace ui {

int MonthCalendarPage::dayAt(int row, int column) const {
    const QDate first(year, month, 1);
    if (!first.isValid() || row < 0 || row >= Rows || column < 0 || column > 6) return 0;
    const int lead = first.dayOfWeek() % 7;  // Sunday first
    const int day = row * 7 + column - lead + 1;
    return day >= 1 && day <= first.daysInMonth() ? day : 0;
}

QRect MonthCalendarPage::cellRect(int row, int column) const {
    return QRect(column * CellWidth, HeaderHeight + WeekdayHeight + row * CellHeight, CellWidth,
                 CellHeight);
}

int MonthCalendarPage::dayAtPoint(const QPoint& p) const {
    const int top = HeaderHeight + WeekdayHeight;
    if (p.x() < 0 || p.x() >= 7 * CellWidth || p.y() < top || p.y() >= top + Rows * CellHeight)
        return 0;
    return dayAt((p.y() - top) / CellHeight, p.x() / CellWidth);
}

MonthCalendarPage MonthCalendarPage::stepped(int months) const {
    const QDate d = QDate(year, month, 1).addMonths(months);
    return {d.year(), d.month()};
}

MonthCalendarCtrl::MonthCalendarCtrl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MonthCalendarCtrl"));
    setFont(deviceFont());
    resize(MonthCalendarPage::Width, MonthCalendarPage::Height);
    setAttribute(Qt::WA_OpaquePaintEvent);

    yearSpin_ = new QSpinBox(this);
    yearSpin_->setRange(MonthCalendarPage::FirstYear, MonthCalendarPage::LastYear);
    yearSpin_->setGeometry(MonthCalendarPage::yearRect().adjusted(0, 1, 0, -1));
    yearSpin_->hide();
    connect(yearSpin_, &QSpinBox::valueChanged, this, [this](int year) {
        page_.year = year;
        update();
    });
    connect(yearSpin_, &QSpinBox::editingFinished, this, &MonthCalendarCtrl::closeYearChooser);

    hide();
    setCurrentDate(QDate::currentDate());
}

void MonthCalendarCtrl::setCurrentDate(const QDate& date) {
    if (!date.isValid()) return;
    current_ = date;
    page_ = {date.year(), date.month()};
    update();
}

void MonthCalendarCtrl::chooseYear() {
    {
        const QSignalBlocker block(yearSpin_);
        yearSpin_->setValue(page_.year);
    }
    yearSpin_->show();
    yearSpin_->raise();
    yearSpin_->setFocus();
    yearSpin_->selectAll();
}

void MonthCalendarCtrl::closeYearChooser() {
    if (!yearSpin_->isVisible()) return;
    // A year typed but not yet taken counts as chosen.
    yearSpin_->interpretText();
    yearSpin_->hide();
}

void MonthCalendarCtrl::popUp() {
    if (QWidget* p = parentWidget()) {
        move((p->width() - width()) / 2, (p->height() - height()) / 2);
    }
    show();
    raise();
}

void MonthCalendarCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.fillRect(QRect(1, 1, width() - 2, MonthCalendarPage::HeaderHeight - 1), QColor(0, 114, 188));
    p.setPen(Qt::white);
    p.drawText(MonthCalendarPage::previousArrow(), Qt::AlignCenter, QStringLiteral("◀"));
    p.drawText(MonthCalendarPage::nextArrow(), Qt::AlignCenter, QStringLiteral("▶"));
    p.drawText(MonthCalendarPage::yearRect(), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("%1년").arg(page_.year));
    p.drawText(MonthCalendarPage::monthRect(), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("%1월").arg(page_.month));
    static const char16_t* names[] = {u"일", u"월", u"화", u"수", u"목", u"금", u"토"};
    for (int c = 0; c < 7; ++c) {
        p.setPen(c == 0 ? QColor(255, 0, 0) : QColor(Qt::black));
        p.drawText(QRect(c * MonthCalendarPage::CellWidth, MonthCalendarPage::HeaderHeight,
                         MonthCalendarPage::CellWidth, MonthCalendarPage::WeekdayHeight),
                   Qt::AlignCenter, QString::fromUtf16(names[c]));
    }
    for (int r = 0; r < MonthCalendarPage::Rows; ++r) {
        for (int c = 0; c < 7; ++c) {
            const int day = page_.dayAt(r, c);
            if (!day) continue;
            const QRect cell = page_.cellRect(r, c);
            if (QDate(page_.year, page_.month, day) == current_) {
                p.fillRect(cell.adjusted(1, 1, -1, -1), QColor(204, 255, 0));
            }
            p.setPen(c == 0 ? QColor(255, 0, 0) : QColor(Qt::black));
            p.drawText(cell, Qt::AlignCenter, QString::number(day));
        }
    }
}

void MonthCalendarCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    closeYearChooser();
    if (MonthCalendarPage::yearRect().contains(pos)) {
        pressedDay_ = 0;
        chooseYear();
        return;
    }
    pressedDay_ = page_.dayAtPoint(pos);
    if (MonthCalendarPage::previousArrow().contains(pos)) page_ = page_.stepped(-1), update();
    if (MonthCalendarPage::nextArrow().contains(pos)) page_ = page_.stepped(1), update();
}

void MonthCalendarCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const int day = page_.dayAtPoint(event->position().toPoint());
    if (!day || day != pressedDay_) return;
    const QDate picked(page_.year, page_.month, day);
    current_ = picked;
    hide();
    emit dayPicked(picked);
}

void MonthCalendarCtrl::showEvent(QShowEvent* event) {
    qApp->installEventFilter(this);
    QWidget::showEvent(event);
}

void MonthCalendarCtrl::hideEvent(QHideEvent* event) {
    qApp->removeEventFilter(this);
    yearSpin_->hide();
    QWidget::hideEvent(event);
}

bool MonthCalendarCtrl::eventFilter(QObject* watched, QEvent* event) {
    // A tap anywhere else in the window puts the calendar away and does nothing else.
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (widget->window() == window() && widget != this && !isAncestorOf(widget)) {
            const QPoint here = mapFromGlobal(mouse->globalPosition().toPoint());
            if (!rect().contains(here)) {
                hide();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ui
