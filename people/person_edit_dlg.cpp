#include "person_edit_dlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "anniversary_hook.h"
#include "category_dlg.h"
#include "clock/clock.h"
#include "shell/message_box.h"
#include "shell/shell.h"
#include "store/record_store.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/modal.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace people {

using namespace person_edit;

namespace {

// Full screen below the task bar strip, as the shell reports the free desktop.
constexpr QRect kDialogRect{0, 26, 240, 294};
constexpr int kRowTop = 6;
constexpr int kRowPitch = 24;
constexpr int kRowHeight = 20;
constexpr int kEditLeft = 60;
// The scroll bar takes the right edge while the form scrolls; nothing lies under it.
constexpr int kFormRight = 226;

}  // namespace

const int CPersonEditDlg::ScrollingControls[23] = {
    1093, 1094, 1095, 1096, 1097, 1098, 1099, 1100, 1101, 1102, 1028, 1006,
    1017, 1053, 1044, 1049, 1045, 1046, 1047, 1048, 1050, 1051, 1052,
};

int RunPersonEditor(MainView& view, int personId, bool isNew) {
    CPersonEditDlg dlg(view, view.viewWidget());
    dlg.SetTarget(personId, isNew);
    return ui::runModal(dlg);
}

CPersonEditDlg::CPersonEditDlg(MainView& view, QWidget* parent)
    : ui::TemplateDialog(TemplateId, kDialogRect.size(), parent),
      view_(view),
      createdHeight_(kDialogRect.height()) {
    placeOnScreen(kDialogRect);

    for (size_t i = 0; i < PersonFields.size(); ++i) {
        const PersonField& f = PersonFields[i];
        const int top = kRowTop + int(i) * kRowPitch;
        auto* label = addControl<QLabel>(f.labelId, {4, top, kEditLeft - 6, kRowHeight});
        label->setText(QString::fromUtf16(f.label));
        const bool groups = f.propId == PropGroups;
        // The group button sits at the end of the group row.
        const int right = groups ? kFormRight - 44 : kFormRight;
        auto* e = addControl<QLineEdit>(f.editId, {kEditLeft, top, right - kEditLeft, kRowHeight});
        if (groups) {
            // Filled by the group choice only; its length is checked when it comes back.
            e->setReadOnly(true);
            QPalette grey = e->palette();
            grey.setColor(QPalette::Base, QColor(236, 236, 236));
            e->setPalette(grey);
            e->setFocusPolicy(Qt::NoFocus);
        } else {
            e->setMaxLength(fieldLimit(f.propId));
        }
    }
    groups_ = addControl<ui::BitmapButton>(GroupsButton, {kFormRight - 40, kRowTop, 40, 20});
    const int buttonsTop = kRowTop + int(PersonFields.size()) * kRowPitch + 10;
    update_ = addControl<ui::BitmapButton>(UpdateButton, {72, buttonsTop, 40, 20});
    done_ = addControl<ui::BitmapButton>(DoneButton, {128, buttonsTop, 40, 20});
    update_->setToolTip(QStringLiteral("Update"));
    done_->setToolTip(QStringLiteral("Done"));
    connect(groups_, &QAbstractButton::clicked, this, &CPersonEditDlg::OnGroups);
    connect(update_, &QAbstractButton::clicked, this, &CPersonEditDlg::OnUpdate);
    connect(done_, &QAbstractButton::clicked, this, &QDialog::reject);

    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setSingleStep(1);
    scrollBar_->hide();
    connect(scrollBar_, &QAbstractSlider::actionTriggered, this, [this](int action) {
        switch (action) {
            case QAbstractSlider::SliderSingleStepSub:
                OnVScroll(SB_LINEUP);
                break;
            case QAbstractSlider::SliderSingleStepAdd:
                OnVScroll(SB_LINEDOWN);
                break;
            case QAbstractSlider::SliderPageStepSub:
                OnVScroll(SB_PAGEUP);
                break;
            case QAbstractSlider::SliderPageStepAdd:
                OnVScroll(SB_PAGEDOWN);
                break;
            case QAbstractSlider::SliderToMinimum:
                OnVScroll(SB_TOP);
                break;
            case QAbstractSlider::SliderToMaximum:
                OnVScroll(SB_BOTTOM);
                break;
            case QAbstractSlider::SliderMove:
                OnVScroll(SB_THUMBTRACK, scrollBar_->sliderPosition());
                break;
        }
        // The bar shows where the form is, not where the action alone would have put it.
        scrollBar_->setSliderPosition(position_);
    });
    cornerBox_ = new QWidget(this);
    cornerBox_->setAutoFillBackground(true);

    connect(&shell::notifier(), &shell::Notifier::inputPanelChanged, this,
            &CPersonEditDlg::OnInputPanelChanged);
}

void CPersonEditDlg::SetTarget(int personId, bool isNew) {
    personId_ = personId;
    isNew_ = isNew;
}

QLineEdit* CPersonEditDlg::edit(int id) const {
    return control<QLineEdit>(id);
}

void CPersonEditDlg::OnInitDialog() {
    groups_->loadBitmaps(159, 222);
    update_->loadBitmaps(189, 190);
    done_->loadBitmaps(179, 180);
    for (ui::BitmapButton* b : {groups_, update_, done_}) b->sizeToContent();

    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    cornerBox_->setGeometry(width() - arrow, height() - arrow, arrow, arrow);
    cornerBox_->show();

    // Opened with the input panel up, the form starts scrollable.
    OnInputPanelChanged();
    if (!isNew_) LoadPerson();
    edit(NameEdit)->setFocus();
}

void CPersonEditDlg::LoadPerson() {
    if (personId_ < 1) {
        shell::messageBox(this, QStringLiteral("선택해 주세요"));
        return;
    }
    RecordImage record;
    record.kind = PersonKind;
    record.id = personId_;
    if (!view_.store().ReadRecord(record)) {
        shell::messageBox(
            this, QStringLiteral("데이터를 찾을 수가 없습니다..데이터가 올바른지 확인하세요."));
        return;
    }
    const PersonForm form = personFormOf(record);
    for (size_t i = 0; i < PersonFields.size(); ++i) {
        edit(PersonFields[i].editId)->setText(form.texts[i]);
    }
}

PersonForm CPersonEditDlg::CollectForm() const {
    PersonForm form;
    for (size_t i = 0; i < PersonFields.size(); ++i) {
        form.texts[i] = edit(PersonFields[i].editId)->text();
    }
    return form;
}

void CPersonEditDlg::OnUpdate() {
    if (personId_ < 0) return;
    const PersonForm form = CollectForm();
    if (const FormRefusal why = checkPersonForm(form); why != FormRefusal::None) {
        shell::messageBox(this, refusalMessage(why));
        return;
    }
    RecordImage record = personRecord(form);
    if (personId_ == 0) {
        record.stamp = clk::toFileTime(clk::localTime()).value_or(cedb::FileTime{});
        // AddRecord, not AddPerson: the anniversaries need the identifier the add gives.
        if (!view_.store().AddRecord(record)) {
            shell::messageBox(this, ui::loadString(res::IDS_SAVE_FAILED));
            return;
        }
        const int answer = shell::messageBox(
            this, QStringLiteral("저장 되었습니다. 기념일 정보를 추가하시겠습니까? "), {},
            shell::MB_YESNO);
        if (answer == shell::IDYES) {
            const std::u16string_view name = text(record.name);
            OpenAnniversaryEditor(view_, this,
                                  QStringView(name.data(), qsizetype(name.size())).toString(),
                                  record.id);
        }
        accept();
        return;
    }
    record.id = personId_;
    if (!view_.store().UpdatePerson(record)) {
        shell::messageBox(this, ui::loadString(res::IDS_UPDATE_FAILED));
        return;
    }
    shell::messageBox(this, QStringLiteral("업데이트 되었습니다.."));
    accept();
}

void CPersonEditDlg::OnGroups() {
    QLineEdit* groups = edit(GroupsEdit);
    CCategoryDlg dlg(view_, this);
    dlg.SetGroupList(groups->text());
    // Only Close hands back a choice; leaving the dialog otherwise keeps the groups as they were.
    if (ui::runModal(dlg) != QDialog::Accepted) return;
    const QString chosen = dlg.GetGroupList();
    if (chosen.size() > fieldLimit(PropGroups)) {
        shell::messageBox(this, refusalMessage(FormRefusal::GroupsTooLong));
        return;
    }
    groups->setText(chosen);
}

void CPersonEditDlg::keyPressEvent(QKeyEvent* event) {
    // Return belongs to the focused control; it never presses a button of the form.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    ui::TemplateDialog::keyPressEvent(event);
}

void CPersonEditDlg::OnInputPanelChanged() {
    shell::InputPanelInfo info;
    if (!shell::getInputPanelInfo(info)) return;
    // The form gives way to the panel, as the system shrinks a full-screen dialog.
    const int freeBottom = info.visibleDesktop.top() + info.visibleDesktop.height();
    const int height = std::clamp(freeBottom - y(), 0, createdHeight_);
    if (height != this->height()) setFixedSize(width(), height);
}

void CPersonEditDlg::resizeEvent(QResizeEvent* event) {
    ui::TemplateDialog::resizeEvent(event);
    if (shift_ != 0) {
        MoveControls(shift_);
        shift_ = 0;
    }
    position_ = 0;
    excess_ = createdHeight_ - height();
    maxPosition_ = std::max(excess_, 0);
    position_ = std::min(position_, maxPosition_);

    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    scrollBar_->setGeometry(width() - arrow, 0, arrow, height());
    scrollBar_->setRange(0, maxPosition_);
    scrollBar_->setPageStep(std::max(excess_, 1));
    scrollBar_->setValue(position_);
    // An empty range takes the bar away, as the system's window scroll bar does.
    scrollBar_->setVisible(maxPosition_ > 0);
    scrollBar_->raise();
    cornerBox_->hide();
}

void CPersonEditDlg::OnVScroll(int code, int thumb) {
    int change = 0;
    switch (code) {
        case SB_LINEUP:
            change = -1;
            break;
        case SB_LINEDOWN:
            change = 1;
            break;
        case SB_PAGEUP:
            change = excess_ > 0 ? -excess_ : -1;
            break;
        case SB_PAGEDOWN:
            change = excess_ >= 1 ? excess_ : 1;
            break;
        case SB_THUMBTRACK:
            change = thumb - position_;
            break;
        case SB_TOP:
            change = -position_;
            break;
        case SB_BOTTOM:
            change = maxPosition_ - position_;
            break;
        default:
            break;
    }
    change = std::clamp(position_ + change, 0, maxPosition_) - position_;
    if (change == 0) return;
    shift_ += change;
    position_ += change;
    scrollBar_->setValue(position_);
    MoveControls(-change);
}

void CPersonEditDlg::MoveControls(int dy) {
    for (int id : ScrollingControls) {
        if (QWidget* w = control(id)) w->move(w->x(), w->y() + dy);
    }
}

}  // namespace people
