#include "appointments/history_pane.h"

#include <QPainter>
#include <QPushButton>

#include "appointments/list_ctrl.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace {

constexpr int kListId = 237;

QRect ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

CHistoryPane::CHistoryPane(MainView* view, QWidget* parent) : QWidget(parent), view_(view) {
    setObjectName(QStringLiteral("CHistoryPane"));
}

void CHistoryPane::Create() {
    const int w = width(), h = height();
    list_ = new CHistroyListCtrlView(view_, this);
    ui::place(list_, kListId, ltrb(0, 30, w + 1, h - 10));
    connect(list_, &CHistroyListCtrlView::commandRequested, this, &CHistoryPane::commandRequested);
    up_ = ui::addControl<QPushButton>(this, UpButtonId, ltrb(-1, 20, w + 1, 29));
    up_->setText(QStringLiteral("▲"));
    down_ = ui::addControl<QPushButton>(this, DownButtonId, ltrb(-1, h - 8, w + 1, h + 1));
    down_->setText(QStringLiteral("▼"));
    for (QPushButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setStyleSheet(QStringLiteral(
            "QPushButton { border: 1px solid rgb(150, 150, 150); background: rgb(230, 230, 230);"
            " font-size: 7px; padding: 0; }"));
    }
    connect(up_, &QPushButton::clicked, this, &CHistoryPane::OnPageUp);
    connect(down_, &QPushButton::clicked, this, &CHistoryPane::OnPageDown);
    anniversaries_ = ui::addControl<ui::BitmapButton>(this, AnniversaryButtonId,
                                                      ltrb(w / 2 + 10, 2, w - 10, 17));
    anniversaries_->loadBitmaps(264, 265, 266);
    anniversaries_->sizeToContent();
    anniversaries_->setText(QStringLiteral("기념일"));
    anniversaries_->setEnabled(false);
    connect(anniversaries_, &QAbstractButton::clicked, this, &CHistoryPane::OnAnniversaryButton);
    ShowHistory(0);
}

void CHistoryPane::SetAnniversaryButton(bool enabled) {
    if (!anniversaries_) return;
    anniversaries_->setEnabled(enabled);
    if (!enabled) update();
}

void CHistoryPane::ShowRows(const appointments::ItemRows& rows) {
    list_->ClearRows();
    for (const auto& r : rows) list_->AddRow(r.first, r.second, r.id);
    ShowHistory(int(rows.size()));
}

void CHistoryPane::ShowHistory(int count) {
    pages_ = listctl::pageCount(count);
    page_ = 1;
    list_->SetPage(pages_, page_);
    list_->DrawPage();
}

void CHistoryPane::setMode(int mode) {
    mode_ = mode;
    update();
}

QString CHistoryPane::title() const {
    return mode_ == appointments::HistoryAnniversaries ? QStringLiteral("기념일 정보")
                                                       : QStringLiteral("미팅 내역");
}

void CHistoryPane::OnPageUp() {
    if (pages_ < 1) return;
    page_ = page_ - 1 >= 1 ? page_ - 1 : 1;
    list_->SetPage(pages_, page_);
    list_->DrawPage();
}

void CHistoryPane::OnPageDown() {
    if (pages_ < 1) return;
    if (page_ + 1 <= pages_) ++page_;
    list_->SetPage(pages_, page_);
    list_->DrawPage();
}

void CHistoryPane::OnAnniversaryButton() {
    emit modeFlipRequested();
    update();
}

void CHistoryPane::paintEvent(QPaintEvent*) {
    QImage image(size(), QImage::Format_RGB32);
    {
        QPainter p(&image);
        p.fillRect(image.rect(), QColor(210, 210, 210));
        p.setPen(QColor(120, 120, 120));
        p.setFont(ui::deviceFont());
        p.drawText(ltrb(5, 2, 200, 16), Qt::AlignLeft | Qt::AlignVCenter, title());
    }
    QPainter(this).drawImage(0, 0, image);
}
