// The program's bitmaps.
#include <QLinearGradient>
#include <QPainterPath>

#include "paint.h"

namespace art {
namespace {

// The application-menu button of the dialog bar: the program's mark and a drop arrow.
void menuGlyph(QPainter& p, const QRectF& r, const QColor& ink) {
    const QRectF disk(r.left() - 3, r.top(), r.height(), r.height());
    p.setPen(QPen(ink, 1));
    p.setBrush(kYellow);
    p.drawEllipse(disk.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setFont(font(int(r.height()) - 3));
    p.setPen(kDeepBlue);
    p.drawText(disk, Qt::AlignCenter, QStringLiteral("Q"));
    triangleGlyph(p, QRectF(disk.right() + 1, r.center().y() - 3, 8, 6), ink, Qt::DownArrow);
}

// The button that brings the system's task bar back: a screen whose top strip comes down.
void taskBarGlyph(QPainter& p, const QRectF& r, const QColor& ink) {
    const QRectF screen = r.adjusted(1.5, 0.5, -1.5, -0.5);
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(screen);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRect(QRectF(screen.left(), screen.top(), screen.width(), 3));
    triangleGlyph(p, QRectF(screen.left() + 2, screen.top() + 5, screen.width() - 4, 7), ink,
                  Qt::DownArrow);
}

// Two people: the group rows of the people lists.
void groupGlyph(QPainter& p, const QRectF& r) {
    personGlyph(p, QRectF(r.left() + r.width() * 0.35, r.top(), r.width() * 0.65, r.height() * 0.8),
                QColor(230, 150, 0));
    personGlyph(p,
                QRectF(r.left(), r.top() + r.height() * 0.25, r.width() * 0.7, r.height() * 0.75),
                kBlue);
}

void heart(QPainter& p, const QRectF& r, const QColor& c) {
    QPainterPath path;
    const qreal w = r.width(), h = r.height();
    path.moveTo(r.left() + w / 2, r.bottom());
    path.cubicTo(r.left(), r.top() + h * 0.6, r.left(), r.top(), r.left() + w / 2,
                 r.top() + h * 0.3);
    path.cubicTo(r.right(), r.top(), r.right(), r.top() + h * 0.6, r.left() + w / 2, r.bottom());
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path);
}

// The background of one page of the two-tab main screen, painted at (-1, -2) of the tab
// window: both tabs with the chosen one in front, and the frame of the page below them.
void tabPage(QPainter& p, const QRectF& r, int chosen) {
    p.fillRect(r, Qt::white);
    const qreal top = 2, strip = 31;  // in window coordinates, +2 in the picture
    p.fillRect(QRectF(0, 0, r.width(), strip + top), QColor(226, 236, 246));
    const QString names[] = {QStringLiteral("사람"), QStringLiteral("날짜")};
    for (int tab = 0; tab < 2; ++tab) {
        const bool front = tab == chosen;
        QRectF box(1 + tab * 120 + 1.5, top + (front ? 2.5 : 5.5), 117, strip - (front ? 2 : 5));
        QPainterPath shape;
        shape.moveTo(box.bottomLeft());
        shape.lineTo(box.left(), box.top() + 4);
        shape.quadTo(box.topLeft(), QPointF(box.left() + 4, box.top()));
        shape.lineTo(box.right() - 4, box.top());
        shape.quadTo(box.topRight(), QPointF(box.right(), box.top() + 4));
        shape.lineTo(box.bottomRight());
        p.setPen(QPen(front ? kBlue : kSeparator, 1));
        p.setBrush(front ? QColor(Qt::white) : QColor(240, 240, 240));
        p.drawPath(shape);
        const QColor ink = front ? kDeepBlue : kMuted;
        QRectF icon(box.center().x() - 24, box.center().y() - 6, 12, 12);
        if (tab == 0) {
            personGlyph(p, icon, ink);
        } else {
            calendarGlyph(p, icon, ink);
        }
        p.setFont(font(13, front));
        p.setPen(ink);
        p.drawText(QRectF(icon.right() + 4, box.top(), 40, box.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, names[tab]);
    }
    // The page frame, open under the front tab.
    const qreal y = top + strip + 0.5;
    p.setPen(QPen(kBlue, 1));
    const qreal gapLeft = 1 + chosen * 120 + 1.5, gapRight = gapLeft + 117;
    p.drawLine(QPointF(1.5, y), QPointF(gapLeft, y));
    p.drawLine(QPointF(gapRight, y), QPointF(r.width() - 0.5, y));
    p.drawLine(QPointF(1.5, y), QPointF(1.5, r.height() - 0.5));
    p.drawLine(QPointF(r.width() - 0.5, y), QPointF(r.width() - 0.5, r.height() - 0.5));
    p.drawLine(QPointF(1.5, r.height() - 0.5), QPointF(r.width() - 0.5, r.height() - 0.5));
}

void toolIcon(QPainter& p, const QRectF& r, const std::function<void(const QRectF&)>& glyph) {
    p.fillRect(r, Qt::white);
    p.setPen(QPen(kSeparator, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    glyph(r.adjusted(4, 4, -4, -4));
}

}  // namespace

PictureTable programPictures() {
    PictureTable t;

    // Dialog bar: its fill (tiled across 240 x 26) and its two buttons.
    t.push_back({165, {8, 26}, [](QPainter& p, const QRectF& r) {
                     QLinearGradient g(0, 0, 0, r.height());
                     g.setColorAt(0, QColor(238, 245, 251));
                     g.setColorAt(1, QColor(190, 214, 234));
                     p.fillRect(r, g);
                     p.fillRect(QRectF(0, r.height() - 1, r.width(), 1), kBlue);
                 }});
    addGlyphButton(t, 162, 168, {30, 22}, menuGlyph);
    addGlyphButton(t, 253, 254, {24, 22}, taskBarGlyph);

    // Labelled buttons of the editors and dialogs (up, down).
    // The editors' Done and the picker's Cancel close without storing: they read so.
    addLabelButton(t, 179, 180, {40, 20}, QStringLiteral("닫기"));
    addLabelButton(t, 181, 182, {40, 20}, QStringLiteral("삭제"));
    addLabelButton(t, 183, 184, {40, 20}, QStringLiteral("편집"));
    addLabelButton(t, 186, 185, {40, 20}, QStringLiteral("목록"));
    addLabelButton(t, 187, 188, {40, 20}, QStringLiteral("추가"));
    addLabelButton(t, 189, 190, {40, 20}, QStringLiteral("저장"));
    addLabelButton(t, 191, 192, {40, 20}, QStringLiteral("선택"));
    addLabelButton(t, 195, 196, {40, 20}, QStringLiteral("닫기"));
    addLabelButton(t, 201, 200, {40, 20}, QStringLiteral("닫기"));
    addLabelButton(t, 159, 222, {40, 20}, QStringLiteral("그룹"));
    addLabelButton(t, 210, 211, {54, 20}, QStringLiteral("새 약속"));
    addLabelButton(t, 213, 218, {40, 20}, QStringLiteral("참석자"), 0, 11);
    addLabelButton(t, 215, 219, {40, 20}, QStringLiteral("첨부"));
    addLabelButton(t, 223, 224, {26, 20}, QStringLiteral("확인"), 0, 11);
    addLabelButton(t, 228, 229, {80, 20}, QStringLiteral("사람 추가"));
    addLabelButton(t, 264, 265, {50, 20}, QStringLiteral("기념일"), 266);
    addLabelButton(t, 207, 208, {32, 18}, QStringLiteral("오늘"), 0, 11);

    // Small glyph buttons.
    addGlyphButton(t, 199, 198, {12, 12}, [](QPainter& p, const QRectF& r, const QColor& ink) {
        crossGlyph(p, r.adjusted(1, 1, -1, -1), ink);
    });
    // The month bar's arrows are narrow: each has a 10-pixel place in the 210-pixel bar. The
    // glyph gets the face's height, not the square a glyph button gives.
    addGlyphButton(t, 205, 206, {10, 18}, [](QPainter& p, const QRectF& r, const QColor& ink) {
        triangleGlyph(p, r.adjusted(-1, -4, 1, 4), ink, Qt::LeftArrow);
    });
    addGlyphButton(t, 203, 204, {10, 18}, [](QPainter& p, const QRectF& r, const QColor& ink) {
        triangleGlyph(p, r.adjusted(-1, -4, 1, 4), ink, Qt::RightArrow);
    });
    addGlyphButton(t, 256, 257, {20, 20}, calendarGlyph);
    addGlyphButton(t, 258, 259, {22, 13}, [](QPainter& p, const QRectF& r, const QColor& ink) {
        mapGlyph(p, r.adjusted(-4, 0, 4, 0), ink);
    });

    // People lists: person and group images (16 x 16 each), the picker's two captions.
    t.push_back({232, {32, 16}, [](QPainter& p, const QRectF&) {
                     personGlyph(p, QRectF(2, 1, 12, 14), kBlue);
                     groupGlyph(p, QRectF(16, 1, 16, 15));
                 }});
    t.push_back({240, {84, 10}, [](QPainter& p, const QRectF& r) {
                     p.setFont(font(10));
                     p.setPen(kDeepBlue);
                     p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("이름 찾기"));
                 }});
    t.push_back({243, {84, 16}, [](QPainter& p, const QRectF& r) {
                     const QRectF box(0.5, 2.5, 11, 11);
                     p.setPen(QPen(kMuted, 1));
                     p.setBrush(Qt::white);
                     p.drawRect(box);
                     checkGlyph(p, box.adjusted(1.5, 1.5, -1.5, -1.5), kBlue);
                     p.setFont(font(11, false));
                     p.setPen(kMuted);
                     p.drawText(r.adjusted(15, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                                QStringLiteral("체크하여 선택"));
                 }});

    // The main screen's two tab pages.
    t.push_back({246, {241, 262}, [](QPainter& p, const QRectF& r) { tabPage(p, r, 0); }});
    t.push_back({247, {241, 262}, [](QPainter& p, const QRectF& r) { tabPage(p, r, 1); }});

    // Month calendar marks; they sit under a day's number inside its 30 x 25 cell.
    t.push_back({163, {9, 9}, [](QPainter& p, const QRectF& r) {
                     p.setPen(Qt::NoPen);
                     p.setBrush(kBlue);
                     p.drawEllipse(r.adjusted(1, 1, -1, -1));
                     p.setBrush(QColor(255, 255, 255, 160));
                     p.drawEllipse(QRectF(2.5, 2.5, 2.5, 2.5));
                 }});
    t.push_back({261, {10, 9}, [](QPainter& p, const QRectF& r) {
                     heart(p, r.adjusted(0.5, 0.5, -0.5, -0.5), QColor(220, 40, 60));
                 }});

    // The day's agenda heading.
    t.push_back({197, {200, 28}, [](QPainter& p, const QRectF& r) {
                     p.setPen(Qt::NoPen);
                     p.setBrush(kYellow);
                     p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
                     calendarGlyph(p, QRectF(10, 6, 16, 16), kDeepBlue);
                     p.setFont(font(14));
                     p.setPen(QColor(60, 40, 0));
                     p.drawText(r.adjusted(34, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                                QStringLiteral("오늘의 약속"));
                 }});

    // Sketch tools: text, pen, eraser, and the caption in front of them.
    t.push_back({233, {24, 24}, [](QPainter& p, const QRectF& r) {
                     toolIcon(p, r, [&](const QRectF& g) {
                         p.setFont(font(15));
                         p.setPen(kDeepBlue);
                         p.drawText(g.adjusted(-2, -2, 2, 2), Qt::AlignCenter,
                                    QStringLiteral("가"));
                     });
                 }});
    t.push_back({235, {24, 24}, [](QPainter& p, const QRectF& r) {
                     toolIcon(p, r, [&](const QRectF& g) {
                         p.setPen(QPen(kDeepBlue, 3, Qt::SolidLine, Qt::FlatCap));
                         p.drawLine(QPointF(g.right() - 2, g.top() + 2),
                                    QPointF(g.left() + 4, g.bottom() - 4));
                         p.setPen(QPen(Qt::black, 1.2));
                         p.drawLine(QPointF(g.left() + 4, g.bottom() - 4),
                                    QPointF(g.left() + 1, g.bottom() - 1));
                     });
                 }});
    t.push_back({237, {24, 24}, [](QPainter& p, const QRectF& r) {
                     toolIcon(p, r, [&](const QRectF& g) {
                         p.save();
                         p.translate(g.center());
                         p.rotate(-40);
                         p.setPen(QPen(kMuted, 1));
                         p.setBrush(QColor(246, 160, 170));
                         p.drawRect(QRectF(-8, -4, 16, 8));
                         p.setBrush(Qt::white);
                         p.drawRect(QRectF(-8, -4, 5, 8));
                         p.restore();
                     });
                 }});
    t.push_back({239, {30, 24}, [](QPainter& p, const QRectF& r) {
                     p.setFont(font(12));
                     p.setPen(kDeepBlue);
                     p.drawText(r.adjusted(0, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter,
                                QStringLiteral("도구"));
                     triangleGlyph(p, QRectF(r.right() - 7, r.center().y() - 4, 6, 8), kBlue,
                                   Qt::RightArrow);
                 }});
    return t;
}

}  // namespace art
