// The "날짜" tab of the schedule screen: CMonthBarWnd (the month's title with previous, next
// and today buttons, holding the shown date) and below it CMonthCalendarWnd (the month's
// grid, each day with an appointment or an anniversary marked, recomputed from the store on
// every repaint). Tapping a day opens the day dialog CScheduleDlg over the calendar.
#pragma once

#include <QImage>
#include <QWidget>

#include "appointments/schedule_rows.h"

class CScheduleDlg;
class MainView;
namespace ui {
class BitmapButton;
}

class CMonthBarWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int NextButton = 105;
    static constexpr int PreviousButton = 106;
    static constexpr int TodayButton = 117;

    // Both dates are the device's current date.
    explicit CMonthBarWnd(QWidget* parent);

    repeat::Date shownDate() const { return shown_; }
    repeat::Date today() const { return today_; }
    QString title() const { return title_; }
    void SetShownDate(const repeat::Date& date);

    void NextMonth();
    void PreviousMonth();
    void GoToday();
    // Rebuilds the title; after the first time, says the shown date changed.
    void RefreshTitle();

signals:
    // The shown date changed: the calendar follows it.
    void shownDateChanged();
    // The device's date moved on since the bar last looked.
    void todayChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    repeat::Date shown_;
    repeat::Date today_;
    QString title_;
    bool firstTime_ = true;
};

class CMonthCalendarWnd : public QWidget {
    Q_OBJECT
public:
    CMonthCalendarWnd(MainView& view, QWidget* parent);
    ~CMonthCalendarWnd() override;

    // The month shown and its selected day.
    void SetShown(int year, int month, int day);
    void SetHighlighted(const repeat::Date& date);
    int year() const { return year_; }
    int month() const { return month_; }
    int selectedDay() const { return selectedDay_; }
    repeat::Date highlighted() const { return highlighted_; }
    // Sets every cell to 0 and every mark to none.
    void Clear();
    // Recomputes the marks from the store and repaints.
    void RefreshMarks();

    const schedule::MonthMarks& marks() const { return marks_; }
    // The public holidays of the month at the last paint, as bit (day - 1).
    uint32_t holidays() const { return holidays_; }
    // The day shown in a cell (row 0..5, column 0..6) at the last paint, 0 for none.
    int cellDay(int row, int column) const { return cells_[row][column]; }
    CScheduleDlg* dayDialog() const { return dialog_; }
    // The days' cells by their numbers, for the screen map (ui/screen_map.h).
    Q_INVOKABLE QVariantList screenParts() const;
    bool dayDialogOpen() const { return dialogOpen_; }
    // The calendar as it paints now.
    QImage renderedImage();

    // The day tap, as a tap-down and tap-up at these points make it.
    void OnTapDown(const QPoint& p);
    void OnTapUp(const QPoint& p);
    // The day dialog closed: marks reloaded, the open flag cleared.
    void OnDayDialogClosed();

signals:
    // A day was tapped: the bar takes it as its shown date.
    void dayTapped(int year, int month, int day);
    // The day dialog opened or closed: the bar hides while it is open.
    void dayDialogOpenChanged(bool open);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void draw(QPainter& p);

    MainView& view_;
    int year_ = 2000;
    int month_ = 1;
    int selectedDay_ = 1;
    repeat::Date highlighted_;
    schedule::MonthMarks marks_;
    uint32_t holidays_ = 0;
    int cells_[6][7] = {};
    int pressedDay_ = 0;
    CScheduleDlg* dialog_;
    bool dialogOpen_ = false;
};
