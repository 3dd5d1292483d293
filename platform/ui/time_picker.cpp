#include "time_picker.h"

namespace ui {

TimePicker::TimePicker(QWidget* parent) : QTimeEdit(parent) {
    setDisplayFormat(QStringLiteral("HH:mm"));
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    // Spinning past 23:59 or 00:00 wraps, as the device's picker does.
    setWrapping(true);
}

void TimePicker::setValue(const QTime& time) {
    if (!time.isValid()) return;
    seconds_ = time.second();
    setTime(QTime(time.hour(), time.minute()));
}

QTime TimePicker::value() const {
    const QTime shown = time();
    return QTime(shown.hour(), shown.minute(), seconds_);
}

}  // namespace ui
