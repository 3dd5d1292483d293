#include "appointments/today_set_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "shell/message_box.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/framed_edit.h"
#include "ui/resources.h"

namespace {

const QRect kDialogRect(0, 26, 240, 268);
const QString kAskSave = QStringLiteral("저장하고 끝내시겠습니까?");

QString fromU16(const std::u16string& s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

}  // namespace

CTodaySetDlg::CTodaySetDlg(QWidget* parent)
    : ui::TemplateDialog(TemplateId, kDialogRect.size(), parent) {
    setObjectName(QStringLiteral("CTodaySetDlg"));
    setWindowTitle(QStringLiteral("Today 설정"));
    placeOnScreen(kDialogRect);

    auto* nameLabel = new QLabel(QStringLiteral("사용자 이름 설정"), this);
    nameLabel->setGeometry(10, 20, 220, 18);
    name_ = addControl<ui::FramedEdit>(NameEditId, QRect(10, 42, 220, 22));
    name_->setMaxLength(int(settings::kNameLength));
    auto* hourLabel = new QLabel(QStringLiteral("Today 브리핑 기준 시각 설정"), this);
    hourLabel->setGeometry(10, 80, 220, 18);
    hour_ = addControl<QComboBox>(HourComboId, QRect(10, 102, 220, 22));
    hour_->setMaxVisibleItems(8);
    auto* save = addControl<ui::BitmapButton>(SaveButtonId, QRect(190, 240, 40, 20));
    save->loadBitmaps(189, 190);
    save->sizeToContent();
    connect(save, &QAbstractButton::clicked, this, &CTodaySetDlg::OnSave);

    for (int h = 0; h < 24; ++h) hour_->addItem(QStringLiteral("%1시 00분").arg(h), h);
    hour_->setCurrentIndex(0);

    // A registry that cannot be reached leaves the defaults (empty name, hour 0) on screen.
    key_ = settings::openSettingsKey(&created_);
    if (key_ && !created_) {
        const settings::BriefingSettings s = settings::readSettings(*key_);
        name_->setText(fromU16(s.name));
        hour_->setCurrentIndex(s.hour);
    }
}

void CTodaySetDlg::OnInitDialog() {
    name_->setFocus();
}

void CTodaySetDlg::OnSave() {
    if (shell::messageBox(this, kAskSave, {}, shell::MB_YESNO | shell::MB_ICONQUESTION) !=
        shell::IDYES) {
        reject();
        return;
    }
    const QString text = name_->text();
    settings::BriefingSettings s;
    s.name = settings::fitName(
        std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
    s.hour = std::max(0, hour_->currentIndex());
    // The key may have been unreachable at the start; it is tried again for the save.
    if (!key_) key_ = settings::openSettingsKey();
    if (!key_ || !settings::writeSettings(*key_, s)) {
        shell::messageBox(this, ui::loadString(res::IDS_SAVE_DATA_FAILED));
        return;
    }
    if (s.name.empty()) s.name = settings::kDefaultName;
    saved_ = s;
    key_.reset();
    accept();
}
