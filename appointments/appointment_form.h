// What the appointment editor computes apart from its widgets: the date of its three edits
// and the record image a save writes.
#pragma once

#include <QString>
#include <QTime>
#include <optional>

#include "appointments/participant_selection.h"
#include "clock/clock.h"
#include "store/record_image.h"

namespace appointments {

struct FormDate {
    int year = 0, month = 0, day = 0;
    friend bool operator==(const FormDate&, const FormDate&) = default;
};

// The date of the year, month and day edits: nullopt unless each is a decimal number and
// together they name a real date the device clock can hold (an empty year or day, month 13,
// 31 June or an overlong number are refused, never stored as a failed conversion).
std::optional<FormDate> parseFormDate(const QString& year, const QString& month,
                                      const QString& day);

// What a save writes, from the form.
struct AppointmentForm {
    ParticipantSelection participants;  // groups already expanded into the person lists
    FormDate date;
    QTime start, end;
    QString place, content, sketchName;
};

// The appointment record of `form` (kind, participant lists, start and end on the form's date,
// place, content, sketch): texts longer than their fields are cut to fit. nullopt when the
// participant lists would not fit their fields or could not be read back as written (a name
// holding ";"): a list is never cut inside an entry.
std::optional<RecordImage> buildAppointmentImage(const AppointmentForm& form);

}  // namespace appointments
