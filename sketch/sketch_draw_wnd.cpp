#include "sketch/sketch_draw_wnd.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "shell/message_box.h"
#include "sketch/jpeg_codec.h"
#include "ui/controls.h"
#include "ui/input_panel.h"
#include "ui/resources.h"

namespace sketch {

CSketchDrawWnd::CSketchDrawWnd(QWidget* parent) : QAbstractScrollArea(parent) {
    ui::setControlId(this, WindowId);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    // Strokes repaint by one copy of the picture; nothing is erased first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(false);
}

CSketchDrawWnd::~CSketchDrawWnd() {
    if (textOpen_) qApp->removeEventFilter(this);
}

void CSketchDrawWnd::InitCanvas() {
    picture_ = QImage(kCanvasWidth, kCanvasHeight, QImage::Format_RGB32);
    picture_.fill(Qt::white);
    dib_.Clear();
    UpdateScrollSizes();
    viewport()->update();
}

void CSketchDrawWnd::UpdateScrollSizes() {
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, kCanvasWidth - client.width()));
    verticalScrollBar()->setRange(0, std::max(0, kCanvasHeight - client.height()));
    horizontalScrollBar()->setPageStep(client.width() * 8 / 10);
    verticalScrollBar()->setPageStep(client.height() * 8 / 10);
}

void CSketchDrawWnd::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollSizes();
}

QPoint CSketchDrawWnd::toCanvas(const QPoint& p) const {
    return p + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

bool CSketchDrawWnd::LoadImageFile(const QString& devicePath) {
    const std::filesystem::path host = HostPath(devicePath);
    if (ReadsAsJpeg(devicePath)) {
        QImage image;
        const JpegOutcome outcome = ReadJpeg(host, image, DctMethod::Fast);
        ShowJpegMessages(this, outcome.messages);
        if (outcome.result != 1) {
            shell::messageBox(this, QStringLiteral("JPEG 파일을 읽는데 실패했습니다."));
            return false;
        }
        picture_ = std::move(image);
        dib_.Clear();
        emit sketchFormat(int(SketchFormat::Jpeg));
    } else {
        CDibImage dib;
        QImage image;
        if (dib.ReadBMP(host)) image = dib.toImage();
        if (image.isNull()) {
            shell::messageBox(this, QStringLiteral("BMP 파일을 읽는데 실패했습니다."));
            return false;
        }
        dib_ = std::move(dib);
        picture_ = std::move(image);
        emit sketchFormat(int(SketchFormat::Bmp));
    }
    viewport()->update();
    return true;
}

bool CSketchDrawWnd::SaveImageFile(const QString& devicePath, SketchFormat format) {
    const std::filesystem::path host = HostPath(devicePath);
    if (format == SketchFormat::Bmp) {
        // A picture read from a BMP keeps its depth and colours; any other is written in 24 bits.
        if (dib_.isEmpty() || dib_.width() != picture_.width() ||
            dib_.height() != picture_.height()) {
            CDibImage fresh;
            if (!fresh.CreateFromImage(picture_)) return false;
            return fresh.WriteBMP(host);
        }
        dib_.updateFrom(picture_);
        return dib_.WriteBMP(host);
    }
    const JpegOutcome outcome = WriteJpeg(host, picture_);
    ShowJpegMessages(this, outcome.messages);
    return outcome.result == 1;
}

void CSketchDrawWnd::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QRect canvas(-scroll, QSize(kCanvasWidth, kCanvasHeight));
    p.fillRect(viewport()->rect(), Qt::white);
    p.setClipRect(canvas);
    p.drawImage(canvas.topLeft(), picture_);
}

void CSketchDrawWnd::DrawSegment(const QPoint& to) {
    if (tool_ != SketchTool::Pen && tool_ != SketchTool::Eraser) return;
    {
        QPainter p(&picture_);
        if (tool_ == SketchTool::Pen) {
            p.setPen(QPen(Qt::black, 1));
        } else {
            p.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
        p.drawLine(lastPoint_, to);
    }
    lastPoint_ = to;
    viewport()->update();
}

void CSketchDrawWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    switch (tool_) {
        case SketchTool::Pen:
        case SketchTool::Eraser:
            // The press grabs the mouse: a stroke goes on outside the window while held.
            capture_ = true;
            lastPoint_ = toCanvas(at);
            break;
        case SketchTool::Text:
            OpenText(at);
            break;
        case SketchTool::None:
            break;
    }
}

void CSketchDrawWnd::mouseMoveEvent(QMouseEvent* event) {
    if (capture_ && (event->buttons() & Qt::LeftButton))
        DrawSegment(toCanvas(event->position().toPoint()));
}

void CSketchDrawWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (!capture_ || event->button() != Qt::LeftButton) return;
    DrawSegment(toCanvas(event->position().toPoint()));
    capture_ = false;
}

void CSketchDrawWnd::OpenText(const QPoint& at) {
    if (!edit_) {
        if (at.x() >= kCanvasWidth || at.y() >= kCanvasHeight) return;
        edit_ = new QLineEdit(viewport());
        ui::setControlId(edit_, TextEdit);
        edit_->setFrame(true);
        edit_->setFont(ui::deviceFont());
        edit_->resize(120, 18);
        edit_->hide();
    }
    edit_->setGeometry(at.x(), at.y() - 9, 100, 18);
    textPoint_ = toCanvas(at);
    edit_->show();
    edit_->setFocus();
    if (!textOpen_) qApp->installEventFilter(this);
    textOpen_ = true;
}

bool CSketchDrawWnd::eventFilter(QObject* watched, QEvent* event) {
    // A press anywhere but on the text being typed ends the typing and draws the text. The
    // input panel is how the text is typed: its keys are no press elsewhere.
    if (textOpen_ && event->type() == QEvent::MouseButtonPress && watched->isWidgetType() &&
        watched != edit_ && !ui::InputPanel::isPanelObject(watched) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        CommitText();
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CSketchDrawWnd::CommitText() {
    // The syllable still being composed on the panel belongs to the text.
    ui::InputPanel::commitPending();
    qApp->removeEventFilter(this);
    textOpen_ = false;
    edit_->hide();
    text_ = edit_->text().left(kMaxText);
    edit_->clear();
    {
        QPainter p(&picture_);
        p.setFont(ui::deviceFont());
        p.setPen(Qt::black);
        const QRect box(textPoint_.x(), textPoint_.y() - 9, 100, 18);
        p.setClipRect(box);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text_);
    }
    viewport()->update();
}

}  // namespace sketch
