#include "sketch/details_text.h"

#include <algorithm>

#include "appointments/schedule_rows.h"
#include "clock/clock.h"
#include "store/record_store.h"
#include "store/repeat_rule.h"

namespace sketch {
namespace {

QString fieldText(std::u16string_view field) {
    return QString::fromUtf16(field.data(), qsizetype(field.size()));
}

QString twoDigits(int v) {
    return v < 10 ? QStringLiteral("0%1").arg(v) : QString::number(v);
}

}  // namespace

QStringList DetailLabels(DetailKind kind) {
    switch (kind) {
        case DetailKind::Person:
            return {QStringLiteral("그룹       :"), QStringLiteral("이름       :"),
                    QStringLiteral("휴대전화 :"),   QStringLiteral("전자메일 :"),
                    QStringLiteral("회사       :"), QStringLiteral("직함       :"),
                    QStringLiteral("주소       :"), QStringLiteral("회사전화 :"),
                    QStringLiteral("집전화    :")};
        case DetailKind::Appointment:
            return {QStringLiteral("이름       :"), QStringLiteral("날짜       :"),
                    QStringLiteral("약속시간 :"),   QStringLiteral("장소       :"),
                    QStringLiteral("내용       :"), QStringLiteral("약도       :")};
        case DetailKind::Anniversary:
            return {QStringLiteral("이름       :"), QStringLiteral("날짜       :"),
                    QStringLiteral("내용       :"), QStringLiteral("반복종류 :"),
                    QStringLiteral("반복날짜 :"),   QStringLiteral("미리알림 :")};
    }
    return {};
}

QString NamesShown(const QString& names, int* lines) {
    const int n = int(names.count(u';'));
    *lines = (n % 2 == 0 && n > 1) ? n / 2 : n / 2 + 1;
    // Two names to a line, as many lines as the rows keep for them.
    QString out;
    int seen = 0;
    for (QChar c : names) {
        out += c;
        if (c == u';' && ++seen % 2 == 0 && seen < n) out += u'\n';
    }
    return out;
}

QString ContentShown(const QString& content, int* extraLines) {
    QString out;
    int extra = 0, run = 0;
    for (qsizetype i = 0; i < content.size() && out.size() < kMaxContentShown; ++i) {
        const QChar c = content[i];
        if (c == u'\r' && i + 1 < content.size() && content[i + 1] == u'\n') {
            if (out.size() + 2 > kMaxContentShown) break;
            out += QStringLiteral("\r\n");
            ++i;
            ++extra;
            run = 0;
        } else if (c == u'\n' || c == u'\r') {
            // A break typed alone is a break as well.
            out += u'\n';
            ++extra;
            run = 0;
        } else {
            if (run == 9) {
                if (out.size() + 2 > kMaxContentShown) break;
                out += u'\n';
                ++extra;
                run = 0;
            }
            out += c;
            ++run;
        }
    }
    *extraLines = extra;
    return out;
}

DetailText DetailsOf(DetailKind kind, const RecordImage& r) {
    DetailText t;
    t.kind = kind;
    t.labels = DetailLabels(kind);
    const std::optional<clk::SystemTime> start = clk::fromFileTime(r.start);
    const clk::SystemTime s = start.value_or(clk::SystemTime{});
    switch (kind) {
        case DetailKind::Person:
            for (std::u16string_view v : {text(r.groups), text(r.name), text(r.mobile), text(r.email),
                                          text(r.company), text(r.title), text(r.address),
                                          text(r.workPhone), text(r.homePhone)})
                t.values << fieldText(v);
            break;
        case DetailKind::Anniversary: {
            t.values << fieldText(text(r.participantNames));
            t.values << QStringLiteral("%1년 %2월 %3일").arg(s.year).arg(s.month).arg(s.day);
            t.values << fieldText(text(r.content));
            const repeat::Rule rule = repeat::parse(text(r.place));
            QString kindText, dateText;
            switch (rule.code) {
                case int(RepeatRule::None):
                    kindText = dateText = QStringLiteral("반복없음");
                    break;
                case int(RepeatRule::EveryYear):
                    kindText = QStringLiteral("매년 반복");
                    dateText = QStringLiteral("매년 %1월 %2일").arg(s.month).arg(s.day);
                    break;
                case int(RepeatRule::EveryLunarYear):
                    kindText = QStringLiteral("매년 반복(음력)");
                    if (const auto day = repeat::toLunar({s.year, s.month, s.day}))
                        dateText =
                            QStringLiteral("음력 매년 %1월 %2일").arg(day->month).arg(day->day);
                    break;
                case int(RepeatRule::EveryMonth):
                    kindText = QStringLiteral("매달 반복");
                    dateText = QStringLiteral("매달%1일").arg(s.day);
                    break;
                case int(RepeatRule::EveryNDays):
                    kindText = QStringLiteral("지정 날짜 반복");
                    break;
                default:
                    break;
            }
            if (rule.period > 0) dateText = QStringLiteral("%1일마다").arg(rule.period);
            t.values << kindText << dateText << QStringLiteral("%1일전부터 표시").arg(rule.lead);
            break;
        }
        case DetailKind::Appointment: {
            t.values << NamesShown(fieldText(text(r.participantNames)), &t.nameLines);
            t.values << QStringLiteral("%1-%2-%3").arg(s.year).arg(twoDigits(s.month)).arg(twoDigits(s.day));
            if (schedule::isNoTimeMarker(s, r.end)) {
                t.values << QStringLiteral("<None>");
            } else {
                const clk::SystemTime e = clk::fromFileTime(r.end).value_or(clk::SystemTime{});
                t.values << QStringLiteral("%1:%2~%3:%4")
                                .arg(twoDigits(s.hour), twoDigits(s.minute), twoDigits(e.hour),
                                     twoDigits(e.minute));
            }
            t.values << fieldText(text(r.place));
            t.values << ContentShown(fieldText(text(r.content)), &t.contentExtraLines);
            if (r.hasSketch == 1) {
                t.hasSketch = true;
                t.sketchName = fieldText(text(r.sketchName));
                t.values << QStringLiteral("MAP버튼을 누르세요.");
            } else {
                t.values << QStringLiteral("<약도 없음>");
            }
            break;
        }
    }
    return t;
}

QRect DetailRowRect(const DetailText& t, int i, bool label, int clientWidth, int h) {
    int top = 0, bottom = 0;
    if (t.kind == DetailKind::Appointment) {
        const int L = t.nameLines, E = t.contentExtraLines;
        if (i == 0) {
            top = 0;
            bottom = L * h;
        } else if (i <= 3) {
            top = (L + i - 1) * h + 5 * i;
            bottom = (L + i) * h + 5 * i;
        } else if (i == 4) {
            top = (L + 3) * h + 20;
            bottom = (E + L + 4) * h + 20;
        } else {
            top = (E + L + 4) * h + 25;
            bottom = (E + L + 5) * h + 25;
        }
    } else {
        top = (h + 5) * i;
        bottom = (i + 1) * h + 5 * i;
    }
    const int split = clientWidth * 2 / 5;
    return label ? QRect(QPoint(0, top), QPoint(split - 1, bottom - 1))
                 : QRect(QPoint(split, top), QPoint(clientWidth * 3 - 1, bottom - 1));
}

QSize DetailTextExtent(const DetailText& t, int maxCharWidth, int h, int clientHeight) {
    qsizetype longest = 0;
    for (const QString& v : t.values) longest = std::max(longest, v.size());
    const QString widest = t.kind == DetailKind::Appointment ? QStringLiteral("약속시간 : ")
                                                             : QStringLiteral("전자메일 :");
    const int width = int(longest + widest.size()) * (maxCharWidth * 3 / 4);
    const int height = t.kind == DetailKind::Appointment
                           ? (t.nameLines + t.contentExtraLines + 6) * h + 30
                           : clientHeight + 10;
    return {width, height};
}

bool ReadShownRecord(CRecordStore& store, DetailKind kind, int id, RecordImage& record) {
    if (id <= 0) return false;
    const uint32_t recordKind = kind == DetailKind::Person        ? PersonKind
                                : kind == DetailKind::Appointment ? AppointmentKind
                                                                  : AnniversaryKind;
    // The identifier must name a record of this kind: identifiers of all kinds come from one
    // counter, and the read finds a record by number alone.
    bool found = false;
    store.walkRecords(recordKind, {PropId, PropKey}, [&](const RecordImage& r) {
        found = (recordKind == PersonKind ? r.id : r.key) == id;
        return !found;
    });
    if (!found) return false;
    RecordImage image{};
    image.kind = recordKind;
    if (recordKind == PersonKind) {
        image.id = id;
    } else {
        image.key = id;
    }
    if (!store.ReadRecord(image)) return false;
    record = image;
    return true;
}

}  // namespace sketch
