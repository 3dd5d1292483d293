#include "people/people_list_wnd.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "shell/tap_and_hold.h"
#include "ui/controls.h"
#include "ui/menu_resource.h"
#include "ui/modal.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace {

constexpr int kImageListBitmap = 232;  // person and group, 16 pixels each
constexpr int kPickerTopCaption = 240;
constexpr int kPickerBottomCaption = 243;
constexpr int kTitleBand = 25;  // mode 2: the band above the list
const QColor kBandColour(255, 204, 0);

// (left, top)-(right, bottom) with right and bottom outside, as the rectangles are given.
QRect ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

PeopleListLayout peopleListLayout(int mode, const QSize& size) {
    const int w = size.width(), h = size.height();
    // The filter's rectangles reach down over its drop-down list; closed, it is one line high.
    switch (mode) {
        case NameAndPhone:
            return {ltrb(w / 2 + 1, 1, w - 1, 22), ltrb(1, 1, w / 2 - 4, 22), ltrb(1, 52, w, h)};
        case Picker:
            return {ltrb(w / 2 + 30, 15, w - 5, 35), ltrb(w / 2 + 29, 38, w - 4, 58),
                    ltrb(0, 0, w / 2 + 20, h)};
        default:
            // Wider and lower than the window, so that neither border nor scroll bar shows.
            return {ltrb(-1, -1, w + 1, 20), ltrb(-1, 20, w + 1, 40), ltrb(-1, 40, w + 2, h + 13)};
    }
}

void paintPeopleListBackground(QPainter& painter, int mode, const QSize& size, const QRect& list) {
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (mode == NameAndPhone) {
        const int left = list.left(), right = list.left() + list.width(), top = list.top();
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(left, top - kTitleBand, right - left - 1, kTitleBand - 1);
        // The fill covers the frame's bottom line: the band runs into the list.
        painter.fillRect(ltrb(left + 1, top - kTitleBand + 1, right - 1, top + 1), kBandColour);
        const int centre = (left + right) / 2;
        painter.setFont(ui::deviceFont());
        painter.drawText(ltrb(centre - 35, top - 20, centre + 35, top - 5),
                         Qt::AlignCenter | Qt::TextShowMnemonic, QStringLiteral("이름 && 전화"));
    } else if (mode == Picker) {
        const int x = size.width() / 2 + 30;
        painter.drawPixmap(x, 5, ui::loadBitmap(kPickerTopCaption));
        painter.drawPixmap(x, size.height() - 20, ui::loadBitmap(kPickerBottomCaption));
    }
}

CPeopleListWnd::CPeopleListWnd(CRecordStore& store, MainView* view, QWidget* parent)
    : QWidget(parent), store_(store), view_(view) {}

void CPeopleListWnd::Create(const QRect& rect, int id, int mode, int columnWidth) {
    mode_ = mode;
    columnWidth_ = mode == NameAndPhone ? columnWidth + 20 : columnWidth;
    trackPerson_ = mode == NameList || mode == NameAndPhone;
    history_ = mode == NameList;
    ui::place(this, id, rect);

    search_edit_ = new QLineEdit(this);
    ui::setControlId(search_edit_, SearchEditId);
    // A plain one-pixel frame: the style's faint one vanishes against the white page.
    search_edit_->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid rgb(150, 150, 150); padding: 0 2px; }"));
    connect(search_edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        search_.setText(text);
        showRows();
    });

    filter_ = new QComboBox(this);
    ui::setControlId(filter_, GroupFilterId);
    filter_->setMaxVisibleItems(10);
    connect(filter_, &QComboBox::activated, this, &CPeopleListWnd::onFilterChosen);

    list_ = new QTreeWidget(this);
    ui::setControlId(list_, ListId);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setIconSize(QSize(16, 16));
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setColumnCount(mode == NameAndPhone ? 2 : 1);
    list_->setHeaderLabels(mode == NameAndPhone
                               ? QStringList{QStringLiteral("사람"), QStringLiteral("전화")}
                               : QStringList{QStringLiteral("사람")});
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, columnWidth_);
    if (mode == NameAndPhone) list_->setColumnWidth(1, columnWidth_ * 3);
    if (mode == NameList) {
        list_->setFrameShape(QFrame::NoFrame);
        list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    connect(list_, &QTreeWidget::itemPressed, this, [this](QTreeWidgetItem* item) { onTap(item); });
    list_->installEventFilter(this);
    hold_ = new shell::TapAndHold(list_->viewport());
    connect(hold_, &shell::TapAndHold::held, this, &CPeopleListWnd::onHold);

    // Mode 1 has no image list: its rows show no image.
    if (mode != NameList) {
        const QPixmap strip = ui::loadBitmap(kImageListBitmap);
        images_[0] = strip.copy(0, 0, 16, 16);
        images_[1] = strip.copy(16, 0, 16, 16);
    }
    layoutChildren();
}

void CPeopleListWnd::layoutChildren() {
    if (!list_) return;
    const PeopleListLayout layout = peopleListLayout(mode_, size());
    search_edit_->setGeometry(layout.search);
    filter_->setGeometry(layout.filter);
    list_->setGeometry(layout.list);
    update();
}

void CPeopleListWnd::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

void CPeopleListWnd::paintEvent(QPaintEvent*) {
    // Drawn off screen and copied, as every drawn window of the program.
    QImage image(size(), QImage::Format_RGB32);
    {
        QPainter p(&image);
        paintPeopleListBackground(p, mode_, size(),
                                  list_ ? list_->geometry() : peopleListLayout(mode_, size()).list);
    }
    QPainter(this).drawImage(0, 0, image);
}

void CPeopleListWnd::LoadRows(int mode) {
    const QStringList categories = mode == Picker ? loadCategories(store_) : QStringList();
    PeopleRows rows = buildRows(mode, categories, loadPersonEntries(store_), groupFilter_);
    sortRows(rows);
    search_.reset(rows, search_edit_ ? search_edit_->text() : QString());
    showRows();
}

void CPeopleListWnd::showRows() {
    if (!list_) return;
    list_->clear();
    currentRow_ = -1;
    for (const PeopleRow& row : search_.shown()) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, row.name);
        item->setData(0, Qt::UserRole, row.id);
        if (mode_ == Picker && isGroupRowId(row.id)) item->setIcon(0, images_[1]);
        if (mode_ == NameAndPhone) item->setText(1, row.phone);
        if (mode_ == Picker) item->setCheckState(0, Qt::Unchecked);
    }
}

namespace {

// The entry of `name` among the categories of the combo (entry 0 is "no group"); 0 if none.
int categoryEntry(const QComboBox& combo, const QString& name) {
    for (int i = 1; i < combo.count(); ++i) {
        if (combo.itemText(i) == name) return i;
    }
    return 0;
}

}  // namespace

bool CPeopleListWnd::fillFilterEntries() {
    QSignalBlocker block(filter_);
    filter_->clear();
    filter_->addItem(NoGroupText, 0);
    const QStringList categories = loadCategories(store_);
    for (qsizetype i = 0; i < categories.size(); ++i) filter_->addItem(categories[i], int(i + 1));
    // The combo shows the filter the rows follow; a group deleted meanwhile filters no more.
    const int entry = groupFilter_.isEmpty() ? 0 : categoryEntry(*filter_, groupFilter_);
    filter_->setCurrentIndex(entry);
    if (entry != 0 || groupFilter_.isEmpty()) return false;
    groupFilter_.clear();
    return true;
}

void CPeopleListWnd::FillGroupFilter() {
    if (fillFilterEntries()) LoadRows(mode_);
}

void CPeopleListWnd::Refresh() {
    fillFilterEntries();
    LoadRows(mode_);
}

void CPeopleListWnd::onFilterChosen(int index) {
    groupFilter_ = index <= 0 ? QString() : filter_->itemText(index);
    LoadRows(mode_);
}

int CPeopleListWnd::rowOf(const QTreeWidgetItem* item) const {
    return item ? list_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : -1;
}

int CPeopleListWnd::GetCurrentId() const {
    const PeopleRows& rows = shownRows();
    return currentRow_ >= 0 && size_t(currentRow_) < rows.size() ? rows[size_t(currentRow_)].id : 0;
}

QString CPeopleListWnd::GetCurrentName() const {
    const PeopleRows& rows = shownRows();
    return currentRow_ >= 0 && size_t(currentRow_) < rows.size() ? rows[size_t(currentRow_)].name
                                                                 : QString();
}

bool CPeopleListWnd::isChecked(int row) const {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

void CPeopleListWnd::setChecked(int row, bool checked) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) {
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

void CPeopleListWnd::onTap(QTreeWidgetItem* item) {
    const int row = rowOf(item);
    if (row < 0) return;
    currentRow_ = row;
    // Taken first: the history refresh may reload the rows, and `item` with them.
    const int id = shownRows()[size_t(row)].id;
    const QString name = shownRows()[size_t(row)].name;
    const bool person = trackPerson_ && isPersonRowId(id);
    if (person) list_->setCurrentItem(item);
    if (history_) emit historyRefreshRequested();
    if (person && view_) view_->setCurrentPerson(name, id);
}

void CPeopleListWnd::onHold(const QPoint& pos) {
    QTreeWidgetItem* item = list_->itemAt(pos);
    const int row = rowOf(item);
    if (row < 0) return;
    // Taken before the tap: its history refresh may reload the rows.
    const int id = shownRows()[size_t(row)].id;
    // The press that began the hold was a tap already; a hold recognised on its own is one.
    if (row != currentRow_) onTap(item);
    if (!trackPerson_ || !isPersonRowId(id) || !view_) return;
    ui::MenuResource menu(128);
    QMenu* person = menu.popup(ui::PersonPopup);
    if (!person) return;
    QAction* chosen = ui::popupMenu(*person, list_->viewport()->mapToGlobal(pos));
    if (int command = ui::MenuResource::commandOf(chosen)) view_->runCommand(command);
}

void CPeopleListWnd::onKeyRelease() {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (list_->topLevelItem(i)->isSelected()) {
            currentRow_ = i;
            if (history_) emit historyRefreshRequested();
            return;
        }
    }
}

bool CPeopleListWnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            onKeyRelease();
        }
    }
    return QWidget::eventFilter(watched, event);
}
