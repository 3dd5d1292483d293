// The month calendar control: a page of one month with previous and next arrows, from which
// a day is picked with the stylus. A tap on the year in the title opens an up-down on it, so
// that a year decades away is reached at once. Created hidden by its dialog; shown on demand,
// it hides itself on a pick or on a tap anywhere outside it in its window.
#pragma once

#include <QDate>
#include <QRect>
#include <QWidget>

class QSpinBox;

namespace ui {

// The geometry of the control's page, free of the widget.
struct MonthCalendarPage {
    static constexpr int Width = 168;
    static constexpr int Height = 138;
    static constexpr int HeaderHeight = 20;
    static constexpr int WeekdayHeight = 16;
    static constexpr int CellWidth = 24;
    static constexpr int CellHeight = 17;
    static constexpr int Rows = 6;

    int year = 2000;
    int month = 1;

    // The day shown at row r (0..5), column c (0 = Sunday), 0 when the cell is empty.
    int dayAt(int row, int column) const;
    QRect cellRect(int row, int column) const;
    // The day under `p`, 0 when none.
    int dayAtPoint(const QPoint& p) const;
    static constexpr int FirstYear = 1601;
    static constexpr int LastYear = 9999;

    static QRect previousArrow() { return QRect(0, 0, 24, HeaderHeight); }
    static QRect nextArrow() { return QRect(Width - 24, 0, 24, HeaderHeight); }
    // The title: the year ("2005년") right-aligned left of the middle, the month after it.
    static QRect yearRect() { return QRect(24, 0, 62, HeaderHeight); }
    static QRect monthRect() { return QRect(90, 0, 54, HeaderHeight); }
    MonthCalendarPage stepped(int months) const;
};

class MonthCalendarCtrl : public QWidget {
    Q_OBJECT
public:
    // Hidden; centred over `parent` when shown.
    explicit MonthCalendarCtrl(QWidget* parent);

    // The month shown and the day marked as current.
    void setCurrentDate(const QDate& date);
    QDate currentDate() const { return current_; }
    const MonthCalendarPage& page() const { return page_; }
    // Centres the control over its parent and shows it on top.
    void popUp();
    // The year's up-down over the title, shown by a tap on the year; its value is the page's
    // year, and Return, a tap elsewhere on the control or hiding the control closes it.
    QSpinBox* yearChooser() const { return yearSpin_; }
    void chooseYear();

signals:
    // A day was tapped; the control has hidden itself.
    void dayPicked(const QDate& date);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void closeYearChooser();

    MonthCalendarPage page_;
    QSpinBox* yearSpin_;
    QDate current_;
    int pressedDay_ = 0;
};

}  // namespace ui
