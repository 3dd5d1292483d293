#include "appointments/month_calendar_wnd.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "appointments/schedule_dlg.h"
#include "clock/clock.h"
#include "store/holidays.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace {

QRect ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

repeat::Date deviceToday() {
    return repeat::Date::of(clk::localTime());
}

QString twoDigits(int v) {
    return v < 10 ? QStringLiteral("0%1").arg(v) : QString::number(v);
}

}  // namespace

// ---- CMonthBarWnd ------------------------------------------------------------------------------

CMonthBarWnd::CMonthBarWnd(QWidget* parent)
    : QWidget(parent), shown_(deviceToday()), today_(shown_) {
    setObjectName(QStringLiteral("CMonthBarWnd"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    const struct {
        int id, up, down;
        QRect rect;
        void (CMonthBarWnd::*slot)();
    } buttons[] = {
        {TodayButton, 207, 208, ltrb(160, 2, 180, 20), &CMonthBarWnd::GoToday},
        {PreviousButton, 205, 206, ltrb(180, 2, 190, 20), &CMonthBarWnd::PreviousMonth},
        {NextButton, 203, 204, ltrb(200, 2, 220, 20), &CMonthBarWnd::NextMonth},
    };
    for (const auto& b : buttons) {
        auto* button = ui::addControl<ui::BitmapButton>(this, b.id, b.rect);
        button->loadBitmaps(b.up, b.down);
        button->sizeToContent();
        // The today picture is wider than its place: it ends where the previous button starts.
        if (b.id == TodayButton) button->move(b.rect.right() + 1 - button->width(), b.rect.top());
        connect(button, &QAbstractButton::clicked, this, b.slot);
    }
    RefreshTitle();
}

void CMonthBarWnd::SetShownDate(const repeat::Date& date) {
    shown_ = date;
    RefreshTitle();
}

void CMonthBarWnd::NextMonth() {
    shown_ = schedule::stepMonth(shown_, 1);
    RefreshTitle();
}

void CMonthBarWnd::PreviousMonth() {
    shown_ = schedule::stepMonth(shown_, -1);
    RefreshTitle();
}

void CMonthBarWnd::GoToday() {
    shown_ = today_;
    RefreshTitle();
}

void CMonthBarWnd::RefreshTitle() {
    title_ = QStringLiteral("%1월 %2").arg(twoDigits(shown_.month)).arg(shown_.year);
    if (!firstTime_) emit shownDateChanged();
    firstTime_ = false;
    update();
}

void CMonthBarWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Right) {
        NextMonth();
    } else if (event->key() == Qt::Key_Left) {
        PreviousMonth();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void CMonthBarWnd::paintEvent(QPaintEvent*) {
    const repeat::Date now = deviceToday();
    if (now != today_) {
        today_ = now;
        emit todayChanged();
    }
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setFont(ui::deviceFont(ui::kDefaultFontPixels, true));
    p.setPen(Qt::black);
    p.drawText(ltrb(10, 3, 100, 17), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, title_);
    p.setPen(QColor(0xB4, 0xB4, 0xB4));
    p.drawLine(195, 4, 195, 19);
}

// ---- CMonthCalendarWnd -------------------------------------------------------------------------

CMonthCalendarWnd::CMonthCalendarWnd(MainView& view, QWidget* parent)
    : QWidget(parent), view_(view), dialog_(new CScheduleDlg(view, this)) {
    setObjectName(QStringLiteral("CMonthCalendarWnd"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    marks_.fill(schedule::NoMark);
    const repeat::Date today = deviceToday();
    year_ = today.year;
    month_ = today.month;
    selectedDay_ = today.day;
    highlighted_ = today;
    connect(dialog_, &CScheduleDlg::closed, this, &CMonthCalendarWnd::OnDayDialogClosed);
}

CMonthCalendarWnd::~CMonthCalendarWnd() = default;

void CMonthCalendarWnd::SetShown(int year, int month, int day) {
    year_ = year;
    month_ = month;
    selectedDay_ = day;
    update();
}

void CMonthCalendarWnd::SetHighlighted(const repeat::Date& date) {
    highlighted_ = date;
    update();
}

void CMonthCalendarWnd::Clear() {
    for (auto& row : cells_)
        for (int& cell : row) cell = 0;
    marks_.fill(schedule::NoMark);
}

void CMonthCalendarWnd::RefreshMarks() {
    update();
}

void CMonthCalendarWnd::draw(QPainter& p) {
    // Background, header row and the red Sunday header.
    p.fillRect(rect(), Qt::white);
    p.fillRect(ltrb(14, 28, 225, 53), QColor(0xDC, 0xDC, 0xDC));
    p.fillRect(ltrb(14, 28, 44, 53), QColor(255, 0, 0));
    // Grid: the outermost lines black, the inner ones grey.
    for (int k = 0; k <= 7; ++k) {
        p.setPen((k == 0 || k == 7) ? QColor(Qt::black) : QColor(0xA0, 0xA0, 0xA0));
        p.drawLine(14, 28 + 25 * k, 225, 28 + 25 * k);
        p.drawLine(14 + 30 * k, 29, 14 + 30 * k, 203);
    }
    p.setFont(ui::deviceFont());
    static const char16_t* names[] = {u"일", u"월", u"화", u"수", u"목", u"금", u"토"};
    p.setPen(Qt::white);
    p.drawText(ltrb(22, 33, 64, 50), Qt::AlignLeft | Qt::AlignTop, QString::fromUtf16(names[0]));
    p.setPen(Qt::black);
    for (int c = 1; c < 7; ++c) {
        p.drawText(ltrb(22 + 30 * c, 33, 34 + 30 * c, 50),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, QString::fromUtf16(names[c]));
    }

    // The marks, afresh from the store: a record deleted since the last paint has none.
    marks_ = schedule::monthMarks(view_.store(), year_, month_);
    holidays_ = holidays::daysOfMonth(holidays::onDevice(year_), year_, month_);

    const schedule::MonthGrid grid(year_, month_);
    const QPixmap anniversary = ui::loadBitmap(261);
    const QPixmap appointment = ui::loadBitmap(163);
    p.setFont(ui::deviceFont(11));
    for (int r = 0; r < schedule::MonthGrid::Rows; ++r) {
        for (int c = 0; c < schedule::MonthGrid::Columns; ++c) {
            const int day = grid.dayAt(r, c);
            cells_[r][c] = day;
            if (!day) continue;
            if (highlighted_ == repeat::Date{year_, month_, day})
                p.fillRect(schedule::MonthGrid::cellRect(r, c), QColor(204, 255, 0));
            const QRect box = schedule::MonthGrid::numberBox(r, c);
            // A public holiday's number is red, as the Sunday header.
            p.setPen(holidays_ & (1u << (day - 1)) ? QColor(255, 0, 0) : QColor(Qt::black));
            p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, QString::number(day));
            const int mark = marks_[size_t(day)];
            // The box is (16 + 30c, 55 + 25r)-(29 + 30c, 69 + 25r); its right and bottom are
            // the first pixels past it.
            const int right = box.right() + 1, bottom = box.bottom() + 1;
            if (mark == schedule::AnniversaryMark || mark == schedule::BothMarks)
                p.drawPixmap(box.left() + 2, bottom - 2, anniversary);
            if (mark == schedule::AppointmentMark || mark == schedule::BothMarks)
                p.drawPixmap(right + 2, bottom - 2, appointment);
        }
    }
}

void CMonthCalendarWnd::paintEvent(QPaintEvent*) {
    QImage surface(size(), QImage::Format_RGB32);
    {
        QPainter p(&surface);
        draw(p);
    }
    QPainter(this).drawImage(0, 0, surface);
}

QImage CMonthCalendarWnd::renderedImage() {
    QImage image(size(), QImage::Format_RGB32);
    QPainter p(&image);
    draw(p);
    return image;
}

QVariantList CMonthCalendarWnd::screenParts() const {
    QVariantList parts;
    const schedule::MonthGrid grid(year_, month_);
    for (int row = 0; row < schedule::MonthGrid::Rows; ++row) {
        for (int column = 0; column < schedule::MonthGrid::Columns; ++column) {
            if (const int day = grid.dayAt(row, column)) {
                parts << QVariantMap{{"text", QString::number(day)},
                                     {"rect", schedule::MonthGrid::cellRect(row, column)}};
            }
        }
    }
    return parts;
}

void CMonthCalendarWnd::OnTapDown(const QPoint& p) {
    pressedDay_ = schedule::MonthGrid(year_, month_).dayAtPoint(p);
}

void CMonthCalendarWnd::OnTapUp(const QPoint& p) {
    const int day = schedule::MonthGrid(year_, month_).dayAtPoint(p);
    const int pressed = std::exchange(pressedDay_, 0);
    if (!day || day != pressed) return;
    selectedDay_ = day;
    emit dayTapped(year_, month_, day);
    emit dayDialogOpenChanged(true);
    dialog_->OpenDay(0, year_, month_, day);
    marks_ = schedule::monthMarks(view_.store(), year_, month_);
    if (marks_[size_t(day)] != schedule::NoMark) dialog_->FillDay();
    dialogOpen_ = true;
    dialog_->setOpen(true);
}

void CMonthCalendarWnd::OnDayDialogClosed() {
    dialogOpen_ = false;
    emit dayDialogOpenChanged(false);
    RefreshMarks();
}

void CMonthCalendarWnd::mousePressEvent(QMouseEvent* event) {
    OnTapDown(event->position().toPoint());
}

void CMonthCalendarWnd::mouseReleaseEvent(QMouseEvent* event) {
    OnTapUp(event->position().toPoint());
}
