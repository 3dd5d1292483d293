#include "appointments/schedule_rows.h"

#include "store/record_store.h"

namespace schedule {
namespace {

QString twoDigits(int v) {
    return v < 10 ? QStringLiteral("0%1").arg(v) : QString::number(v);
}

QString fromField(std::u16string_view s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

// The calendar date of a stored start; nothing for a field left empty.
std::optional<clk::SystemTime> dateOf(const cedb::FileTime& start) {
    if (start.value() == 0) return std::nullopt;
    return clk::fromFileTime(start);
}

}  // namespace

bool isNoTimeMarker(const clk::SystemTime& start, const cedb::FileTime& end) {
    if (start.minute != 12) return false;
    const std::optional<clk::SystemTime> e = dateOf(end);
    return !e || (e->hour == start.hour && e->minute == start.minute && e->second == start.second);
}

QString appointmentTimeText(const clk::SystemTime& start, const cedb::FileTime& end) {
    if (isNoTimeMarker(start, end)) return QStringLiteral("<NONE>");
    return QStringLiteral("%1:%2").arg(twoDigits(start.hour), twoDigits(start.minute));
}

QString anniversaryRowText(const QString& name, const QString& content, int64_t elapsed) {
    const QString prefix = QStringLiteral("%1님의 ").arg(name);
    if (elapsed == 0) return prefix + content + QStringLiteral("입니다.");
    return prefix + content + QStringLiteral("(으)로부터 %1일이 지났습니다.").arg(elapsed);
}

std::vector<listctl::ListRow> dayRows(CRecordStore& store, const repeat::Date& day,
                                      WalkReport* report) {
    std::vector<listctl::ListRow> rows;
    store.walkRecords(
        AnyKind, {PropId, PropStart, PropPlace, PropParticipantNames, PropContent, PropEnd},
        [&](const RecordImage& r) {
            const std::optional<clk::SystemTime> start = dateOf(r.start);
            if (!start) return true;
            if (r.kind == AppointmentKind) {
                if (repeat::Date::of(*start) == day)
                    rows.push_back({appointmentTimeText(*start, r.end),
                                    fromField(text(r.content)),
                                    QString::number(r.id)});
            } else if (r.kind == AnniversaryKind) {
                const std::optional<int64_t> elapsed =
                    repeat::occursOn(repeat::parse(text(r.place)), repeat::Date::of(*start), day);
                if (elapsed)
                    rows.push_back({QString::fromUtf16(listctl::kAnniversaryFirst),
                                    anniversaryRowText(fromField(text(r.participantNames)),
                                                       fromField(text(r.content)), *elapsed),
                                    QString::number(-int64_t(r.id))});
            }
            return true;
        },
        report);
    return rows;
}

MonthMarks monthMarks(CRecordStore& store, int year, int month, WalkReport* report) {
    std::array<uint32_t, 2> bits{};  // appointments, anniversaries: bit (day - 1)
    store.walkRecords(
        AnyKind, {PropStart, PropPlace},
        [&](const RecordImage& r) {
            const std::optional<clk::SystemTime> start = dateOf(r.start);
            if (!start) return true;
            if (r.kind == AppointmentKind) {
                if (start->year == year && start->month == month) bits[0] |= 1u << (start->day - 1);
            } else if (r.kind == AnniversaryKind) {
                bits[1] |= repeat::occurrenceDays(repeat::parse(text(r.place)),
                                                  repeat::Date::of(*start), year, month);
            }
            return true;
        },
        report);
    MonthMarks marks;
    marks.fill(NoMark);
    for (int d = 1; d <= 31; ++d) {
        const bool appointment = bits[0] & (1u << (d - 1));
        const bool anniversary = bits[1] & (1u << (d - 1));
        if (appointment || anniversary)
            marks[size_t(d)] =
                (appointment ? AppointmentMark : 0) | (anniversary ? AnniversaryMark : 0);
    }
    return marks;
}

repeat::Date stepMonth(const repeat::Date& date, int months) {
    const int index = date.year * 12 + (date.month - 1) + months;
    repeat::Date out{index / 12, index % 12 + 1, date.day};
    out.day = std::min(out.day, repeat::daysInMonth(out.year, out.month));
    return out;
}

MonthGrid::MonthGrid(int year, int month)
    : year_(year), month_(month), days_(repeat::daysInMonth(year, month)) {
    lead_ = clk::fromDayNumber(clk::dayNumber(year, month, 1)).dayOfWeek;
}

int MonthGrid::dayAt(int row, int column) const {
    if (row < 0 || row >= Rows || column < 0 || column >= Columns) return 0;
    const int day = row * Columns + column - lead_ + 1;
    return day >= 1 && day <= days_ ? day : 0;
}

std::optional<QPoint> MonthGrid::cellOf(int day) const {
    if (day < 1 || day > days_) return std::nullopt;
    const int index = lead_ + day - 1;
    if (index >= Rows * Columns) return std::nullopt;  // a sixth row is always enough
    return QPoint(index % Columns, index / Columns);
}

QRect MonthGrid::cellRect(int row, int column) {
    return QRect(QPoint(15 + 30 * column, 54 + 25 * row), QPoint(43 + 30 * column, 77 + 25 * row));
}

QRect MonthGrid::numberBox(int row, int column) {
    return QRect(QPoint(16 + 30 * column, 55 + 25 * row), QPoint(28 + 30 * column, 68 + 25 * row));
}

std::optional<std::pair<int, int>> MonthGrid::cellAt(const QPoint& p) {
    if (!tapArea().contains(p)) return std::nullopt;
    const int row = (p.y() - 52) / 25;
    const int column = (p.x() - 13) / 30;
    // The formula reaches a seventh column and a seventh row at the area's edges.
    if (row < 0 || row >= Rows || column < 0 || column >= Columns) return std::nullopt;
    return std::pair{row, column};
}

int MonthGrid::dayAtPoint(const QPoint& p) const {
    const auto cell = cellAt(p);
    return cell ? dayAt(cell->first, cell->second) : 0;
}

}  // namespace schedule
