// The anniversary editor: up to five anniversaries of one person in numbered slots
// (management mode), or one stored anniversary (single mode). Each SAVE stores the current
// slot only; the slots change in memory until then.
#pragma once

#include <QString>
#include <array>
#include <optional>

#include "store/record_image.h"
#include "store/repeat_rule.h"
#include "ui/controls.h"

class MainView;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace ui {
class BitmapButton;
class MonthCalendarCtrl;
}  // namespace ui

namespace people {

class CNameInputWnd;

inline constexpr int AnniversaryManageMode = 0;
inline constexpr int AnniversarySingleMode = 1;

// Runs the editor modally over `parent`: management mode for the person (name, personId),
// or single mode for the stored anniversary `anniversaryId`.
void RunAnniversaryDlg(MainView& view, QWidget* parent, const QString& personName, int personId,
                       int anniversaryId, int mode);

// One slot of the editor.
struct AnniversarySlot {
    QString year, month, day, content;
    // A slot whose repeat was never chosen happens once: a code outside the five would
    // show the anniversary nowhere.
    int code = int(RepeatRule::None);
    int period = 0;
    int lead = 0;
    // The year, month and day texts are a lunar date (음력), in a leap month (윤달) when
    // leapMonth is set; the record still stores the solar day.
    bool lunar = false;
    bool leapMonth = false;
    bool loaded = false;
    int recordId = 0;
};

// Why a slot cannot be saved, or nothing when it can.
enum class SlotRefusal { None, Date, Content };
// The solar day of the slot's date texts, read as a lunar date when the slot says so; nothing
// when they hold no real date (29 February of a common year, lunar month 13, a leap month the
// year lacks, day 30 of a 29-day lunar month).
std::optional<repeat::Date> slotSolarDate(const AnniversarySlot& slot);
// The date must be a real one and the content present.
SlotRefusal checkSlot(const AnniversarySlot& slot);
// The record written for the slot: kind 30, the person's identifier and name, the solar date at
// 00:00:00, the rule text and the content; everything else empty. The slot must pass checkSlot.
RecordImage anniversaryRecord(const AnniversarySlot& slot, const QString& personName, int personId);

class CAnniversaryDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 260;
    static constexpr int PersonNameEdit = 1008;
    static constexpr int SlotCombo = 1027;
    static constexpr int SlotLabel = 1107;
    static constexpr int YearEdit = 1042;
    static constexpr int MonthEdit = 1043;
    static constexpr int DayEdit = 1044;
    static constexpr int CalendarButton = 1073;
    static constexpr int LunarCheck = 1120;
    static constexpr int LeapMonthCheck = 1121;
    static constexpr int ContentEdit = 1012;
    static constexpr int RepeatCombo = 1105;
    static constexpr int LeadEdit = 1009;
    static constexpr int LeadSpin = 1063;
    static constexpr int SaveButton = 1106;
    static constexpr int CancelButton = 2;
    static constexpr int MonthCalendar = 111;
    static constexpr int SlotCount = 5;

    // Item data of the repeat choices.
    enum RepeatChoice {
        ChooseNone = 0,
        ChooseYear = 1,
        ChooseMonth = 2,
        ChooseCustom = 3,
        ChooseNDays = 4,
        ChooseLunarYear = 5
    };

    explicit CAnniversaryDlg(MainView& view, QWidget* parent = nullptr);

    // Before the dialog runs: the person, the anniversary (single mode) and the mode.
    void SetTarget(const QString& personName, int personId, int anniversaryId, int mode);

    int currentSlot() const { return current_; }
    const AnniversarySlot& slot(int n) const { return slots_[size_t(n - 1)]; }
    QString personName() const { return personName_; }
    int personId() const { return personId_; }
    bool loadFailed() const { return loadFailed_; }
    ui::MonthCalendarCtrl* calendar() const { return calendar_; }
    CNameInputWnd* periodInput() const { return periodInput_; }

    // The commands, as their controls send them.
    void OnSlotChanged(int index);
    void OnRepeatChosen(int index);
    void OnDatePicked(int year, int month, int day);
    // A date typed into the year, month and day edits, or its 음력/윤달 switches flipped: once
    // it is a real date, the repeat choices follow it as they follow a pick in the calendar.
    void OnDateTyped();
    void OnPeriodEntered();
    void OnSave();
    void OnCancel();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void OnInitDialog() override;
    bool LoadSingle();
    bool LoadPerson();
    bool LoadInto(AnniversarySlot& slot, int recordId, bool takePerson);
    // Whether the person the editor works for is in the store.
    bool personStored() const;
    void ShowSlot(int n);
    void CollectSlot();
    void addChoice(const QString& text, int data, int period = 0);
    // The date as the edits and switches hold it now.
    AnniversarySlot shownDate() const;
    // 윤달 is offered only for a lunar year that has a leap month of the typed number.
    void UpdateLeapSwitch();
    // The repeat choices for the date's month and day, whether picked or typed.
    void OfferRepeatChoices(int month, int day);

    MainView& view_;
    QString personName_;
    int personId_ = 0;
    int anniversaryId_ = 0;
    int mode_ = AnniversaryManageMode;
    int current_ = 1;
    std::array<AnniversarySlot, SlotCount> slots_;
    int lastPeriod_ = 0;
    bool loadFailed_ = false;
    bool closing_ = false;

    QComboBox* slotCombo_;
    QComboBox* repeat_;
    QCheckBox* lunar_;
    QCheckBox* leapMonth_;
    QLineEdit* lead_;
    QSpinBox* leadSpin_;
    QPlainTextEdit* content_;
    ui::MonthCalendarCtrl* calendar_;
    CNameInputWnd* periodInput_;
};

}  // namespace people
