// CSketchDrawWnd: the 640 x 480 drawing surface of a rough sketch, kept off screen and shown
// scrolled in its window. The pen draws 1-pixel black lines, the eraser 10-pixel white ones,
// the text tool writes a short line where it was clicked; all of it goes into the picture,
// which is the picture last loaded from a file (or the white canvas).
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

#include "sketch/dib_image.h"
#include "sketch/sketch_paths.h"

class QLineEdit;

namespace sketch {

// The canvas tells its dialog the format of a loaded file (wParam 1 BMP, 2 JPEG).
inline constexpr int WM_SKETCH_FORMAT = 0x0591;

enum class SketchTool : int { None = 0, Pen = 1, Text = 2, Eraser = 3 };

class CSketchDrawWnd : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int WindowId = 115;
    static constexpr int TextEdit = 1111;
    static constexpr int kCanvasWidth = 640;
    static constexpr int kCanvasHeight = 480;
    static constexpr int kMaxText = 49;

    explicit CSketchDrawWnd(QWidget* parent = nullptr);
    ~CSketchDrawWnd() override;

    // A white 640 x 480 canvas and its scroll sizes (page: 8/10 of the window).
    void InitCanvas();
    void SetTool(SketchTool tool) { tool_ = tool; }
    SketchTool tool() const { return tool_; }

    // Loads a picture file (device path) by the format its name gives. On success the picture
    // replaces the canvas and sketchFormat() tells its format; on failure the library's and
    // the canvas's messages are shown and the canvas keeps what it had.
    bool LoadImageFile(const QString& devicePath);
    // Saves the canvas to `devicePath` as `format` (Bmp: in the depth of the BMP last loaded,
    // else 24 bits; Jpeg: quality 99). The old file is replaced only by a complete new one.
    // False when anything failed; the JPEG library's messages have then been shown.
    bool SaveImageFile(const QString& devicePath, SketchFormat format);

    // The picture as drawn so far.
    const QImage& picture() const { return picture_; }
    const CDibImage& dib() const { return dib_; }
    // A canvas point of a point in the window (the scroll position added).
    QPoint toCanvas(const QPoint& viewportPoint) const;
    QLineEdit* textEdit() const { return edit_; }
    bool isTextOpen() const { return textOpen_; }
    // The text last drawn by the text tool.
    const QString& lastText() const { return text_; }

signals:
    // WM_SKETCH_FORMAT
    void sketchFormat(int format);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateScrollSizes();
    void DrawSegment(const QPoint& to);
    void OpenText(const QPoint& viewportPoint);
    void CommitText();

    SketchTool tool_ = SketchTool::None;
    QImage picture_;
    CDibImage dib_;  // the BMP last loaded, whose depth a BMP save keeps
    QPoint lastPoint_;
    bool capture_ = false;
    QLineEdit* edit_ = nullptr;
    QPoint textPoint_;
    bool textOpen_ = false;
    QString text_;
};

}  // namespace sketch
