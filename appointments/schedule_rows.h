// What the schedule screens show, computed from the store by plain functions: the rows of one
// day (the day dialog's list), the marks of a month (the month calendar), the geometry of the
// month grid and the month steps of the month bar. The inspection tool prints the same.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "appointments/list_layout.h"
#include "clock/clock.h"
#include "store/repeat_rule.h"

class CRecordStore;
struct WalkReport;

namespace schedule {

// A stored start and end that mean "no time of day": the start minute is 12 and the
// appointment has no length (its end equals its start, or it has none). An appointment really
// at hh:12 ends after it starts and keeps its time on every screen.
bool isNoTimeMarker(const clk::SystemTime& start, const cedb::FileTime& end);
// "%s:%s" of the two-digit hour and minute; "<NONE>" for the no-time marker.
QString appointmentTimeText(const clk::SystemTime& start, const cedb::FileTime& end);
// The second column of an anniversary row: "<name>님의 <content>입니다." on its own date,
// "<name>님의 <content>(으)로부터 <n>일이 지났습니다." n days after it.
QString anniversaryRowText(const QString& name, const QString& content, int64_t elapsed);

// The rows of the day's list, in store order (the list sorts them): every appointment on the
// day and every anniversary that falls on it. Records that cannot be read are passed over and
// counted in `report`.
std::vector<listctl::ListRow> dayRows(CRecordStore& store, const repeat::Date& day,
                                      WalkReport* report = nullptr);

// Day marks of a month: index 1..31, as the calendar numbers them.
inline constexpr int NoMark = -1;
inline constexpr int AppointmentMark = 1;
inline constexpr int AnniversaryMark = 2;
inline constexpr int BothMarks = 3;
using MonthMarks = std::array<int, 32>;
MonthMarks monthMarks(CRecordStore& store, int year, int month, WalkReport* report = nullptr);

// The shown date after a step of one month forward (+1) or back (-1): the day is kept, or
// the month's last day when the new month is shorter. December steps to January of the next
// year and back.
repeat::Date stepMonth(const repeat::Date& date, int months);

// The month calendar's grid: six week rows of seven days, Sunday first.
class MonthGrid {
public:
    static constexpr int Rows = 6;
    static constexpr int Columns = 7;
    // Taps count only inside the day cells: (14, 53)-(226, 204).
    static QRect tapArea() { return QRect(QPoint(14, 53), QPoint(225, 203)); }

    MonthGrid(int year, int month);
    int year() const { return year_; }
    int month() const { return month_; }
    int daysInMonth() const { return days_; }
    // The day in a cell, 0 for an empty one.
    int dayAt(int row, int column) const;
    // The cell of a day (row, column); nullopt for a day the month does not have.
    std::optional<QPoint> cellOf(int day) const;
    // (15 + 30c, 54 + 25r)-(44 + 30c, 78 + 25r): the cell filled for today.
    static QRect cellRect(int row, int column);
    // (16 + 30c, 55 + 25r)-(29 + 30c, 69 + 25r): the box of the day's number.
    static QRect numberBox(int row, int column);
    // The cell under a tap: (row, column) by the grid's own formula, only inside the tap area
    // and within the six rows and seven columns.
    static std::optional<std::pair<int, int>> cellAt(const QPoint& p);
    // The day under a tap, 0 for none.
    int dayAtPoint(const QPoint& p) const;

private:
    int year_, month_, days_;
    int lead_;  // empty cells before day 1
};

}  // namespace schedule
