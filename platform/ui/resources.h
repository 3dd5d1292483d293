// The program's resources by number, and the device's look.
#pragma once

#include <QFont>
#include <QPixmap>
#include <QString>

class QApplication;

namespace ui {

// Bitmap resource `id`; a null pixmap when the program has no such bitmap.
QPixmap loadBitmap(int id);
bool hasBitmap(int id);

// String `id` of the string table; empty for a number the table does not hold.
QString loadString(unsigned id);

// The screens' font: NanumGothic at `pixelSize` (12 gives the 14-pixel lines the screens
// assume).
inline constexpr int kDefaultFontPixels = 12;
QFont deviceFont(int pixelSize = kDefaultFontPixels, bool bold = false);

// Gives the application the device's look: the Fusion style, white windows and the device
// font. False when the font is not installed (Hangul then falls back to another face, and
// pictures of the screens are no longer stable).
bool applyDeviceLook(QApplication& app);

}  // namespace ui
