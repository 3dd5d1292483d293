// Drawing pieces shared by the artwork tables: the device's colours, button faces and labels,
// and the small glyphs the buttons carry.
#pragma once

#include <QColor>
#include <QPainter>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

namespace art {

// One picture: its bitmap number, size and how to draw it onto a transparent image.
struct Picture {
    int id;
    QSize size;
    std::function<void(QPainter&, const QRectF&)> draw;
};
using PictureTable = std::vector<Picture>;

// The program's colours: the blue of its texts, the yellow of its title bands, the grey of
// its separators.
inline const QColor kBlue{0, 114, 188};
inline const QColor kDeepBlue{0, 84, 150};
inline const QColor kYellow{255, 204, 0};
inline const QColor kSeparator{193, 193, 193};
inline const QColor kMuted{115, 115, 115};

enum class Face { Up, Down, Disabled };

QFont font(int pixelSize, bool bold = true);
// The rounded face of a button in state `face`, filling `r`.
void buttonFace(QPainter& p, const QRectF& r, Face face);
// The colour of a label or glyph on a face.
QColor inkOn(Face face);
// `text` centred in `r` (moved one pixel down and right when pressed, as a pressed face does).
void label(QPainter& p, const QRectF& r, const QString& text, Face face, int pixelSize = 12);

using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;
// Up, down and (when `disabled` is not 0) disabled pictures of a labelled button.
void addLabelButton(PictureTable& t, int up, int down, QSize size, const QString& text,
                    int disabled = 0, int pixelSize = 12);
// The same with a glyph in place of the label.
void addGlyphButton(PictureTable& t, int up, int down, QSize size, Glyph glyph);

// Glyphs, each drawn to fit `r` in colour `ink`.
void personGlyph(QPainter& p, const QRectF& r, const QColor& ink);
void calendarGlyph(QPainter& p, const QRectF& r, const QColor& ink);
void triangleGlyph(QPainter& p, const QRectF& r, const QColor& ink, Qt::ArrowType direction);
void crossGlyph(QPainter& p, const QRectF& r, const QColor& ink);
void mapGlyph(QPainter& p, const QRectF& r, const QColor& ink);
void checkGlyph(QPainter& p, const QRectF& r, const QColor& ink);

PictureTable programPictures();
PictureTable todayPictures();

}  // namespace art
