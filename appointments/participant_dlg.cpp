#include "appointments/participant_dlg.h"

#include <QComboBox>
#include <QMenu>
#include <QTreeWidget>

#include "people/people_list_wnd.h"
#include "shell/message_box.h"
#include "shell/tap_and_hold.h"
#include "ui/bitmap_button.h"
#include "ui/menu_resource.h"
#include "ui/modal.h"

namespace {

const QRect kDialogRect(0, 26, 240, 268);
const QRect kTreeRect(5, 140, 230, 92);  // (5, 140)-(235, 232)

const QString kMemberRefused =
    QStringLiteral("<그룹>으로 선택된 사람은 지울 수 없습니다.<그룹>을 제거하세요.");
const QString kAskGeneral = QStringLiteral("<일반 선택> 사람 전부를 지우시겠습니까?");
const QString kAskAll = QStringLiteral("선택된 사람 전부를 지우시겠습니까?");
const QString kAskGroup = QStringLiteral("선택된 그룹을 지우시겠습니까?");
const QString kAskPerson = QStringLiteral("선택된 사람을 지우시겠습니까?");

QString pick(const QStringList& names, const QStringList& ids, int index, int which) {
    if (index < 0) return {};
    const QStringList& list = which == 1 ? names : which == 2 ? ids : QStringList();
    return index < list.size() ? list[index] : QString();
}

QTreeWidgetItem* addChild(QTreeWidgetItem* parent, const QString& text, int data) {
    auto* item = new QTreeWidgetItem(parent);
    item->setText(0, text);
    item->setData(0, Qt::UserRole, data);
    return item;
}

// Sorted insertion under `parent` (by text, in UTF-16 code units).
void insertSorted(QTreeWidgetItem* parent, const QString& text, int data) {
    int at = 0;
    while (at < parent->childCount() && parent->child(at)->text(0) <= text) ++at;
    auto* item = new QTreeWidgetItem();
    item->setText(0, text);
    item->setData(0, Qt::UserRole, data);
    parent->insertChild(at, item);
}

}  // namespace

CParticipantDlg::CParticipantDlg(CRecordStore& store, QWidget* parent)
    : ui::TemplateDialog(TemplateId, kDialogRect.size(), parent), store_(store) {
    setObjectName(QStringLiteral("CParticipantDlg"));
    setWindowTitle(QStringLiteral("약속관리"));
    placeOnScreen(kDialogRect);

    tree_ = addControl<QTreeWidget>(TreeId, kTreeRect);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(tree_, &QTreeWidget::itemPressed, this,
            [this](QTreeWidgetItem* item) { onTreeTap(item); });
    auto* hold = new shell::TapAndHold(tree_->viewport());
    connect(hold, &shell::TapAndHold::held, this, &CParticipantDlg::onTreeHold);

    // Above the tree, as wide as it: from 130 pixels above its top to 35 above it.
    list_ = new CPeopleListWnd(store_, nullptr, this);
    list_->Create(QRect(kTreeRect.left(), kTreeRect.top() - 130, kTreeRect.width(), 95),
                  PeopleListId, Picker, 100);

    auto* ok = addControl<ui::BitmapButton>(OkButtonId, QRect(130, 240, 40, 20));
    ok->loadBitmaps(189, 190);
    ok->sizeToContent();
    ok->setText(QStringLiteral("OK"));
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    auto* cancel = addControl<ui::BitmapButton>(CancelButtonId, QRect(185, 240, 40, 20));
    cancel->loadBitmaps(179, 180);
    cancel->sizeToContent();
    cancel->setText(QStringLiteral("Cancel"));
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);

    QTreeWidget* rows = list_->listControl();
    // A row is added when its box is ticked, and when the stylus is lifted over a row whose
    // box is ticked (after a removal in the tree, the row may still show its tick).
    connect(rows, &QTreeWidget::itemChanged, this, [this, rows](QTreeWidgetItem* item) {
        if (item->checkState(0) == Qt::Checked) AddRow(rows->indexOfTopLevelItem(item));
    });
    connect(rows, &QTreeWidget::itemClicked, this, [this, rows](QTreeWidgetItem* item) {
        if (item->checkState(0) == Qt::Checked) AddRow(rows->indexOfTopLevelItem(item));
    });

    list_->LoadRows(Picker);
    // The picker offers no group filter.
    list_->groupCombo()->clear();
    BuildTree();
}

void CParticipantDlg::OnInitDialog() {
    BuildTree();
}

void CParticipantDlg::SetSelection(const appointments::ParticipantSelection& selection) {
    selection_ = selection;
    BuildTree();
}

QString CParticipantDlg::GetGroup(int index, int which) const {
    return pick(selection_.groupNames, selection_.groupIds, index, which);
}

QString CParticipantDlg::GetPerson(int index, int which) const {
    return pick(selection_.personNames, selection_.personIds, index, which);
}

void CParticipantDlg::AddRow(int row) {
    const PeopleRows& rows = list_->shownRows();
    if (row < 0 || size_t(row) >= rows.size()) return;
    const PeopleRow& r = rows[size_t(row)];
    bool changed = false;
    if (isPersonRowId(r.id)) {
        changed = selection_.addPerson(r.name, QString::number(r.id));
    } else if (isGroupRowId(r.id)) {
        changed = selection_.addGroup(r.name, QString::number(r.id));
    }
    if (changed) BuildTree();
}

void CParticipantDlg::BuildTree() {
    tree_->clear();
    tapped_ = false;
    root_ = new QTreeWidgetItem(tree_);
    root_->setText(0, QStringLiteral("<약속 참가 명단>"));
    root_->setData(0, Qt::UserRole, ParticipantRootData);
    general_ = addChild(root_, QStringLiteral("일반 선택"), GeneralSelectionData);
    for (qsizetype i = 0; i < selection_.personIds.size(); ++i) {
        insertSorted(general_, selection_.personNames.value(i), selection_.personIds[i].toInt());
    }
    if (!selection_.groupIds.isEmpty()) {
        std::vector<QTreeWidgetItem*> groups;
        for (qsizetype i = 0; i < selection_.groupIds.size(); ++i) {
            groups.push_back(
                addChild(root_, selection_.groupNames.value(i), selection_.groupIds[i].toInt()));
        }
        // One walk for every group's members.
        const auto members = appointments::groupMembers(store_, selection_.groupNames);
        for (size_t g = 0; g < groups.size(); ++g) {
            for (const auto& m : members[g]) insertSorted(groups[g], m.name, GroupMemberData);
        }
    }
    root_->setExpanded(true);
    general_->setExpanded(true);
}

void CParticipantDlg::onTreeTap(QTreeWidgetItem* item) {
    if (!item) return;
    tree_->setCurrentItem(item);
    tappedData_ = item->data(0, Qt::UserRole).toInt();
    tapped_ = true;
}

void CParticipantDlg::onTreeHold(const QPoint& pos) {
    QTreeWidgetItem* item = tree_->itemAt(pos);
    if (!item) return;
    onTreeTap(item);
    ui::MenuResource menu(128);
    QMenu* edit = menu.popup(ui::EditPopup);
    if (!edit) return;
    QAction* chosen = ui::popupMenu(*edit, tree_->viewport()->mapToGlobal(pos));
    if (ui::MenuResource::commandOf(chosen) == DeleteCommand) OnDelete();
}

void CParticipantDlg::OnDelete() {
    if (!tapped_) return;
    const int data = tappedData_;
    if (data == GroupMemberData) {
        shell::messageBox(this, kMemberRefused, {}, shell::MB_OK | shell::MB_ICONSTOP);
        return;
    }
    const QString& question = data == GeneralSelectionData  ? kAskGeneral
                              : data == ParticipantRootData ? kAskAll
                              : data < GroupMemberData      ? kAskGroup
                                                            : kAskPerson;
    if (shell::messageBox(this, question, {}, shell::MB_YESNO | shell::MB_ICONQUESTION) !=
        shell::IDYES) {
        return;
    }
    if (data == GeneralSelectionData) {
        selection_.clearPersons();
    } else if (data == ParticipantRootData) {
        selection_.clear();
    } else if (data < GroupMemberData) {
        selection_.removeGroup(QString::number(data));
    } else {
        selection_.removePerson(QString::number(data));
    }
    BuildTree();
}
