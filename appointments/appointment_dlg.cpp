#include "appointments/appointment_dlg.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>

#include "appointments/appointment_form.h"
#include "appointments/participant_dlg.h"
#include "appointments/schedule_rows.h"
#include "appointments/screen_hooks.h"
#include "clock/clock.h"
#include "shell/message_box.h"
#include "shell/shell.h"
#include "store/participant_lists.h"
#include "store/record_store.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/framed_edit.h"
#include "ui/modal.h"
#include "ui/month_calendar_ctrl.h"
#include "ui/resources.h"
#include "ui/text_limit.h"
#include "ui/time_picker.h"
#include "view_contract/commands.h"
#include "view_contract/main_view.h"

namespace {

const QString kAskSaveNew = QStringLiteral("작업한 내용을 저장할까요?");
const QString kAskSaveExisting =
    QStringLiteral("관련된 사람들의 Meeting History 가 변경됩니다. 작업한 내용을 업데이트할까요?");
const QString kIncomplete =
    QStringLiteral("저장하기를 원하시는 데이타가 올바르지 않거나 충분하지 못합니다..");
const QString kTooManyParticipants =
    QStringLiteral("참가자가 너무 많아 저장할 수 없습니다. 참가자를 줄여 주십시오..");
const QString kCannotLoad = QStringLiteral("선택하신 약속을 읽을 수 없습니다..");
const QString kAskDiscard =
    QStringLiteral("저장하지 않으신 내용이 있습니다. 저장하지 않고 닫으시겠습니까?");
const QTime kDefaultTime(9, 0, 0);  // 2002-01-01 09:00:00, of which the pickers show the time

QRect ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

QString fromField(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

QLabel* label(QWidget* parent, const QString& text, const QRect& rect) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(rect);
    return l;
}

}  // namespace

CAppointmentDlg::CAppointmentDlg(MainView& view, QWidget* parent,
                                 std::function<void(QWidget*)> reopenAgenda)
    : ui::TemplateDialog(TemplateId, QSize(240, 268), parent),
      view_(view),
      reopenAgenda_(std::move(reopenAgenda)) {
    setWindowFlags(Qt::Widget);
    setObjectName(QStringLiteral("CAppointmentDlg"));
    setWindowTitle(QStringLiteral("약속관리"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    label(this, QStringLiteral("이름 :"), ltrb(4, 8, 44, 24));
    participantsEdit_ = addControl<ui::FramedEdit>(ParticipantEditId, ltrb(44, 6, 192, 26));
    participantsEdit_->setReadOnly(true);
    auto* picker = addControl<ui::BitmapButton>(PickerButtonId, ltrb(196, 6, 236, 26));
    picker->loadBitmaps(213, 218);
    picker->sizeToContent();
    picker->setText(QStringLiteral("Multi"));
    connect(picker, &QAbstractButton::clicked, this, &CAppointmentDlg::OnChooseParticipants);

    const auto digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    year_ = addControl<ui::FramedEdit>(YearEditId, ltrb(44, 32, 84, 52));
    year_->setMaxLength(5);
    label(this, QStringLiteral("년"), ltrb(86, 34, 100, 50));
    month_ = addControl<ui::FramedEdit>(MonthEditId, ltrb(102, 32, 128, 52));
    month_->setMaxLength(2);
    label(this, QStringLiteral("월"), ltrb(130, 34, 144, 50));
    day_ = addControl<ui::FramedEdit>(DayEditId, ltrb(146, 32, 172, 52));
    day_->setMaxLength(2);
    label(this, QStringLiteral("일"), ltrb(174, 34, 188, 50));
    for (QLineEdit* e : {year_, month_, day_}) e->setValidator(digits);
    auto* showCalendar = addControl<ui::BitmapButton>(CalendarButtonId, ltrb(196, 32, 236, 52));
    showCalendar->loadBitmaps(256, 257);
    showCalendar->sizeToContent();
    connect(showCalendar, &QAbstractButton::clicked, this, &CAppointmentDlg::OnShowCalendar);

    label(this, QStringLiteral("시간 :"), ltrb(4, 60, 44, 76));
    start_ = addControl<ui::TimePicker>(StartTimeId, ltrb(44, 58, 114, 78));
    label(this, QStringLiteral("~"), ltrb(118, 60, 130, 76));
    end_ = addControl<ui::TimePicker>(EndTimeId, ltrb(130, 58, 200, 78));

    label(this, QStringLiteral("장소 :"), ltrb(4, 86, 44, 102));
    place_ = addControl<ui::FramedEdit>(PlaceEditId, ltrb(44, 84, 236, 104));
    place_->setMaxLength(fieldLimit(PropPlace));

    label(this, QStringLiteral("내용 :"), ltrb(4, 112, 44, 128));
    content_ = addControl<QPlainTextEdit>(ContentEditId, ltrb(44, 110, 236, 200));
    content_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui::setMaxLength(content_, fieldLimit(PropContent));
    content_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { border: 1px solid rgb(190, 190, 190); }"));

    label(this, QStringLiteral("약도 :"), ltrb(4, 210, 44, 226));
    sketch_ = addControl<ui::FramedEdit>(SketchEditId, ltrb(44, 208, 192, 228));
    sketch_->setEnabled(false);
    auto* attach = addControl<ui::BitmapButton>(AttachButtonId, ltrb(196, 208, 236, 228));
    attach->loadBitmaps(215, 219);
    attach->sizeToContent();
    attach->setText(QStringLiteral("첨부"));
    connect(attach, &QAbstractButton::clicked, this, &CAppointmentDlg::OnAttachSketch);

    auto* save = addControl<ui::BitmapButton>(SaveButtonId, ltrb(140, 240, 180, 260));
    save->loadBitmaps(189, 190);
    save->sizeToContent();
    save->setText(QStringLiteral("Update"));
    connect(save, &QAbstractButton::clicked, this, &CAppointmentDlg::OnSave);
    auto* done = addControl<ui::BitmapButton>(DoneButtonId, ltrb(190, 240, 230, 260));
    done->loadBitmaps(179, 180);
    done->sizeToContent();
    done->setText(QStringLiteral("Done"));
    connect(done, &QAbstractButton::clicked, this, &CAppointmentDlg::OnDone);

    // Hidden until asked for; it hides itself again on a pick or a tap outside it.
    calendar_ = new ui::MonthCalendarCtrl(this);
    ui::setControlId(calendar_, MonthCalendarId);
    connect(calendar_, &ui::MonthCalendarCtrl::dayPicked, this,
            [this](const QDate& date) { writeDate(date); });

    ClearForm();
    qApp->installEventFilter(this);
}

CAppointmentDlg::~CAppointmentDlg() {
    qApp->removeEventFilter(this);
}

void CAppointmentDlg::OnInitDialog() {
    ClearForm();
}

void CAppointmentDlg::ClearForm() {
    for (QLineEdit* e : {participantsEdit_, year_, month_, day_, place_, sketch_}) e->clear();
    content_->clear();
    start_->setValue(kDefaultTime);
    end_->setValue(kDefaultTime);
    selection_.clear();
    noTimeMarker_ = QTime();
    baseline_ = formState();
}

CAppointmentDlg::FormState CAppointmentDlg::formState() const {
    return {selection_,    year_->text(),  month_->text(),          day_->text(),   start_->value(),
            end_->value(), place_->text(), content_->toPlainText(), sketch_->text()};
}

bool CAppointmentDlg::hasUnsavedInput() const {
    return formState() != baseline_;
}

void CAppointmentDlg::ResetTarget() {
    pendingPersonId_.clear();
    appointmentId_ = 0;
    mode_ = NewAppointment;
}

void CAppointmentDlg::AddPendingParticipant() {
    const QString name = participantsEdit_->text();
    if (!name.isEmpty()) selection_.addPerson(name, pendingPersonId_);
    pendingPersonId_.clear();
    showParticipants();
    baseline_.participants = selection_;
}

void CAppointmentDlg::showParticipants() {
    participantsEdit_->setText(appointments::participantText(selection_));
    participantsEdit_->setCursorPosition(0);
}

void CAppointmentDlg::writeDate(const QDate& date) {
    year_->setText(date.isValid() ? QString::number(date.year()) : QString());
    month_->setText(date.isValid() ? QString::number(date.month()) : QString());
    day_->setText(date.isValid() ? QString::number(date.day()) : QString());
}

void CAppointmentDlg::setFormDate(const QDate& date) {
    writeDate(date);
    baseline_.year = year_->text();
    baseline_.month = month_->text();
    baseline_.day = day_->text();
}

bool CAppointmentDlg::LoadAppointment() {
    // The whole form is the loaded appointment's: nothing of an earlier one stays behind.
    ClearForm();
    if (appointmentId_ < 1) return false;
    RecordImage image{};
    image.kind = AppointmentKind;
    image.key = appointmentId_;
    if (!view_.store().ReadRecord(image)) return false;

    const auto ids = splitIdList(text(image.participantIds));
    const auto names = splitNameList(text(image.participantNames));
    for (size_t i = 0; i < ids.size(); ++i) {
        // Read as every screen reads a stored identifier; a damaged token keeps its place.
        const std::optional<int32_t> id = participantId(ids[i]);
        selection_.personIds.push_back(id ? QString::number(*id) : fromField(ids[i]));
        selection_.personNames.push_back(i < names.size() ? fromField(names[i]) : QString());
    }
    participantsEdit_->setText(fromField(text(image.participantNames)));
    participantsEdit_->setCursorPosition(0);
    if (image.hasSketch == 1) sketch_->setText(fromField(text(image.sketchName)));
    place_->setText(fromField(text(image.place)));
    content_->setPlainText(fromField(text(image.content)));
    const auto start = clk::fromFileTime(image.start);
    const auto end = clk::fromFileTime(image.end);
    if (start) writeDate(QDate(start->year, start->month, start->day));
    if (start && schedule::isNoTimeMarker(*start, image.end)) {
        // The pickers keep what they show; the marker stays stored unless they are touched.
        noTimeMarker_ = QTime(start->hour, start->minute, start->second);
    } else if (start && end) {
        start_->setValue(QTime(start->hour, start->minute, start->second));
        end_->setValue(QTime(end->hour, end->minute, end->second));
    }
    baseline_ = formState();
    return true;
}

void CAppointmentDlg::OnChooseParticipants() {
    CParticipantDlg picker(view_.store(), this);
    picker.SetSelection(selection_);
    if (ui::runModal(picker) != QDialog::Accepted) return;
    selection_.clear();
    for (int i = 0; i < picker.GetGroupCount(); ++i) {
        selection_.groupNames.push_back(picker.GetGroup(i, 1));
        selection_.groupIds.push_back(picker.GetGroup(i, 2));
    }
    for (int i = 0; i < picker.GetPersonCount(); ++i) {
        selection_.personNames.push_back(picker.GetPerson(i, 1));
        selection_.personIds.push_back(picker.GetPerson(i, 2));
    }
    showParticipants();
}

void CAppointmentDlg::OnShowCalendar() {
    const auto date = appointments::parseFormDate(year_->text(), month_->text(), day_->text());
    const clk::SystemTime now = clk::localTime();
    calendar_->setCurrentDate(date ? QDate(date->year, date->month, date->day)
                                   : QDate(now.year, now.month, now.day));
    calendar_->popUp();
}

void CAppointmentDlg::OnAttachSketch() {
    // Cancelling the library removes an attachment made before.
    const std::optional<QString> name = appointments::ChooseSketch(this);
    sketch_->setText(name && !name->isEmpty() ? *name : QString());
}

void CAppointmentDlg::OnSave() {
    const bool isNew = mode_ == NewAppointment;
    if (shell::messageBox(this, isNew ? kAskSaveNew : kAskSaveExisting, {},
                          shell::MB_YESNO | shell::MB_ICONQUESTION) != shell::IDYES) {
        return;
    }
    const QString content = content_->toPlainText();
    const auto date = appointments::parseFormDate(year_->text(), month_->text(), day_->text());
    if (month_->text().isEmpty() || content.isEmpty() || !date) {
        shell::messageBox(this, kIncomplete);
        return;
    }
    appointments::AppointmentForm form;
    form.participants = selection_;
    appointments::expandGroups(view_.store(), form.participants);
    form.date = *date;
    // Pickers left as they were loaded keep the no-time marker.
    const bool keepMarker = noTimeMarker_.isValid() && start_->value() == baseline_.start &&
                            end_->value() == baseline_.end;
    form.start = keepMarker ? noTimeMarker_ : start_->value();
    form.end = keepMarker ? noTimeMarker_ : end_->value();
    form.place = place_->text();
    form.content = content;
    form.sketchName = sketch_->text();
    std::optional<RecordImage> image = appointments::buildAppointmentImage(form);
    if (!image) {
        shell::messageBox(this, kTooManyParticipants, {}, shell::MB_OK | shell::MB_ICONEXCLAMATION);
        return;
    }
    if (const auto now = clk::toFileTime(clk::localTime())) image->stamp = *now;
    bool saved;
    if (isNew) {
        saved = view_.store().AddRecord(*image);
    } else {
        image->id = appointmentId_;
        image->key = appointmentId_;
        saved = view_.store().UpdateEvent(*image) == UpdateEventDone;
    }
    if (!saved) {
        // The form stays as it is for another try.
        shell::messageBox(this, ui::loadString(res::IDS_SAVE_DATA_FAILED));
        return;
    }
    ResetTarget();
    ClearForm();
    view_.RefreshMainScreens();
    closePane();
}

void CAppointmentDlg::OnDone() {
    if (hasUnsavedInput() &&
        shell::messageBox(this, kAskDiscard, {}, shell::MB_YESNO | shell::MB_ICONQUESTION) !=
            shell::IDYES)
        return;
    closePane();
}

void CAppointmentDlg::closePane() {
    hide();
    view_.ShowPane(AppointmentPane, ClosePane);
    view_.ShowFrontPane();
    // Destroyed once the click that got here has returned; the view frees the pane's slot then.
    deleteLater();
    if (returnToAgenda_) {
        returnToAgenda_ = false;
        if (reopenAgenda_) reopenAgenda_(view_.viewWidget());
    }
}

void CAppointmentDlg::keyPressEvent(QKeyEvent* event) {
    // Return belongs to the focused control (a new line in the content); it never presses a
    // button of the form.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
    ui::TemplateDialog::keyPressEvent(event);
}

bool CAppointmentDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        // Any press in the form lowers the input panel, but one on a place to type: the one-line
        // edits raise it (the press would otherwise lower it again after the edit took the
        // focus, or with the focus already there), and the content keeps it as it is, so that
        // a panel raised for it stays. The calendar handles its own taps.
        if (w->window() == window() && isAncestorOf(w) && isVisible()) {
            // Judged by the widget under the stylus: a press that a disabled edit passes on to
            // the form is a press on the form.
            QWidget* under = w->childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            if (!under) under = w;
            if (qobject_cast<ui::FramedEdit*>(under) && under->isEnabled())
                shell::raiseInputPanel();
            else if (under != content_ && !content_->isAncestorOf(under))
                shell::lowerInputPanel();
        }
    }
    return ui::TemplateDialog::eventFilter(watched, event);
}

namespace appointments {

namespace {

CAppointmentDlg* bringEditorForward(MainView& view) {
    view.runCommand(cmd::ManageAppointments);
    return qobject_cast<CAppointmentDlg*>(view.paneWindow(AppointmentPane));
}

}  // namespace

void OpenEditorFor(MainView& view, int key, bool returnToAgenda) {
    CAppointmentDlg* editor = bringEditorForward(view);
    if (!editor) return;
    editor->SetReturnToAgenda(returnToAgenda);
    editor->SetTarget(key);
    if (editor->LoadAppointment()) {
        editor->setMode(CAppointmentDlg::ExistingAppointment);
    } else {
        editor->ResetTarget();
        shell::messageBox(editor, kCannotLoad);
    }
}

void StartEditorOn(MainView& view, const QDate& date, bool returnToAgenda) {
    CAppointmentDlg* editor = bringEditorForward(view);
    if (!editor) return;
    editor->ResetTarget();
    editor->ClearForm();
    editor->setFormDate(date);
    editor->SetReturnToAgenda(returnToAgenda);
}

void StartWithPerson(QWidget* window, const QString& name, int personId) {
    auto* editor = qobject_cast<CAppointmentDlg*>(window);
    if (!editor) return;
    // A new appointment: no target, participants or sketch of an earlier one.
    editor->ResetTarget();
    editor->ClearForm();
    if (personId >= 1 && !name.isEmpty()) {
        ui::control<QLineEdit>(editor, CAppointmentDlg::ParticipantEditId)->setText(name);
        editor->setPendingPersonId(QString::number(personId));
        editor->AddPendingParticipant();
    }
    editor->setMode(CAppointmentDlg::NewAppointment);
}

}  // namespace appointments
