// Where the parts of a message box go on the 240 x 320 screen: the box takes the width of the
// free desktop less a margin on each side, a title band on top, the text wrapped at words
// below it (beside the icon when there is one), and the buttons in one row along the bottom,
// where a thumb holding the device reaches them. A text too long for the free desktop scrolls
// inside the box; the box itself never leaves the screen.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

namespace shell {

struct MessageBoxMetrics {
    int margin = 8;         // between the box and the edges of the free desktop
    int padding = 8;        // inside the frame, around the text and the buttons
    int frame = 1;          // the border line
    int titleHeight = 20;   // the title band
    int iconSize = 16;      // beside the text
    int iconGap = 6;        // between the icon and the text
    int buttonHeight = 26;  // big enough for a fingertip
    int buttonGap = 6;      // between two buttons
    int singleButtonWidth = 100;
    int scrollBarWidth = 12;  // taken from the text when it scrolls
};

struct MessageBoxLayout {
    QRect box;          // in the coordinates of `area`'s parent (the screen)
    QRect title;        // in the box's coordinates, as are all below
    QRect icon;         // empty without an icon
    QRect text;         // the visible text area
    QStringList lines;  // the text, wrapped to the text area's width
    int lineHeight = 0;
    bool textScrolls = false;    // the lines are higher than the text area
    std::vector<QRect> buttons;  // left to right
};

// Breaks `text` into lines no wider than `width`: at blanks where possible, a word wider than
// a whole line is cut between characters, and the text's own line breaks are kept.
QStringList wrapAtWords(const QString& text, const QFontMetrics& fm, int width);

// Lays out a box with `text`, an icon or none and `buttonCount` buttons (1 to 3) inside `area`
// (the free desktop), with the text in `fm`'s font.
MessageBoxLayout layoutMessageBox(const QString& text, bool hasIcon, int buttonCount,
                                  const QFontMetrics& fm, const QRect& area,
                                  const MessageBoxMetrics& metrics = {});

}  // namespace shell
