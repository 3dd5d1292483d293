#include "sketch/sketch_list_dlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeWidget>

#include "fs/devfs.h"
#include "shell/message_box.h"
#include "sketch/sketch_dlg.h"
#include "sketch/sketch_paths.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/modal.h"
#include "ui/resources.h"

namespace sketch {
namespace {

constexpr QRect kDialogRect{0, 26, 240, 294};
constexpr QRect kListRect{20, 40, 200, 170};

// The list sorts names as the device compares them, without regard to case.
class NameItem : public QTreeWidgetItem {
public:
    explicit NameItem(const QString& name) : QTreeWidgetItem(QStringList{name}) {}
    bool operator<(const QTreeWidgetItem& other) const override {
        const int byCase = text(0).compare(other.text(0), Qt::CaseInsensitive);
        return byCase != 0 ? byCase < 0 : text(0) < other.text(0);
    }
};

}  // namespace

CSketchListDlg::CSketchListDlg(bool selectionDisabled, QWidget* parent)
    : ui::TemplateDialog(TemplateId, kDialogRect.size(), parent),
      selectionDisabled_(selectionDisabled) {
    setWindowTitle(QStringLiteral("약도DB관리"));
    placeOnScreen(kDialogRect);

    list_ = addControl<QTreeWidget>(List, kListRect);
    list_->setFrameShape(QFrame::Box);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setIndentation(0);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSortingEnabled(true);
    list_->sortByColumn(0, Qt::AscendingOrder);
    list_->setUniformRowHeights(true);
    list_->viewport()->installEventFilter(this);

    auto* hint = addControl<QLabel>(Hint, {20, 214, 200, 34});
    hint->setWordWrap(true);
    hint->setFont(ui::deviceFont(11));
    hint->setText(QStringLiteral("파일을 선택하신후 <선택> 버튼을 누르시면 해당 약도가 첨부됩니다. "));

    select_ = addControl<ui::BitmapButton>(SelectButton, {20, 256, 40, 20});
    edit_ = addControl<ui::BitmapButton>(EditButton, {100, 256, 40, 20});
    cancel_ = addControl<ui::BitmapButton>(CancelButton, {180, 256, 40, 20});
    connect(select_, &QAbstractButton::clicked, this, &CSketchListDlg::OnSelect);
    connect(edit_, &QAbstractButton::clicked, this, &CSketchListDlg::OnEdit);
    connect(cancel_, &QAbstractButton::clicked, this, [this] { reject(); });
}

void CSketchListDlg::OnInitDialog() {
    list_->setHeaderLabels({QStringLiteral("약도 이름 목록")});
    list_->header()->resizeSection(0, 180);
    list_->headerItem()->setTextAlignment(0, Qt::AlignCenter);
    FillList();
    select_->loadBitmaps(191, 192);
    edit_->loadBitmaps(183, 184);
    cancel_->loadBitmaps(195, 196);
    for (ui::BitmapButton* b : {select_, edit_, cancel_}) b->sizeToContent();
    if (selectionDisabled_) select_->setEnabled(false);
}

void CSketchListDlg::FillList() {
    list_->clear();
    const std::u16string folder = SketchFolder().toStdU16String();
    QList<QTreeWidgetItem*> items;
    // The folder is searched once for each kind; each kind that is missing is named.
    for (auto [pattern, none] :
         {std::pair{u"*.bmp", QStringLiteral(".BMP 파일이 없습니다..")},
          std::pair{u"*.jpg", QStringLiteral(".JPG 파일이 없습니다..")}}) {
        const std::vector<std::u16string> found = devfs::findFiles(folder, pattern);
        if (found.empty()) shell::messageBox(this, none);
        for (const std::u16string& name : found)
            items << new NameItem(QString::fromStdU16String(name));
    }
    list_->setSortingEnabled(false);
    list_->addTopLevelItems(items);
    list_->setSortingEnabled(true);
    list_->sortByColumn(0, Qt::AscendingOrder);
    list_->setCurrentItem(nullptr);
    list_->clearSelection();
    // A name picked before the refill is picked only while it is still listed.
    if (!selected_.isEmpty() && list_->findItems(selected_, Qt::MatchExactly).isEmpty())
        selected_.clear();
}

QStringList CSketchListDlg::names() const {
    QStringList out;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) out << list_->topLevelItem(i)->text(0);
    return out;
}

QRect CSketchListDlg::labelRect(const QString& name) const {
    const QList<QTreeWidgetItem*> hits = list_->findItems(name, Qt::MatchExactly);
    if (hits.isEmpty()) return {};
    const QRect row = list_->visualItemRect(hits.front());
    const int width = list_->fontMetrics().horizontalAdvance(name) + 6;
    return QRect(row.left(), row.top(), std::min(width, row.width()), row.height());
}

bool CSketchListDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        QTreeWidgetItem* item = list_->itemAt(at);
        // Only a press on the name itself picks; anywhere else in the list drops the pick.
        if (item && labelRect(item->text(0)).contains(at)) {
            selected_ = item->text(0);
        } else {
            selected_.clear();
            list_->clearSelection();
        }
        update();
    }
    return ui::TemplateDialog::eventFilter(watched, event);
}

void CSketchListDlg::paintEvent(QPaintEvent* event) {
    ui::TemplateDialog::paintEvent(event);
    QPainter p(this);
    const QRect band(kListRect.left(), kListRect.top() - 25, kListRect.width(), 25);
    p.fillRect(band, Qt::black);
    p.fillRect(band.adjusted(1, 1, -1, -1), QColor(255, 204, 0));
    p.setFont(ui::deviceFont(12, true));
    p.setPen(Qt::black);
    p.drawText(QRect(band.left() + 35, band.top() + 5, band.width() - 55, 15),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("약도 파일 리스트"));
}

void CSketchListDlg::OnSelect() {
    if (selected_.isEmpty()) {
        shell::messageBox(this, ui::loadString(res::IDS_NOTHING_SELECTED));
        return;
    }
    const int answer =
        shell::messageBox(this, QStringLiteral("%1 가 선택되었습니다 ..맞습니까?").arg(selected_), {},
                          shell::MB_YESNO | shell::MB_ICONQUESTION);
    if (answer == shell::IDYES) accept();
}

void CSketchListDlg::OnEdit() {
    if (selected_.isEmpty()) {
        const int answer = shell::messageBox(this, ui::loadString(res::IDS_SKETCH_MISSING), {},
                                             shell::MB_YESNO | shell::MB_ICONQUESTION);
        if (answer == shell::IDYES) {
            CSketchDlg dlg({}, this);
            ui::runModal(dlg);
        }
    } else {
        CSketchDlg dlg(selected_, this);
        ui::runModal(dlg);
    }
    FillList();
}

std::optional<QString> ChooseSketch(QWidget* parent) {
    CSketchListDlg dlg(false, parent);
    if (ui::runModal(dlg) == QDialog::Accepted && !dlg.selectedName().isEmpty())
        return dlg.selectedName();
    return std::nullopt;
}

}  // namespace sketch
