// The appointment editor (pane 2 of the main view, "약속관리"): participants, date, start and
// end time, place, content and an attached sketch of one appointment, new or stored. The view
// creates it on the first "약속 관리" and Done destroys it, so every run starts from a clear
// form; the other screens fill it through the operations below after bringing it forward.
#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>

#include "appointments/participant_selection.h"
#include "ui/controls.h"

class MainView;
class QLineEdit;
class QPlainTextEdit;
namespace ui {
class BitmapButton;
class MonthCalendarCtrl;
class TimePicker;
}  // namespace ui

class CAppointmentDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 136;
    static constexpr int ParticipantEditId = 1049;
    static constexpr int PickerButtonId = 1033;
    static constexpr int YearEditId = 1042;
    static constexpr int MonthEditId = 1043;
    static constexpr int DayEditId = 1044;
    static constexpr int CalendarButtonId = 1073;
    static constexpr int StartTimeId = 1088;
    static constexpr int EndTimeId = 1089;
    static constexpr int PlaceEditId = 1011;
    static constexpr int ContentEditId = 1012;
    static constexpr int SketchEditId = 1013;
    static constexpr int AttachButtonId = 1031;
    static constexpr int SaveButtonId = 1030;
    static constexpr int DoneButtonId = 1029;
    static constexpr int MonthCalendarId = 111;

    enum Mode { ExistingAppointment = 0, NewAppointment = 1 };

    // `reopenAgenda` runs the day's agenda modally over its argument; Done calls it when the
    // return-to-agenda flag is set.
    CAppointmentDlg(MainView& view, QWidget* parent,
                    std::function<void(QWidget*)> reopenAgenda = {});
    ~CAppointmentDlg() override;

    // Empties the participant, date, place, content and sketch fields and the chosen
    // participants; both time pickers show 09:00. Mode, identifier and pending person stay.
    void ClearForm();
    // A new appointment: no pending person, identifier 0, mode 1.
    void ResetTarget();
    // Appends the participant edit's text as a person with the pending identifier (unless
    // that identifier is chosen already) and empties the pending identifier. Nothing when the
    // edit is empty. The edit then shows the chosen participants.
    void AddPendingParticipant();
    // Loads the stored appointment whose identifier was set with SetTarget, replacing the whole
    // form (participants included). False, with the form clear, when the identifier is below
    // 1 or the record cannot be read whole.
    bool LoadAppointment();
    void SetReturnToAgenda(bool flag) { returnToAgenda_ = flag; }
    bool returnToAgenda() const { return returnToAgenda_; }

    void SetTarget(int appointmentId) { appointmentId_ = appointmentId; }
    int appointmentId() const { return appointmentId_; }
    void setMode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }
    void setPendingPersonId(const QString& id) { pendingPersonId_ = id; }
    QString pendingPersonId() const { return pendingPersonId_; }
    const appointments::ParticipantSelection& participants() const { return selection_; }
    // Writes the date into the year, month and day edits ("%d"); an invalid date empties them.
    // The date is the form's starting point, not input of the user's.
    void setFormDate(const QDate& date);
    // Whether the form holds input that was not saved: anything changed since the form was
    // cleared, loaded or prefilled by the screen that opened it.
    bool hasUnsavedInput() const;

    // The commands of the form.
    void OnChooseParticipants();
    void OnShowCalendar();
    void OnAttachSketch();
    void OnSave();
    // Done: with unsaved input it asks first, and No keeps the form. Then the window goes, the
    // pane closes and the pane behind it comes to the front; with the return-to-agenda flag
    // set, the day's agenda is opened again (and the flag cleared).
    void OnDone();

    ui::MonthCalendarCtrl* monthCalendar() const { return calendar_; }

public slots:
    // Escape does not close a pane.
    void reject() override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the user can change on the form.
    struct FormState {
        appointments::ParticipantSelection participants;
        QString year, month, day;
        QTime start, end;
        QString place, content, sketch;
        friend bool operator==(const FormState&, const FormState&) = default;
    };
    FormState formState() const;

    void OnInitDialog() override;
    void showParticipants();
    void writeDate(const QDate& date);
    // The window goes, the pane closes and the one behind it comes forward (Done without the
    // question).
    void closePane();

    MainView& view_;
    std::function<void(QWidget*)> reopenAgenda_;
    int appointmentId_ = 0;
    int mode_ = NewAppointment;
    QString pendingPersonId_;
    bool returnToAgenda_ = false;
    appointments::ParticipantSelection selection_;
    // The form as it was cleared, loaded or prefilled: what counts as no input.
    FormState baseline_;
    // The loaded appointment's "no time of day" marker, which the pickers cannot show: kept
    // while they are not touched.
    QTime noTimeMarker_;

    QLineEdit* participantsEdit_;
    QLineEdit* year_;
    QLineEdit* month_;
    QLineEdit* day_;
    ui::TimePicker* start_;
    ui::TimePicker* end_;
    QLineEdit* place_;
    QPlainTextEdit* content_;
    QLineEdit* sketch_;
    ui::MonthCalendarCtrl* calendar_;
};

namespace appointments {

// The entry points of the other screens, installed by the program as the screen hooks.
// "약속 편집": brings the editor forward with the stored appointment `key` loaded (mode 0);
// an appointment that cannot be read is said so and the editor starts a new one.
void OpenEditorFor(MainView& view, int key, bool returnToAgenda);
// A new appointment on `date`: the editor comes forward with a clear form on that date.
void StartEditorOn(MainView& view, const QDate& date, bool returnToAgenda);
// "새 약속" once the editor is in front: a new appointment with the person as first
// participant.
void StartWithPerson(QWidget* editor, const QString& name, int personId);

}  // namespace appointments
