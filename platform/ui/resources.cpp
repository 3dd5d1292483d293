#include "resources.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "artwork/artwork.h"
#include "strings/string_table.h"

namespace ui {

QPixmap loadBitmap(int id) {
    // The artwork is a static library: its resources register only when asked to.
    static const bool registered = (quorinInitArtwork(), true);
    (void)registered;
    QPixmap pixmap;
    pixmap.load(QStringLiteral(":/bitmaps/%1.png").arg(id));
    return pixmap;
}

bool hasBitmap(int id) {
    return !loadBitmap(id).isNull();
}

QString loadString(unsigned id) {
    return QString::fromStdU16String(res::loadString(id));
}

QFont deviceFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // Whole pixels, no hinting differences between hosts: stable pictures of the screens.
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

bool applyDeviceLook(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette = app.style()->standardPalette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    // setColor() above set every group; a greyed command or control must still look greyed.
    const QColor grey(128, 128, 128);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, grey);
    }
    app.setPalette(palette);
    app.setFont(deviceFont());
    return QFontDatabase::families().contains(QStringLiteral("NanumGothic"));
}

}  // namespace ui
