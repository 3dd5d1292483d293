// The texts the appointment screens read from records and forms: a participant list as the
// history matches it against a person, the date edits of the editor, the record a save
// builds (whose participant lists must read back as written), and an anniversary's rule and
// date as the agenda announces it.
//
// Input: two bytes of person identifier, two of day offsets, then UTF-16 text split at U+0001
// into participant ids, names, year, month, day and rule.
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <string>

#include "appointments/appointment_form.h"
#include "appointments/meeting_rows.h"
#include "store/participant_lists.h"
#include "store/repeat_rule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int person = int(int16_t(data[0] | data[1] << 8));
    const int offset = data[2] | data[3] << 8;
    std::u16string all;
    for (size_t i = 4; i + 1 < size; i += 2) all += char16_t(data[i] | data[i + 1] << 8);
    const QStringList parts = QString::fromUtf16(all.data(), qsizetype(all.size())).split(QChar(1));
    const auto part = [&](int i) { return i < parts.size() ? parts[i] : QString(); };
    const auto u16 = [](const QString& s) { return s.toStdU16String(); };

    const std::u16string ids = u16(part(0));
    const bool member = takesPart(ids, person);
    // A member is one of the split tokens, read as a number.
    bool found = false;
    for (const auto& token : splitIdList(ids))
        found |= QString::fromStdU16String(token) == QString::number(person);
    if (found && !member) std::abort();

    const auto date = appointments::parseFormDate(part(2), part(3), part(4));
    if (date && !clk::isValidDate(date->year, date->month, date->day)) std::abort();

    appointments::AppointmentForm form;
    const auto idTokens = splitIdList(ids);
    const auto names = splitNameList(u16(part(1)));
    for (size_t i = 0; i < idTokens.size() && i < names.size(); ++i) {
        form.participants.personNames.push_back(QString::fromStdU16String(names[i]));
        form.participants.personIds.push_back(QString::fromStdU16String(idTokens[i]));
    }
    form.date = date.value_or(appointments::FormDate{2002, 6, 9});
    form.content = part(5);
    if (const auto image = appointments::buildAppointmentImage(form)) {
        // What was written reads back as the same persons.
        const auto backIds = splitIdList(text(image->participantIds));
        const auto backNames = splitNameList(text(image->participantNames));
        if (backIds.size() != size_t(form.participants.personIds.size()) ||
            backNames.size() != backIds.size())
            std::abort();
    }

    const repeat::Rule rule = repeat::parse(u16(part(5)));
    const repeat::Date start = repeat::dateOf(offset * 37);
    const repeat::Date today = repeat::dateOf(offset * 37 + person);
    if (const auto when = repeat::announcedOn(rule, start, today)) {
        (void)appointments::anniversaryText(part(1), part(0), when->elapsed, when->ahead);
    }
    return 0;
}
