#include "paint.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace art {

QFont font(int pixelSize, bool bold) {
    QFont f(QStringLiteral("NanumGothic"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void buttonFace(QPainter& p, const QRectF& r, Face face) {
    // Half-pixel inset: one-pixel lines fall on whole pixels.
    const QRectF edge = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(edge.topLeft(), edge.bottomLeft());
    QColor border;
    switch (face) {
        case Face::Up:
            fill.setColorAt(0, Qt::white);
            fill.setColorAt(1, QColor(204, 226, 244));
            border = kBlue;
            break;
        case Face::Down:
            fill.setColorAt(0, QColor(0, 104, 178));
            fill.setColorAt(1, QColor(0, 70, 134));
            border = QColor(0, 56, 110);
            break;
        case Face::Disabled:
            fill.setColorAt(0, QColor(242, 242, 242));
            fill.setColorAt(1, QColor(226, 226, 226));
            border = QColor(178, 178, 178);
            break;
    }
    const qreal radius = std::min<qreal>(3, r.height() / 4);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(edge, radius, radius);
}

QColor inkOn(Face face) {
    switch (face) {
        case Face::Up:
            return kDeepBlue;
        case Face::Down:
            return Qt::white;
        case Face::Disabled:
            return QColor(160, 160, 160);
    }
    return Qt::black;
}

void label(QPainter& p, const QRectF& r, const QString& text, Face face, int pixelSize) {
    p.setFont(font(pixelSize));
    p.setPen(inkOn(face));
    const QRectF box = face == Face::Down ? r.translated(1, 1) : r;
    p.drawText(box, Qt::AlignCenter, text);
}

namespace {
constexpr Face kFaces[] = {Face::Up, Face::Down, Face::Disabled};
}

void addLabelButton(PictureTable& t, int up, int down, QSize size, const QString& text,
                    int disabled, int pixelSize) {
    const int ids[] = {up, down, disabled};
    for (int i = 0; i < 3; ++i) {
        if (ids[i] == 0) continue;
        const Face face = kFaces[i];
        t.push_back({ids[i], size, [=](QPainter& p, const QRectF& r) {
                         buttonFace(p, r, face);
                         label(p, r, text, face, pixelSize);
                     }});
    }
}

void addGlyphButton(PictureTable& t, int up, int down, QSize size, Glyph glyph) {
    const int ids[] = {up, down};
    for (int i = 0; i < 2; ++i) {
        const Face face = kFaces[i];
        t.push_back({ids[i], size, [=](QPainter& p, const QRectF& r) {
                         buttonFace(p, r, face);
                         const qreal side = std::min(r.width(), r.height()) - 6;
                         QRectF box(0, 0, side, side);
                         box.moveCenter(r.center());
                         if (face == Face::Down) box.translate(1, 1);
                         glyph(p, box, inkOn(face));
                     }});
    }
}

void personGlyph(QPainter& p, const QRectF& r, const QColor& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const qreal w = r.width(), h = r.height();
    p.drawEllipse(QRectF(r.left() + w * 0.3, r.top(), w * 0.4, h * 0.42));
    QPainterPath body;
    body.moveTo(r.left() + w * 0.08, r.bottom());
    body.cubicTo(r.left() + w * 0.08, r.top() + h * 0.5, r.right() - w * 0.08, r.top() + h * 0.5,
                 r.right() - w * 0.08, r.bottom());
    body.closeSubpath();
    p.drawPath(body);
}

void calendarGlyph(QPainter& p, const QRectF& r, const QColor& ink) {
    const QRectF page = r.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::white);
    p.drawRect(page);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 40, 60));
    p.drawRect(QRectF(page.left(), page.top(), page.width(), page.height() * 0.28));
    // The page stays white on a pressed face, so its days keep a dark ink.
    p.setBrush(ink == QColor(Qt::white) ? kDeepBlue : ink);
    const qreal cell = page.width() / 4;
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.drawRect(QRectF(page.left() + cell * (col + 0.6),
                              page.top() + page.height() * 0.42 + row * page.height() * 0.28,
                              cell * 0.6, cell * 0.6));
        }
    }
}

void triangleGlyph(QPainter& p, const QRectF& r, const QColor& ink, Qt::ArrowType direction) {
    const QRectF b =
        r.adjusted(r.width() * 0.2, r.height() * 0.15, -r.width() * 0.2, -r.height() * 0.15);
    QPolygonF tri;
    switch (direction) {
        case Qt::LeftArrow:
            tri << QPointF(b.right(), b.top()) << QPointF(b.left(), b.center().y())
                << QPointF(b.right(), b.bottom());
            break;
        case Qt::RightArrow:
            tri << b.topLeft() << QPointF(b.right(), b.center().y()) << b.bottomLeft();
            break;
        case Qt::UpArrow:
            tri << b.bottomLeft() << QPointF(b.center().x(), b.top()) << b.bottomRight();
            break;
        default:
            tri << b.topLeft() << b.topRight() << QPointF(b.center().x(), b.bottom());
            break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(tri);
}

void crossGlyph(QPainter& p, const QRectF& r, const QColor& ink) {
    p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void mapGlyph(QPainter& p, const QRectF& r, const QColor& ink) {
    // A folded map: three panels with a route across them.
    const qreal w = r.width() / 3;
    QPolygonF outline;
    outline << r.topLeft() << QPointF(r.left() + w, r.top() + 2)
            << QPointF(r.left() + 2 * w, r.top()) << r.topRight() << r.bottomRight()
            << QPointF(r.left() + 2 * w, r.bottom() - 2) << QPointF(r.left() + w, r.bottom())
            << r.bottomLeft();
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(outline);
    p.drawLine(QPointF(r.left() + w, r.top() + 2), QPointF(r.left() + w, r.bottom()));
    p.drawLine(QPointF(r.left() + 2 * w, r.top()), QPointF(r.left() + 2 * w, r.bottom() - 2));
}

void checkGlyph(QPainter& p, const QRectF& r, const QColor& ink) {
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPolygonF tick;
    tick << QPointF(r.left() + r.width() * 0.15, r.top() + r.height() * 0.55)
         << QPointF(r.left() + r.width() * 0.42, r.bottom() - r.height() * 0.15)
         << QPointF(r.right() - r.width() * 0.1, r.top() + r.height() * 0.15);
    p.drawPolyline(tick);
}

}  // namespace art
