#include "appointments/meeting_rows.h"

#include <QHash>

#include "appointments/schedule_rows.h"
#include "people/people_list_rows.h"
#include "store/participant_lists.h"
#include "store/record_store.h"
#include "ui/exchange_sort.h"

namespace appointments {

namespace {

QString fromField(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

}  // namespace

QString twoDigits(int n) {
    return n < 10 ? QStringLiteral("0%1").arg(n) : QString::number(n);
}

QString dateText(int year, int month, int day) {
    return QStringLiteral("%1/%2/%3").arg(year).arg(twoDigits(month), twoDigits(day));
}

void sortByFirstColumn(ItemRows& rows) {
    ui::exchangeSort(rows, 0, rows.size(), [](const ItemRow& a, const ItemRow& b) {
        // Rows of one day share their text (see buildHistory): equal at once.
        if (a.first.constData() == b.first.constData()) return false;
        return QStringView(a.first).compare(QStringView(b.first)) < 0;
    });
}

History buildHistory(CRecordStore& store, int personId, int mode, WalkReport* report) {
    History h;
    if (personId == 0 || isGroupRowId(personId)) return h;
    const bool noName = personId == NoNameId;
    ItemRows appointmentRows, anniversaryRows;
    // Rows of one day share one date text: one allocation a day, not a row.
    QHash<int64_t, QString> dates;
    store.walkRecordsChecked(
        AnyKind, {PropKey, PropParticipantIds, PropStart, PropContent},
        [&](const RecordImage& r, uint32_t missing) {
            if (missing) return true;
            const bool appointment = r.kind == AppointmentKind;
            const bool anniversary = r.kind == AnniversaryKind;
            if (!appointment && !anniversary) return true;
            const std::u16string_view ids = text(r.participantIds);
            bool row = false;
            if (appointment) {
                row = mode == HistoryAppointments &&
                      (noName ? ids.starts_with(u'#') : takesPart(ids, personId));
            } else if (!noName && firstParticipant(ids) == personId) {
                h.hasAnniversaries = true;
                row = mode == HistoryAnniversaries;
            }
            if (!row) return true;
            const auto start = clk::fromFileTime(r.start);
            if (!start) return true;
            QString& date = dates[clk::dayNumber(start->year, start->month, start->day)];
            if (date.isNull()) date = dateText(start->year, start->month, start->day);
            if (appointment) {
                appointmentRows.push_back(
                    {date, fromField(text(r.content)), QString::number(r.key)});
            } else {
                anniversaryRows.push_back({QStringLiteral("기념일:") + date,
                                           fromField(text(r.content)),
                                           QString::number(-int64_t(r.key))});
            }
            return true;
        },
        report);
    h.rows = mode == HistoryAppointments ? std::move(appointmentRows) : std::move(anniversaryRows);
    sortByFirstColumn(h.rows);
    return h;
}

QString agendaTitle(const repeat::Date& day) {
    return QStringLiteral("%1년 %2월 %3일 약속")
        .arg(day.year)
        .arg(twoDigits(day.month), twoDigits(day.day));
}

QString anniversaryText(const QString& name, const QString& content, int64_t elapsed,
                        int64_t ahead) {
    const QString prefix = QStringLiteral("%1님의 ").arg(name);
    QString text = prefix + content;
    if (elapsed > 0)
        text += QStringLiteral("(으)로부터 %1일째입니다.").arg(elapsed);
    else
        text += QStringLiteral("입니다.");
    if (ahead > 0) text = QStringLiteral("%1일 후 - ").arg(ahead) + text;
    return text;
}

ItemRows buildAgenda(CRecordStore& store, const repeat::Date& today, WalkReport* report) {
    ItemRows rows;
    store.walkRecordsChecked(
        AnyKind, {PropKey, PropStart, PropContent, PropPlace, PropParticipantNames, PropEnd},
        [&](const RecordImage& r, uint32_t missing) {
            // Bits: key 0, start 1, content 2, place 3, names 4, end 5 (an appointment
            // without an end has no time of day).
            if (r.kind == AppointmentKind) {
                if (missing & 0b00111) return true;
                const auto start = clk::fromFileTime(r.start);
                if (!start || repeat::Date::of(*start) != today) return true;
                // The time column as the day dialog writes it.
                rows.push_back({schedule::appointmentTimeText(*start, r.end),
                                fromField(text(r.content)), QString::number(r.key)});
            } else if (r.kind == AnniversaryKind) {
                if (missing & 0b11111) return true;
                const auto date = clk::fromFileTime(r.start);
                if (!date) return true;
                const auto when = repeat::announcedOn(repeat::parse(text(r.place)),
                                                      repeat::Date::of(*date), today);
                if (!when) return true;
                rows.push_back(
                    {QStringLiteral("기념일"),
                     anniversaryText(fromField(text(r.participantNames)),
                                     fromField(text(r.content)), when->elapsed, when->ahead),
                     QString::number(-int64_t(r.key))});
            }
            return true;
        },
        report);
    return rows;
}

}  // namespace appointments
