#include "appointments/list_ctrl.h"

#include <QFontMetricsF>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>

#include "ui/controls.h"
#include "ui/menu_resource.h"
#include "ui/modal.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace listctl {

QColor firstLineColour() {
    return QColor(0, 114, 188);
}
QColor secondTextColour() {
    return QColor(115, 115, 115);
}
QColor separatorColour() {
    return QColor(193, 193, 193);
}
QColor titleBandColour() {
    return QColor(255, 204, 0);
}

namespace {

void drawEmptyText(QPainter& p, int height, const QString& text) {
    p.setPen(secondTextColour());
    p.drawText(QRect(QPoint(5, height / 2), QPoint(199, height / 2 + 41)),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

// The two-colour frame of a pressed row.
void drawPressFrame(QPainter& p, const QRect& r) {
    p.setPen(QColor(150, 150, 150));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(QColor(100, 100, 100));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

void drawSeparator(QPainter& p, const QLine& line) {
    p.setPen(QPen(separatorColour(), 2));
    p.drawLine(line);
}

}  // namespace

ListPress::ListPress(QWidget* list, MainView* view, int timerNumber)
    : QObject(list), list_(list), view_(view), timerNumber_(timerNumber) {}

void ListPress::press(const QPoint& pos, std::optional<int> itemId, bool menuSwitch) {
    timer_.start(PressTracker::kTickMs, this);
    if (itemId && view_) view_->setCurrentItemId(*itemId);
    tracker_.press(itemId.has_value(), menuSwitch);
    pressPos_ = pos;
    anniversary_ = itemId && *itemId < 0;
    emit changed();
}

void ListPress::release(bool onRow) {
    timer_.stop();
    const bool tap = tracker_.release();
    if (tap && onRow) post(DetailsCommand);
    emit changed();
}

void ListPress::tick() {
    // The menu is asked for as a message to the list itself, after this tick is handled.
    if (tracker_.tick()) QTimer::singleShot(0, this, &ListPress::openMenu);
}

void ListPress::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) tick();
}

void ListPress::openMenu() {
    timer_.stop();
    ui::MenuResource menus(128);
    QMenu* popup = menus.popup(anniversary_ ? ui::EventPopup : ui::DatePopup);
    if (popup) {
        QAction* chosen = ui::popupMenu(*popup, list_->mapToGlobal(pressPos_));
        if (int command = ui::MenuResource::commandOf(chosen)) post(command);
    }
    emit changed();
}

void ListPress::post(int commandId) {
    QTimer::singleShot(0, this, [this, commandId] { emit commandRequested(commandId); });
}

int listTextWidth(QStringView text) {
    static const QFontMetricsF metrics(ui::deviceFont());
    return int(std::ceil(metrics.horizontalAdvance(text.toString())));
}

}  // namespace listctl

using namespace listctl;

// ---- CMyListCtrlView ---------------------------------------------------------------------------

CMyListCtrlView::CMyListCtrlView(MainView* view, QWidget* parent)
    : QAbstractScrollArea(parent),
      view_(view),
      emptyText_(QStringLiteral("오늘은 약속이 없습니다.")),
      press_(new ListPress(this, view, TimerNumber)) {
    setObjectName(QStringLiteral("CMyListCtrlView"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setFont(ui::deviceFont());
    connect(press_, &ListPress::commandRequested, this, &CMyListCtrlView::commandRequested);
    connect(press_, &ListPress::changed, this, [this] {
        dirty_ = true;
        viewport()->update();
    });
}

void CMyListCtrlView::AddRow(const QString& first, const QString& second, const QString& idText) {
    rows_.push_back({first, second, idText});
}

void CMyListCtrlView::ClearRows() {
    rows_.clear();
    layout_ = {};
    pressedRow_ = -1;
}

void CMyListCtrlView::ShowRows() {
    sortRows(rows_);
    layout_ = layoutScrollingRows(rows_, viewport()->height());
    pressedRow_ = -1;
    updateScrollRange();
    dirty_ = true;
    viewport()->update();
}

void CMyListCtrlView::SetEmptyText(const QString& text) {
    emptyText_ = text;
    viewport()->update();
}

void CMyListCtrlView::updateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(kLineHeight);
    bar->setRange(0, rows_.empty() ? 0 : std::max(0, layout_.height - viewport()->height()));
}

void CMyListCtrlView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (!rows_.empty()) layout_ = layoutScrollingRows(rows_, viewport()->height());
    updateScrollRange();
    dirty_ = true;
}

void CMyListCtrlView::scrollContentsBy(int, int) {
    viewport()->update();
}

void CMyListCtrlView::drawSurface() {
    const QSize size = viewport()->size();
    if (surface_.size() != size) surface_ = QImage(size, QImage::Format_RGB32);
    const int top = verticalScrollBar()->value();
    surface_.fill(Qt::white);
    QPainter p(&surface_);
    p.setFont(ui::deviceFont());
    p.translate(0, -top);
    const auto [first, last] = visibleRows(layout_, top, size.height());
    for (int i = first; i < last; ++i) {
        const ScrollRowGeometry& g = layout_.rows[size_t(i)];
        p.setPen(firstLineColour());
        p.drawText(g.first, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                   rows_[size_t(i)].first);
        p.setPen(secondTextColour());
        const QStringList& lines = layout_.text[size_t(i)];
        for (int l = 0; l < lines.size(); ++l) {
            p.drawText(QRect(g.second.left(), g.second.top() + l * kLineHeight, g.second.width(),
                             kLineHeight),
                       Qt::AlignLeft | Qt::AlignTop, lines[l]);
        }
        drawSeparator(p, g.separator);
        if (i == pressedRow_) drawPressFrame(p, g.hit);
    }
    surfaceTop_ = top;
    dirty_ = false;
}

void CMyListCtrlView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    if (rows_.empty()) {
        p.fillRect(viewport()->rect(), Qt::white);
        p.setFont(ui::deviceFont());
        drawEmptyText(p, viewport()->height(), emptyText_);
        return;
    }
    if (dirty_ || surfaceTop_ != verticalScrollBar()->value() ||
        surface_.size() != viewport()->size())
        drawSurface();
    p.drawImage(0, 0, surface_);
}

QImage CMyListCtrlView::renderedImage() {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    render(&image);
    return image;
}

QVariantList CMyListCtrlView::screenParts() const {
    QVariantList parts;
    const QRect view = viewport()->geometry();
    const QPoint offset = view.topLeft() - QPoint(0, verticalScrollBar()->value());
    const size_t count = std::min({rows_.size(), layout_.rows.size(), size_t(kMaxHitRows)});
    for (size_t i = 0; i < count; ++i) {
        const QRect rect = layout_.rows[i].hit.translated(offset) & view;
        if (rect.isEmpty()) continue;
        parts << QVariantMap{{"text", rows_[i].first + QLatin1Char('\t') + rows_[i].second},
                             {"rect", rect}};
    }
    return parts;
}

int CMyListCtrlView::rowAt(const QPoint& viewportPos) const {
    return hitScrollingRow(layout_, viewportPos + QPoint(0, verticalScrollBar()->value()));
}

void CMyListCtrlView::mousePressEvent(QMouseEvent* event) {
    const int row = rowAt(event->position().toPoint());
    pressedRow_ = row;
    std::optional<int> id;
    if (row >= 0) id = rows_[size_t(row)].idText.toInt();
    press_->press(event->position().toPoint(), id, menuSwitch_ == 1);
}

void CMyListCtrlView::mouseMoveEvent(QMouseEvent*) {
    press_->move();
}

void CMyListCtrlView::mouseReleaseEvent(QMouseEvent* event) {
    const int row = rowAt(event->position().toPoint());
    press_->release(row >= 0 && row == pressedRow_);
}

// ---- CAgendaListWnd ----------------------------------------------------------------------------

CAgendaListWnd::CAgendaListWnd(MainView* view, QWidget* parent)
    : QWidget(parent), list_(new CMyListCtrlView(view, this)) {
    setObjectName(QStringLiteral("CAgendaListWnd"));
    setFont(ui::deviceFont());
    connect(list_, &CMyListCtrlView::commandRequested, this, &CAgendaListWnd::commandRequested);
}

void CAgendaListWnd::Create(const QRect& rect, int id) {
    ui::place(this, id, rect);
    show();
}

void CAgendaListWnd::resizeEvent(QResizeEvent*) {
    // The client rectangle with its top 25 pixels down and its right edge one further.
    list_->setGeometry(QRect(QPoint(0, 25), QPoint(width(), height() - 1)));
}

void CAgendaListWnd::SetTitle(const QString& title) {
    title_ = title;
    update();
}

void CAgendaListWnd::AddRow(const QString& first, const QString& second, const QString& idText) {
    list_->AddRow(first, second, idText);
}

void CAgendaListWnd::ClearRows() {
    list_->ClearRows();
}

void CAgendaListWnd::ShowRows() {
    list_->ShowRows();
}

void CAgendaListWnd::SetMenuSwitch(int value) {
    list_->SetMenuSwitch(value);
}

void CAgendaListWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), titleBandColour());
    p.setPen(Qt::black);
    p.drawText(QRect(QPoint(15, 5), QPoint(199, 25)), Qt::AlignLeft | Qt::AlignTop, title_);
}

// ---- CHistroyListCtrlView ----------------------------------------------------------------------

CHistroyListCtrlView::CHistroyListCtrlView(MainView* view, QWidget* parent)
    : QWidget(parent),
      view_(view),
      emptyText_(QStringLiteral("미팅 내역이 없습니다..")),
      surface_(220, 400, QImage::Format_RGB32),
      press_(new ListPress(this, view, TimerNumber)) {
    setObjectName(QStringLiteral("CHistroyListCtrlView"));
    setFont(ui::deviceFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_.fill(Qt::white);
    connect(press_, &ListPress::commandRequested, this, &CHistroyListCtrlView::commandRequested);
    connect(press_, &ListPress::changed, this, [this] { DrawPage(); });
}

void CHistroyListCtrlView::AddRow(const QString& date, const QString& content,
                                  const QString& idText) {
    rows_.push_back({date, content, idText});
}

void CHistroyListCtrlView::ClearRows() {
    rows_.clear();
    layout_ = {};
    pressedRow_ = -1;
}

void CHistroyListCtrlView::SetPage(int pages, int page) {
    pages_ = pages;
    page_ = page;
    pressedRow_ = -1;
}

void CHistroyListCtrlView::DrawPage() {
    layout_ = layoutPage(rows_, page_, listTextWidth);
    surface_.fill(Qt::white);
    QPainter p(&surface_);
    p.setFont(ui::deviceFont());
    for (const PagedRowGeometry& g : layout_.rows) {
        p.setPen(firstLineColour());
        p.drawText(g.first, Qt::AlignLeft | Qt::AlignTop, rows_[size_t(g.row)].first);
        p.setPen(secondTextColour());
        p.drawText(g.second, Qt::AlignLeft | Qt::AlignTop, g.shown);
        if (g.row == pressedRow_) drawPressFrame(p, g.hit);
    }
    for (const QLine& line : layout_.separators) drawSeparator(p, line);
    update();
}

void CHistroyListCtrlView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (rows_.empty()) {
        drawEmptyText(p, height(), emptyText_);
        return;
    }
    p.drawImage(0, 0, surface_);
}

QImage CHistroyListCtrlView::renderedImage() {
    QImage image(size(), QImage::Format_RGB32);
    render(&image);
    return image;
}

void CHistroyListCtrlView::mousePressEvent(QMouseEvent* event) {
    const int row = hitPagedRow(layout_, event->position().toPoint());
    pressedRow_ = row;
    std::optional<int> id;
    if (row >= 0) id = rows_[size_t(row)].idText.toInt();
    // The paged list always takes taps and menus.
    press_->press(event->position().toPoint(), id, true);
}

void CHistroyListCtrlView::mouseMoveEvent(QMouseEvent*) {
    press_->move();
}

void CHistroyListCtrlView::mouseReleaseEvent(QMouseEvent* event) {
    const int row = hitPagedRow(layout_, event->position().toPoint());
    press_->release(row >= 0 && row == pressedRow_);
}
