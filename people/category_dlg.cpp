#include "category_dlg.h"

#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTreeWidget>

#include "name_input_wnd.h"
#include "person_edit_form.h"
#include "shell/message_box.h"
#include "store/record_store.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace people {
namespace {

constexpr QRect kDialogRect{0, 26, 240, 294};
constexpr QRect kListRect{10, 60, 220, 188};
// The band above the list is this high.
constexpr int kBandHeight = 50;
constexpr QColor kBandColour{255, 204, 0};

}  // namespace

CCategoryDlg::CCategoryDlg(MainView& view, QWidget* parent)
    : ui::TemplateDialog(TemplateId, kDialogRect.size(), parent), view_(view) {
    setWindowTitle(QStringLiteral("Category 편집"));
    placeOnScreen(kDialogRect);

    list_ = addControl<QTreeWidget>(List, kListRect);
    list_->setFrameShape(QFrame::Box);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setIndentation(0);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->viewport()->installEventFilter(this);

    new_ = addControl<ui::BitmapButton>(NewButton, {30, 258, 40, 20});
    delete_ = addControl<ui::BitmapButton>(DeleteButton, {100, 258, 40, 20});
    close_ = addControl<ui::BitmapButton>(CloseButton, {170, 258, 40, 20});
    connect(new_, &QAbstractButton::clicked, this, &CCategoryDlg::OnNew);
    connect(delete_, &QAbstractButton::clicked, this, &CCategoryDlg::OnDelete);
    connect(close_, &QAbstractButton::clicked, this, &CCategoryDlg::OnClose);

    nameInput_ = new CNameInputWnd(this);
    // A longer name could never be kept in a person's group list.
    nameInput_->edit()->setMaxLength(fieldLimit(PropGroups));
    connect(nameInput_, &CNameInputWnd::nameEntered, this, &CCategoryDlg::OnNameEntered);
}

void CCategoryDlg::OnInitDialog() {
    new_->loadBitmaps(187, 188);
    delete_->loadBitmaps(181, 182);
    close_->loadBitmaps(195, 196);
    for (ui::BitmapButton* b : {new_, delete_, close_}) b->sizeToContent();

    list_->setColumnCount(1);
    list_->headerItem()->setText(0, QStringLiteral("%1").arg(QStringLiteral("카테고리 종류")));
    list_->headerItem()->setTextAlignment(0, Qt::AlignCenter);
    list_->setColumnWidth(0, width() - 30);
    FillRows();
}

void CCategoryDlg::FillRows() {
    list_->clear();
    std::vector<std::u16string> categories;
    view_.store().RefreshCategories(categories);
    for (const CategoryRow& row : categoryRows(categories, initialList_)) {
        auto* item = new QTreeWidgetItem(list_, QStringList{row.text});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    }
}

std::vector<CategoryRow> CCategoryDlg::rows() const {
    std::vector<CategoryRow> out;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        out.push_back({item->text(0), item->checkState(0) == Qt::Checked});
    }
    return out;
}

QRect CCategoryDlg::checkBoxRect(int row) const {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item) return {};
    QStyleOptionViewItem opt;
    opt.initFrom(list_->viewport());
    opt.rect = list_->visualItemRect(item);
    opt.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    opt.text = item->text(0);
    opt.widget = list_;
    return list_->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, list_);
}

bool CCategoryDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_->viewport()) return ui::TemplateDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick) {
        return false;
    }
    const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
    QTreeWidgetItem* item = list_->itemAt(pos);
    if (!item) return false;
    const bool onCheckBox = checkBoxRect(list_->indexOfTopLevelItem(item)).contains(pos);
    if (!onCheckBox) {
        if (type == QEvent::MouseButtonPress) selectedName_ = item->text(0);
        return false;
    }
    // A tap on a check box toggles the check and nothing else: the row is not selected.
    if (type == QEvent::MouseButtonPress) {
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    return true;
}

void CCategoryDlg::paintEvent(QPaintEvent* event) {
    ui::TemplateDialog::paintEvent(event);
    QPainter p(this);
    const QRect list = list_->geometry();
    const int left = list.left(), right = list.left() + list.width(), top = list.top();
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(left, top - kBandHeight, right - left - 1, kBandHeight - 1);
    p.fillRect(QRect(QPoint(left + 1, top - kBandHeight + 1), QPoint(right - 2, top)), kBandColour);
    p.setFont(ui::deviceFont());
    p.drawText(QRect(QPoint(left + 20, top - 44), QPoint(right - 21, top - 31)), Qt::AlignCenter,
               QStringLiteral("그룹 종류"));
}

void CCategoryDlg::OnDelete() {
    if (selectedName_.isEmpty() || isNotInGroupListRow(selectedName_)) return;
    const QString question =
        QStringLiteral("그룹 ") + selectedName_ + QStringLiteral("를 정말 삭제하시겠습니까?");
    if (shell::messageBox(this, question, {}, shell::MB_YESNO | shell::MB_ICONSTOP) !=
        shell::IDYES) {
        return;
    }
    if (!view_.store().DeleteCategory(selectedName_.toStdU16String())) {
        shell::messageBox(this, ui::loadString(res::IDS_DELETE_FAILED));
        return;
    }
    // The name is gone from the rows; a second Delete must not ask about it again.
    selectedName_.clear();
    FillRows();
    changed_ = true;
}

void CCategoryDlg::OnNew() {
    if (!nameInput_->isCreated()) {
        const QRect client = rect();
        nameInput_->Create(QRect(client.left() + 32, client.top() + 70, client.width() - 64, 70));
    }
    nameInput_->raise();
}

void CCategoryDlg::OnNameEntered() {
    const QString name = nameInput_->GetText();
    // The person editor would refuse every group list holding such a name.
    if (name.contains(u';')) {
        shell::messageBox(this, refusalMessage(FormRefusal::GroupsHaveSemicolon));
        return;
    }
    QStringList texts;
    for (const CategoryRow& row : rows()) texts << row.text;
    const EnteredName what = examineEnteredName(texts, name);
    switch (what.kind) {
        case EnteredName::AlreadyCategory:
            changed_ = true;
            return;
        case EnteredName::ReviveRow:
            if (!view_.store().AddCategory(name.toStdU16String())) break;
            list_->topLevelItem(what.row)->setText(0, name);
            // A category came back: the group filters of the main view must offer it again.
            changed_ = true;
            return;
        case EnteredName::NewCategory:
            if (!view_.store().AddCategory(name.toStdU16String())) break;
            FillRows();
            changed_ = true;
            return;
    }
    shell::messageBox(this, ui::loadString(res::IDS_SAVE_FAILED));
}

void CCategoryDlg::OnClose() {
    resultList_ = checkedGroupList(rows());
    accept();
}

void CCategoryDlg::done(int result) {
    // Categories changed here are in the store already, however the dialog ends.
    if (changed_) {
        changed_ = false;
        view_.RefreshMainScreens();
    }
    ui::TemplateDialog::done(result);
}

}  // namespace people
