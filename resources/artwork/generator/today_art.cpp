// The Today item's bitmaps, kept apart: the item is its own library.
#include "paint.h"

namespace art {

PictureTable todayPictures() {
    PictureTable t;
    // The item's icon: a person on the program's blue, with the yellow of its title bands.
    t.push_back({101, {19, 19}, [](QPainter& p, const QRectF& r) {
                     p.setPen(Qt::NoPen);
                     p.setBrush(kBlue);
                     p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
                     personGlyph(p, QRectF(3, 4, 11, 12), Qt::white);
                     p.setBrush(kYellow);
                     p.drawEllipse(QRectF(12, 2, 5, 5));
                 }});
    return t;
}

}  // namespace art
