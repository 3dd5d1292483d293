#include "appointments/appointment_form.h"

#include <vector>

#include "store/participant_lists.h"

namespace appointments {

namespace {

// A decimal field of the form: digits only, at most `maxDigits` of them.
std::optional<int> number(const QString& text, int maxDigits) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > maxDigits) return std::nullopt;
    for (QChar c : t) {
        if (c < u'0' || c > u'9') return std::nullopt;
    }
    return t.toInt();
}

std::u16string u16(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

std::optional<cedb::FileTime> at(const FormDate& d, const QTime& t) {
    clk::SystemTime st;
    st.year = d.year;
    st.month = d.month;
    st.day = d.day;
    st.hour = t.hour();
    st.minute = t.minute();
    st.second = t.second();
    return clk::toFileTime(st);
}

}  // namespace

std::optional<FormDate> parseFormDate(const QString& year, const QString& month,
                                      const QString& day) {
    const auto y = number(year, 5), m = number(month, 2), d = number(day, 2);
    if (!y || !m || !d || !clk::isValidDate(*y, *m, *d)) return std::nullopt;
    return FormDate{*y, *m, *d};
}

std::optional<RecordImage> buildAppointmentImage(const AppointmentForm& form) {
    const ParticipantSelection& sel = form.participants;
    std::vector<Participant> people;
    for (qsizetype i = 0; i < sel.personIds.size(); ++i) {
        bool ok = false;
        const int id = sel.personIds[i].toInt(&ok);
        if (!ok) return std::nullopt;
        people.push_back({id, i < sel.personNames.size() ? u16(sel.personNames[i]) : u""});
    }
    const auto lists = buildParticipantLists(people);
    if (!lists) return std::nullopt;
    const auto start = at(form.date, form.start.isValid() ? form.start : QTime(0, 0));
    const auto end = at(form.date, form.end.isValid() ? form.end : QTime(0, 0));
    if (!start || !end) return std::nullopt;

    RecordImage image{};
    image.kind = AppointmentKind;
    setText(image.participantIds, lists->ids);
    setText(image.participantNames, lists->names);
    image.start = *start;
    image.end = *end;
    setText(image.place, u16(form.place));
    setText(image.content, u16(form.content));
    setText(image.sketchName, u16(form.sketchName));
    image.hasSketch = form.sketchName.isEmpty() ? 0 : 1;
    return image;
}

}  // namespace appointments
