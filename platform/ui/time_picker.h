// The time picker of the editors: hours and minutes with spin buttons. The seconds are not
// shown but kept, so that a time read from a record is written back exactly as it was.
#pragma once

#include <QTime>
#include <QTimeEdit>

namespace ui {

class TimePicker : public QTimeEdit {
    Q_OBJECT
public:
    explicit TimePicker(QWidget* parent = nullptr);

    // Shows the hour and minute of `time` and keeps its seconds (milliseconds are dropped).
    // An invalid time changes nothing.
    void setValue(const QTime& time);
    // The hour and minute on screen with the kept seconds.
    QTime value() const;

private:
    int seconds_ = 0;
};

}  // namespace ui
