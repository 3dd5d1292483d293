// The details popup: a bordered window over the main view with a title, a close button and
// the text area CPop, which lists one record's labels and values, read-only. For an
// appointment with a sketch a "sketch" button switches the text area to the picture, which
// the pen pans; a tap on the text closes the popup.
#pragma once

#include <QAbstractScrollArea>
#include <QFrame>
#include <QImage>

#include "sketch/details_text.h"

class MainView;
class CRecordStore;

namespace ui {
class BitmapButton;
}

namespace sketch {

// CPop tells the details window that the appointment has a sketch.
inline constexpr int WM_HAS_SKETCH = 0x05F5;

class CPop : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum Mode { TextMode = 0, PictureMode = 1 };

    explicit CPop(QWidget* parent = nullptr);

    // Fills the labels and values of record `id` of `kind` (a person's identifier, an event's
    // key). False, and nothing shown, when there is no such record.
    bool Show(CRecordStore& store, DetailKind kind, int id);
    // Shows `text` as read from a record.
    void ShowText(const DetailText& text);
    // The scroll extent; with (0, 0) the text's own extent.
    void SetScrollSizes(int width, int height);

    // Loads the appointment's sketch and shows it; false (a message shown, the text kept) when
    // it cannot be read.
    bool ShowSketch();
    // Back to the text, the picture freed.
    void ShowTextMode();

    Mode mode() const { return mode_; }
    const DetailText& text() const { return text_; }
    const QImage& picture() const { return picture_; }
    QSize textExtent() const;
    QPoint scrollPosition() const;
    // The text area's drawing, for tests.
    void Render(QImage& target);

signals:
    // WM_HAS_SKETCH
    void hasSketch();
    // A tap on the text: the details window closes (its command 234).
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Draw(QPainter& p);

    DetailText text_;
    Mode mode_ = TextMode;
    QPoint dragStart_;
    QImage picture_;
    QSize extent_;
};

// The outer popup: kind 100 person, 200 appointment, 300 anniversary.
class CDetailsWnd : public QFrame {
    Q_OBJECT
public:
    static constexpr int PersonDetails = 100;
    static constexpr int AppointmentDetails = 200;
    static constexpr int AnniversaryDetails = 300;
    static constexpr int CloseButton = 234;
    static constexpr int SketchButton = 235;

    CDetailsWnd(int kind, QWidget* parent);

    // Shows record `id` in the text area; false when it cannot be shown.
    bool Create(CRecordStore& store, int id);
    int kind() const { return kind_; }
    CPop* pop() const { return pop_; }
    ui::BitmapButton* sketchButton() const { return sketch_; }
    QString title() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnHasSketch();
    void OnSketch();
    void OnClose();

    int kind_;
    CPop* pop_;
    ui::BitmapButton* close_;
    ui::BitmapButton* sketch_ = nullptr;
};

// Opens the popup over `parent` for a person (`personId`), or for a schedule item (an
// appointment's key, or an anniversary's key negated). A row that is no record, or a record
// that cannot be read, gets message 61220 and no popup. Returns the popup, or nullptr.
CDetailsWnd* ShowPersonDetails(MainView& view, QWidget* parent, int personId);
CDetailsWnd* ShowItemDetails(MainView& view, QWidget* parent, int itemId);

}  // namespace sketch
