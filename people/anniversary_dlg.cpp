#include "people/anniversary_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <optional>

#include "clock/clock.h"
#include "people/name_input_wnd.h"
#include "resources/strings/string_table.h"
#include "shell/message_box.h"
#include "store/lunar_calendar.h"
#include "store/participant_lists.h"
#include "store/record_store.h"
#include "ui/bitmap_button.h"
#include "ui/modal.h"
#include "ui/month_calendar_ctrl.h"
#include "ui/resources.h"
#include "ui/text_limit.h"
#include "view_contract/main_view.h"

namespace people {
namespace {

constexpr QRect kDialogRect{0, 26, 240, 294};

QString fromField(std::u16string_view s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

// atoi, as the rule text and the edits are read.
int toInt(const QString& s) {
    return repeat::parse(s.toStdU16String()).code;
}

QString numberText(int v) {
    return QString::number(v);
}

}  // namespace

std::optional<repeat::Date> slotSolarDate(const AnniversarySlot& slot) {
    // 29 February of a common year, month 13 or day 0 would be stored as another day, or as
    // nothing at all; so would a lunar date the year does not have.
    bool y = false, m = false, d = false;
    const int year = slot.year.trimmed().toInt(&y);
    const int month = slot.month.trimmed().toInt(&m);
    const int day = slot.day.trimmed().toInt(&d);
    if (!y || !m || !d) return std::nullopt;
    if (slot.lunar) return repeat::fromLunar({year, month, day, slot.leapMonth});
    if (!repeat::isValidDate(year, month, day)) return std::nullopt;
    return repeat::Date{year, month, day};
}

SlotRefusal checkSlot(const AnniversarySlot& slot) {
    if (!slotSolarDate(slot)) return SlotRefusal::Date;
    if (slot.content.isEmpty()) return SlotRefusal::Content;
    return SlotRefusal::None;
}

RecordImage anniversaryRecord(const AnniversarySlot& slot, const QString& personName,
                              int personId) {
    RecordImage r{};
    r.kind = AnniversaryKind;
    setText(r.participantIds, QString::number(personId).toStdU16String());
    setText(r.participantNames, personName.toStdU16String());
    if (const std::optional<repeat::Date> day = slotSolarDate(slot)) {
        clk::SystemTime date;
        date.year = day->year;
        date.month = day->month;
        date.day = day->day;
        r.start = clk::toFileTime(date).value_or(cedb::FileTime{});
    }
    setText(r.place, repeat::write({slot.code, slot.period, slot.lead}));
    setText(r.content, slot.content.toStdU16String());
    return r;
}

void RunAnniversaryDlg(MainView& view, QWidget* parent, const QString& personName, int personId,
                       int anniversaryId, int mode) {
    CAnniversaryDlg dlg(view, parent ? parent : view.viewWidget());
    dlg.SetTarget(personName, personId, anniversaryId, mode);
    ui::runModal(dlg);
}

CAnniversaryDlg::CAnniversaryDlg(MainView& view, QWidget* parent)
    : ui::TemplateDialog(TemplateId, kDialogRect.size(), parent), view_(view) {
    placeOnScreen(kDialogRect);
    const auto label = [this](const QString& text, const QRect& rect) {
        auto* l = new QLabel(text, this);
        l->setGeometry(rect);
        return l;
    };
    auto* name = addControl<QLineEdit>(PersonNameEdit, {10, 8, 90, 20});
    name->setEnabled(false);
    label(QStringLiteral("님의 기념일"), {104, 8, 90, 20});

    slotCombo_ = addControl<QComboBox>(SlotCombo, {10, 36, 44, 20});
    ui::setControlId(label(QStringLiteral("번"), {58, 36, 20, 20}), SlotLabel);

    label(QStringLiteral("날짜 :"), {10, 64, 36, 20});
    auto* year = addControl<QLineEdit>(YearEdit, {46, 64, 40, 20});
    label(QStringLiteral("년"), {88, 64, 14, 20});
    auto* month = addControl<QLineEdit>(MonthEdit, {104, 64, 26, 20});
    label(QStringLiteral("월"), {132, 64, 14, 20});
    auto* day = addControl<QLineEdit>(DayEdit, {148, 64, 26, 20});
    label(QStringLiteral("일"), {176, 64, 14, 20});
    for (QLineEdit* e : {year, month, day}) e->setValidator(new QIntValidator(0, 99999, e));
    year->setMaxLength(5);
    month->setMaxLength(2);
    day->setMaxLength(2);
    auto* pick = addControl<ui::BitmapButton>(CalendarButton, {196, 64, 20, 20});
    pick->loadBitmaps(256, 257);
    pick->sizeToContent();
    // Under the year and the month they qualify.
    lunar_ = addControl<QCheckBox>(LunarCheck, {46, 88, 54, 20});
    lunar_->setText(QStringLiteral("음력"));
    leapMonth_ = addControl<QCheckBox>(LeapMonthCheck, {104, 88, 54, 20});
    leapMonth_->setText(QStringLiteral("윤달"));
    leapMonth_->hide();

    label(QStringLiteral("내용 :"), {10, 112, 36, 20});
    content_ = addControl<QPlainTextEdit>(ContentEdit, {46, 112, 180, 56});
    ui::setMaxLength(content_, fieldLimit(PropContent));

    label(QStringLiteral("반복 :"), {10, 176, 36, 20});
    repeat_ = addControl<QComboBox>(RepeatCombo, {46, 176, 116, 20});
    label(QStringLiteral("마다 되풀이"), {166, 176, 70, 20});

    label(QStringLiteral("알림 :"), {10, 204, 36, 20});
    lead_ = addControl<QLineEdit>(LeadEdit, {46, 204, 28, 20});
    lead_->setValidator(new QIntValidator(0, 10, lead_));
    lead_->setMaxLength(2);
    leadSpin_ = addControl<QSpinBox>(LeadSpin, {74, 204, 18, 20});
    leadSpin_->setRange(0, 10);
    label(QStringLiteral("일전 부터 기념일 알림"), {96, 204, 140, 20});
    connect(leadSpin_, &QSpinBox::valueChanged, this, [this](int v) {
        if (lead_->text().toInt() != v) lead_->setText(numberText(v));
    });
    connect(lead_, &QLineEdit::textEdited, this, [this](const QString& t) {
        const QSignalBlocker block(leadSpin_);
        leadSpin_->setValue(std::clamp(t.toInt(), 0, 10));
    });

    auto* save = addControl<ui::BitmapButton>(SaveButton, {70, 240, 40, 20});
    save->loadBitmaps(189, 190);
    save->sizeToContent();
    save->setToolTip(QStringLiteral("SAVE"));
    auto* cancel = addControl<ui::BitmapButton>(CancelButton, {130, 240, 40, 20});
    cancel->loadBitmaps(195, 196);
    cancel->sizeToContent();
    cancel->setToolTip(QStringLiteral("Cancel"));

    calendar_ = new ui::MonthCalendarCtrl(this);
    ui::setControlId(calendar_, MonthCalendar);
    periodInput_ = new CNameInputWnd(this);
    // The period is one field of the rule text, which keeps no more digits than this.
    periodInput_->edit()->setMaxLength(repeat::MaxFieldDigits);

    connect(slotCombo_, &QComboBox::activated, this, &CAnniversaryDlg::OnSlotChanged);
    connect(repeat_, &QComboBox::activated, this, &CAnniversaryDlg::OnRepeatChosen);
    connect(pick, &QAbstractButton::clicked, calendar_, &ui::MonthCalendarCtrl::popUp);
    connect(calendar_, &ui::MonthCalendarCtrl::dayPicked, this,
            [this](const QDate& d) { OnDatePicked(d.year(), d.month(), d.day()); });
    for (QLineEdit* e : {year, month, day})
        connect(e, &QLineEdit::textEdited, this, &CAnniversaryDlg::OnDateTyped);
    // Flipping a switch changes what the typed numbers mean, never the numbers.
    for (QCheckBox* c : {lunar_, leapMonth_})
        connect(c, &QAbstractButton::clicked, this, &CAnniversaryDlg::OnDateTyped);
    connect(periodInput_, &CNameInputWnd::nameEntered, this, &CAnniversaryDlg::OnPeriodEntered);
    connect(save, &QAbstractButton::clicked, this, &CAnniversaryDlg::OnSave);
    connect(cancel, &QAbstractButton::clicked, this, &CAnniversaryDlg::OnCancel);
}

void CAnniversaryDlg::SetTarget(const QString& personName, int personId, int anniversaryId,
                                int mode) {
    personName_ = personName;
    personId_ = personId;
    anniversaryId_ = anniversaryId;
    mode_ = mode;
}

void CAnniversaryDlg::OnInitDialog() {
    const clk::SystemTime now = clk::localTime();
    calendar_->setCurrentDate(QDate(now.year, now.month, now.day));
    for (int i = 1; i <= SlotCount; ++i) slotCombo_->addItem(numberText(i), 0);
    slotCombo_->setCurrentIndex(0);
    repeat_->clear();
    addChoice(QStringLiteral("<선택하세요>"), ChooseNone);
    repeat_->setCurrentIndex(0);
    lead_->setText(QString());
    control<QLineEdit>(PersonNameEdit)->setText(personName_);

    bool loaded = false;
    if (mode_ == AnniversarySingleMode) {
        slotCombo_->hide();
        control<QLabel>(SlotLabel)->hide();
        loaded = LoadSingle();
        if (loaded) control<QLineEdit>(PersonNameEdit)->setText(personName_);
    } else {
        loaded = LoadPerson();
    }
    loadFailed_ = !loaded;
    if (loaded) ShowSlot(1);
}

bool CAnniversaryDlg::LoadInto(AnniversarySlot& slot, int recordId, bool takePerson) {
    RecordImage image{};
    image.kind = AnniversaryKind;
    image.key = recordId;
    if (!view_.store().ReadRecord(image)) return false;
    const std::optional<clk::SystemTime> date = clk::fromFileTime(image.start);
    if (!date || image.start.value() == 0) return false;
    if (takePerson) {
        personName_ = fromField(text(image.participantNames));
        personId_ = firstParticipant(text(image.participantIds)).value_or(0);
    }
    const repeat::Rule rule = repeat::parse(text(image.place));
    // A lunar yearly anniversary is shown by its lunar date, as it was typed.
    std::optional<lunar::Date> shown;
    if (rule.code == int(RepeatRule::EveryLunarYear))
        shown = repeat::toLunar(repeat::Date::of(*date));
    slot.lunar = shown.has_value();
    slot.leapMonth = shown && shown->leap;
    slot.year = numberText(shown ? shown->year : date->year);
    slot.month = numberText(shown ? shown->month : date->month);
    slot.day = numberText(shown ? shown->day : date->day);
    slot.code = rule.code;
    slot.period = rule.period;
    slot.lead = rule.lead;
    slot.content = fromField(text(image.content));
    slot.loaded = true;
    slot.recordId = recordId;
    return true;
}

bool CAnniversaryDlg::LoadSingle() {
    if (anniversaryId_ < 1) return false;
    if (!LoadInto(slots_[0], anniversaryId_, true)) return false;
    slotCombo_->setItemData(0, anniversaryId_);
    return true;
}

bool CAnniversaryDlg::LoadPerson() {
    if (personId_ < 1) return false;
    std::vector<int> ids;
    view_.store().walkRecords(AnniversaryKind, {PropId, PropParticipantIds},
                              [&](const RecordImage& r) {
                                  if (firstParticipant(text(r.participantIds)) == personId_)
                                      ids.push_back(r.id);
                                  // Five slots: the first five in store order.
                                  return ids.size() < size_t(SlotCount);
                              });
    for (size_t i = 0; i < ids.size(); ++i) {
        if (!LoadInto(slots_[i], ids[i], false)) return false;
        slotCombo_->setItemData(int(i), ids[i]);
    }
    return true;
}

void CAnniversaryDlg::addChoice(const QString& text, int data, int period) {
    repeat_->addItem(text, data);
    repeat_->setItemData(repeat_->count() - 1, period, Qt::UserRole + 1);
}

void CAnniversaryDlg::ShowSlot(int n) {
    const AnniversarySlot& s = slots_[size_t(n - 1)];
    control<QLineEdit>(YearEdit)->setText(s.year);
    control<QLineEdit>(MonthEdit)->setText(s.month);
    control<QLineEdit>(DayEdit)->setText(s.day);
    lunar_->setChecked(s.lunar);
    leapMonth_->setChecked(s.leapMonth);
    UpdateLeapSwitch();
    content_->setPlainText(s.content);
    lead_->setText(numberText(s.lead));
    {
        const QSignalBlocker block(leadSpin_);
        leadSpin_->setValue(std::clamp(s.lead, 0, 10));
    }
    repeat_->clear();
    addChoice(QStringLiteral("<선택하세요>"), ChooseNone);
    if (s.year.isEmpty() || s.month.isEmpty() || s.day.isEmpty()) {
        repeat_->setCurrentIndex(0);
        return;
    }
    // A lunar date's solar entries name the solar day they would repeat on.
    const std::optional<repeat::Date> solar = s.lunar ? slotSolarDate(s) : std::nullopt;
    const QString month = solar ? numberText(solar->month) : s.month;
    const QString day = solar ? numberText(solar->day) : s.day;
    addChoice(QStringLiteral("매년 %1월 %2일").arg(month, day), ChooseYear);
    addChoice(QStringLiteral("매월 %1일").arg(day), ChooseMonth);
    int choice = -1;
    switch (RepeatRule(s.code)) {
        case RepeatRule::None:
            choice = ChooseNone;
            break;
        case RepeatRule::EveryYear:
            choice = ChooseYear;
            break;
        case RepeatRule::EveryMonth:
            choice = ChooseMonth;
            break;
        case RepeatRule::EveryNDays:
            addChoice(QStringLiteral("매 %1일").arg(s.period), ChooseNDays, s.period);
            choice = ChooseNDays;
            break;
        case RepeatRule::EveryLunarYear:
            choice = ChooseLunarYear;
            break;
        default:
            break;
    }
    // A code outside the five stays with nothing chosen, so saving keeps it.
    if (choice >= 0) addChoice(QStringLiteral("Custom.."), ChooseCustom);
    addChoice(QStringLiteral("매년(음력)"), ChooseLunarYear);
    repeat_->setCurrentIndex(choice < 0 ? -1 : repeat_->findData(choice));
}

AnniversarySlot CAnniversaryDlg::shownDate() const {
    AnniversarySlot s;
    s.year = control<QLineEdit>(YearEdit)->text();
    s.month = control<QLineEdit>(MonthEdit)->text();
    s.day = control<QLineEdit>(DayEdit)->text();
    s.lunar = lunar_->isChecked();
    s.leapMonth = leapMonth_->isChecked();
    return s;
}

void CAnniversaryDlg::UpdateLeapSwitch() {
    const AnniversarySlot s = shownDate();
    const bool offered = s.lunar && lunar::monthLength(s.year.trimmed().toInt(),
                                                       s.month.trimmed().toInt(), true) > 0;
    // A hidden switch must not make the date a leap month's.
    if (!offered) leapMonth_->setChecked(false);
    leapMonth_->setVisible(offered);
}

void CAnniversaryDlg::CollectSlot() {
    AnniversarySlot& s = slots_[size_t(current_ - 1)];
    const AnniversarySlot shown = shownDate();
    s.year = shown.year;
    s.month = shown.month;
    s.day = shown.day;
    s.lunar = shown.lunar;
    s.leapMonth = shown.leapMonth;
    s.content = content_->toPlainText();
    const int index = repeat_->currentIndex();
    if (index >= 0) {
        switch (repeat_->itemData(index).toInt()) {
            case ChooseNone:
                s.code = int(RepeatRule::None), s.period = 0;
                break;
            case ChooseYear:
                s.code = int(RepeatRule::EveryYear), s.period = 0;
                break;
            case ChooseMonth:
                s.code = int(RepeatRule::EveryMonth), s.period = 0;
                break;
            case ChooseLunarYear:
                s.code = int(RepeatRule::EveryLunarYear), s.period = 0;
                break;
            case ChooseNDays:
                // The period of this entry: the slot's own, or the one just entered for it.
                s.code = int(RepeatRule::EveryNDays);
                s.period = repeat_->itemData(index, Qt::UserRole + 1).toInt();
                break;
            default:
                break;
        }
    }
    s.lead = toInt(lead_->text());
}

void CAnniversaryDlg::OnSlotChanged(int index) {
    if (index < 0 || index + 1 == current_) return;
    CollectSlot();
    current_ = slotCombo_->itemText(index).toInt();
    ShowSlot(current_);
}

void CAnniversaryDlg::OnRepeatChosen(int index) {
    if (index < 0 || repeat_->itemData(index).toInt() != ChooseCustom) return;
    const QRect client = rect();
    periodInput_->Create(QRect(QPoint(client.left() + 32, client.top() + 70),
                               QPoint(client.right() - 32, client.top() + 140)));
    periodInput_->raise();
}

void CAnniversaryDlg::OnPeriodEntered() {
    const int n = toInt(periodInput_->GetText());
    const int nDays = repeat_->findData(ChooseNDays);
    if (n < 1) {
        repeat_->setCurrentIndex(std::max(nDays, 0));
        return;
    }
    lastPeriod_ = n;
    // "매 n일" and "Custom.." follow "매월" whatever else the choices hold.
    if (nDays >= 0) repeat_->removeItem(nDays);
    if (const int custom = repeat_->findData(ChooseCustom); custom >= 0)
        repeat_->removeItem(custom);
    repeat_->insertItem(3, QStringLiteral("매 %1일").arg(n), ChooseNDays);
    repeat_->setItemData(3, n, Qt::UserRole + 1);
    repeat_->insertItem(4, QStringLiteral("Custom.."), ChooseCustom);
    repeat_->setCurrentIndex(3);
}

void CAnniversaryDlg::OnDatePicked(int year, int month, int day) {
    // The calendar picks a solar day; with 음력 on it is shown by its lunar date, so the day
    // stored is the day picked.
    lunar::Date shown{year, month, day, false};
    if (lunar_->isChecked()) {
        if (const std::optional<lunar::Date> l = repeat::toLunar({year, month, day}))
            shown = *l;
        else
            lunar_->setChecked(false);  // no lunar date to show it by: it stays solar
    }
    control<QLineEdit>(YearEdit)->setText(numberText(shown.year));
    control<QLineEdit>(MonthEdit)->setText(numberText(shown.month));
    control<QLineEdit>(DayEdit)->setText(numberText(shown.day));
    UpdateLeapSwitch();
    leapMonth_->setChecked(shown.leap);
    calendar_->hide();
    OfferRepeatChoices(month, day);
}

void CAnniversaryDlg::OnDateTyped() {
    UpdateLeapSwitch();
    // While the date is incomplete the choices stay as they are; SAVE refuses it anyway.
    // The solar entries name the solar day they repeat on, even while a lunar date is typed.
    if (const std::optional<repeat::Date> date = slotSolarDate(shownDate()))
        OfferRepeatChoices(date->month, date->day);
}

void CAnniversaryDlg::OfferRepeatChoices(int month, int day) {
    // The repeat already chosen stays chosen under the new date: correcting a day must not
    // turn a yearly anniversary into a one-time one, nor drop the period of an every-n-days one.
    const int index = repeat_->currentIndex();
    const int kind = index >= 0 ? repeat_->itemData(index).toInt() : -1;
    const int period = index >= 0 ? repeat_->itemData(index, Qt::UserRole + 1).toInt() : 0;
    repeat_->clear();
    addChoice(QStringLiteral("<선택하세요>"), ChooseNone);
    addChoice(QStringLiteral("매년 %1월 %2일").arg(month).arg(day), ChooseYear);
    addChoice(QStringLiteral("매달 %1일").arg(day), ChooseMonth);
    if (kind == ChooseNDays) addChoice(QStringLiteral("매 %1일").arg(period), ChooseNDays, period);
    addChoice(QStringLiteral("Custom.."), ChooseCustom);
    addChoice(QStringLiteral("매년(음력)"), ChooseLunarYear);
    // A stored code outside the five (-1) stays with nothing chosen, so saving keeps it;
    // Custom.. is an action, not a choice to keep.
    const int choice = kind == ChooseCustom ? ChooseNone : kind;
    repeat_->setCurrentIndex(choice < 0 ? -1 : repeat_->findData(choice));
}

bool CAnniversaryDlg::personStored() const {
    if (personId_ < 1) return false;
    RecordImage person{};
    person.kind = PersonKind;
    person.id = personId_;
    return view_.store().ReadRecord(person);
}

void CAnniversaryDlg::OnSave() {
    CollectSlot();
    AnniversarySlot& s = slots_[size_t(current_ - 1)];
    // A new anniversary belongs to a stored person: with nobody chosen, or the one chosen
    // deleted since, it would be announced for no one. Stored ones stay editable.
    if (mode_ == AnniversaryManageMode && !s.loaded && !personStored()) {
        shell::messageBox(this, ui::loadString(res::IDS_NOTHING_SELECTED));
        return;
    }
    switch (checkSlot(s)) {
        case SlotRefusal::Date:
            shell::messageBox(this, QStringLiteral("날짜를 입력하세요"));
            return;
        case SlotRefusal::Content:
            shell::messageBox(this, QStringLiteral("내용을 입력하세요."));
            return;
        case SlotRefusal::None:
            break;
    }
    // A single anniversary that could not be loaded is not there to change, and adding a
    // new one in its place would store a record nobody asked for.
    if (mode_ == AnniversarySingleMode && !s.loaded) {
        shell::messageBox(this, ui::loadString(res::IDS_SAVE_DATA_FAILED));
        return;
    }
    RecordImage record = anniversaryRecord(s, personName_, personId_);
    if (s.loaded) {
        const int answer =
            shell::messageBox(this, QStringLiteral("기존의 기념일을 변경하시겠습니까?"), {},
                              shell::MB_YESNO | shell::MB_ICONQUESTION);
        if (answer == shell::IDYES) {
            record.id = slotCombo_->itemData(slotCombo_->currentIndex()).toInt();
            if (view_.store().UpdateEvent(record) != UpdateEventDone) {
                shell::messageBox(this, ui::loadString(res::IDS_SAVE_DATA_FAILED));
                return;
            }
        }
    } else {
        const int answer = shell::messageBox(
            this, QStringLiteral("%1번의 데이터를 저장하시겠습니까?").arg(current_), {},
            shell::MB_YESNO | shell::MB_ICONQUESTION);
        if (answer == shell::IDYES) {
            record.stamp = clk::toFileTime(clk::localTime()).value_or(cedb::FileTime{});
            if (!view_.store().AddRecord(record)) {
                shell::messageBox(this, ui::loadString(res::IDS_SAVE_DATA_FAILED));
                return;
            }
            slotCombo_->setItemData(current_ - 1, record.id);
            s.loaded = true;
            s.recordId = record.id;
        }
    }
    if (mode_ == AnniversarySingleMode) {
        closing_ = true;
        accept();
    }
}

void CAnniversaryDlg::OnCancel() {
    reject();
}

void CAnniversaryDlg::reject() {
    if (mode_ == AnniversaryManageMode && !closing_) {
        const int answer = shell::messageBox(
            this,
            QStringLiteral("저장하지 않으신 데이터가 있는지 확인하세요. 정말 닫으시겠습니까?"), {},
            shell::MB_YESNO | shell::MB_ICONQUESTION);
        if (answer != shell::IDYES) return;
    }
    closing_ = true;
    ui::TemplateDialog::reject();
}

void CAnniversaryDlg::keyPressEvent(QKeyEvent* event) {
    // Return belongs to the focused control; it never presses a button of the form.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    ui::TemplateDialog::keyPressEvent(event);
}

}  // namespace people
