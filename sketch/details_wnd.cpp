#include "sketch/details_wnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <limits>

#include "shell/message_box.h"
#include "sketch/dib_image.h"
#include "sketch/jpeg_codec.h"
#include "sketch/sketch_paths.h"
#include "store/record_store.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace sketch {
namespace {

constexpr QRect kDetailsRect{QPoint(30, 20), QPoint(199, 223)};
constexpr QRect kPopRect{QPoint(0, 30), QPoint(167, 201)};

}  // namespace

// ---- CPop ----

CPop::CPop(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFont(ui::deviceFont());
    viewport()->setFont(ui::deviceFont());
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CPop::Show(CRecordStore& store, DetailKind kind, int id) {
    RecordImage record{};
    if (!ReadShownRecord(store, kind, id, record)) return false;
    ShowText(DetailsOf(kind, record));
    return true;
}

void CPop::ShowText(const DetailText& text) {
    text_ = text;
    if (text_.kind == DetailKind::Appointment && text_.hasSketch) emit hasSketch();
    viewport()->update();
}

QSize CPop::textExtent() const {
    const QFontMetrics fm(viewport()->font());
    return DetailTextExtent(text_, fm.maxWidth(), fm.height(), viewport()->height());
}

void CPop::SetScrollSizes(int width, int height) {
    extent_ = width == 0 && height == 0 ? textExtent() : QSize(width, height);
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, extent_.width() - client.width()));
    verticalScrollBar()->setRange(0, std::max(0, extent_.height() - client.height()));
    horizontalScrollBar()->setPageStep(client.width());
    verticalScrollBar()->setPageStep(client.height());
    horizontalScrollBar()->setSingleStep(std::max(1, client.width() / 10));
    verticalScrollBar()->setSingleStep(std::max(1, client.height() / 10));
}

QPoint CPop::scrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

bool CPop::ShowSketch() {
    QImage image;
    bool read = false;
    // A record that names no file, or a file that is gone, cannot be shown either.
    if (!text_.sketchName.isEmpty()) {
        const QString path = SketchPath(text_.sketchName);
        const std::filesystem::path host = HostPath(path);
        if (ReadsAsJpeg(path)) {
            const JpegOutcome outcome = ReadJpeg(host, image, DctMethod::LibraryDefault);
            ShowJpegMessages(this, outcome.messages);
            read = outcome.result == 1;
        } else {
            CDibImage dib;
            if (dib.ReadBMP(host)) image = dib.toImage();
            read = !image.isNull();
        }
    }
    if (!read) {
        shell::messageBox(this, QStringLiteral("파일을 읽어오는데 실패했습니다.."), {},
                          shell::MB_OK | shell::MB_ICONSTOP);
        return false;
    }
    picture_ = std::move(image);
    mode_ = PictureMode;
    SetScrollSizes(picture_.width(), picture_.height());
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    return true;
}

void CPop::ShowTextMode() {
    picture_ = QImage();
    mode_ = TextMode;
    SetScrollSizes(0, 0);
    viewport()->update();
}

void CPop::Draw(QPainter& p) {
    const QPoint scroll = scrollPosition();
    p.fillRect(QRect(QPoint(0, 0), viewport()->size()), Qt::white);
    if (mode_ == PictureMode) {
        p.drawImage(-scroll, picture_);
        return;
    }
    p.setFont(viewport()->font());
    const int h = QFontMetrics(viewport()->font()).height();
    const int width = viewport()->width();
    const int flags = Qt::AlignLeft | Qt::AlignTop;
    for (int i = 0; i < text_.labels.size() && i < text_.values.size(); ++i) {
        p.setPen(Qt::black);
        p.drawText(DetailRowRect(text_, i, true, width, h).translated(-scroll), flags, text_.labels[i]);
        p.setPen(QColor(129, 129, 129));
        p.drawText(DetailRowRect(text_, i, false, width, h).translated(-scroll), flags, text_.values[i]);
    }
}

void CPop::Render(QImage& target) {
    target = QImage(viewport()->size(), QImage::Format_RGB32);
    QPainter p(&target);
    Draw(p);
}

void CPop::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    Draw(p);
}

void CPop::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && mode_ == PictureMode)
        dragStart_ = event->position().toPoint();
}

void CPop::mouseMoveEvent(QMouseEvent* event) {
    if (mode_ != PictureMode || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    // The picture follows the pen.
    horizontalScrollBar()->setValue(dragStart_.x() - at.x() + horizontalScrollBar()->value());
    verticalScrollBar()->setValue(dragStart_.y() - at.y() + verticalScrollBar()->value());
    dragStart_ = at;
    viewport()->update();
}

void CPop::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && mode_ == TextMode) emit closeRequested();
}

// ---- CDetailsWnd ----

CDetailsWnd::CDetailsWnd(int kind, QWidget* parent) : QFrame(parent), kind_(kind) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setGeometry(kDetailsRect);
    pop_ = new CPop(this);
    pop_->setGeometry(kPopRect);
    connect(pop_, &CPop::hasSketch, this, &CDetailsWnd::OnHasSketch);
    connect(pop_, &CPop::closeRequested, this, &CDetailsWnd::OnClose);
    close_ = ui::addControl<ui::BitmapButton>(this, CloseButton, QRect(150, 10, 8, 13));
    close_->loadBitmaps(199, 198);
    close_->sizeToContent();
    connect(close_, &QAbstractButton::clicked, this, &CDetailsWnd::OnClose);
}

bool CDetailsWnd::Create(CRecordStore& store, int id) {
    const DetailKind kind = kind_ == PersonDetails        ? DetailKind::Person
                            : kind_ == AppointmentDetails ? DetailKind::Appointment
                                                          : DetailKind::Anniversary;
    if (!pop_->Show(store, kind, id)) return false;
    pop_->SetScrollSizes(0, 0);
    return true;
}

QString CDetailsWnd::title() const {
    switch (kind_) {
        case PersonDetails: return QStringLiteral("사람 자세히 보기");
        case AppointmentDetails: return QStringLiteral("약속 자세히 보기");
        default: return QStringLiteral("기념일 자세히 보기");
    }
}

void CDetailsWnd::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setFont(ui::deviceFont(12, true));
    p.setPen(Qt::black);
    const QRect titleRect = kind_ == AnniversaryDetails ? QRect(QPoint(5, 7), QPoint(109, 29))
                                                        : QRect(QPoint(10, 7), QPoint(109, 29));
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignTop, title());
    p.setPen(QColor(193, 193, 193));
    p.drawLine(0, 29, 200, 29);
}

void CDetailsWnd::OnHasSketch() {
    if (sketch_) return;
    sketch_ = ui::addControl<ui::BitmapButton>(this, SketchButton, QRect(105, 8, 22, 12));
    sketch_->setText(QStringLiteral("sketch"));
    sketch_->loadBitmaps(258, 259);
    sketch_->sizeToContent();
    sketch_->show();
    connect(sketch_, &QAbstractButton::clicked, this, &CDetailsWnd::OnSketch);
}

void CDetailsWnd::OnSketch() {
    if (pop_->mode() == CPop::TextMode) {
        pop_->ShowSketch();
    } else {
        pop_->ShowTextMode();
    }
}

void CDetailsWnd::OnClose() {
    hide();
    deleteLater();
}

namespace {

CDetailsWnd* open(MainView& view, QWidget* parent, int kind, int id) {
    if (!parent) parent = view.viewWidget();
    const QList<CDetailsWnd*> shown = parent->findChildren<CDetailsWnd*>(Qt::FindDirectChildrenOnly);
    auto* wnd = new CDetailsWnd(kind, parent);
    if (!wnd->Create(view.store(), id)) {
        delete wnd;
        shell::messageBox(parent, ui::loadString(res::IDS_NOT_A_PERSON));
        return nullptr;
    }
    // One popup at a time over a window.
    for (CDetailsWnd* old : shown) {
        old->hide();
        old->deleteLater();
    }
    wnd->show();
    wnd->raise();
    return wnd;
}

}  // namespace

CDetailsWnd* ShowPersonDetails(MainView& view, QWidget* parent, int personId) {
    return open(view, parent, CDetailsWnd::PersonDetails, personId);
}

CDetailsWnd* ShowItemDetails(MainView& view, QWidget* parent, int itemId) {
    // A schedule list holds an anniversary as its key negated.
    if (itemId < 0) {
        return open(view, parent, CDetailsWnd::AnniversaryDetails,
                    itemId == std::numeric_limits<int>::min() ? 0 : -itemId);
    }
    return open(view, parent, CDetailsWnd::AppointmentDetails, itemId);
}

}  // namespace sketch
