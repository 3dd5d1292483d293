#include "message_box_layout.h"

#include <algorithm>

namespace shell {

namespace {

// Adds `word` to `lines`, cutting it between characters wherever it is wider than `width`.
void cutLongWord(QString word, const QFontMetrics& fm, int width, QStringList& lines) {
    while (fm.horizontalAdvance(word) > width && word.size() > 1) {
        qsizetype fit = 1;
        while (fit < word.size() && fm.horizontalAdvance(word.left(fit + 1)) <= width) ++fit;
        // Never split a surrogate pair.
        if (word.at(fit - 1).isHighSurrogate() && fit > 1) --fit;
        lines << word.left(fit);
        word.remove(0, fit);
    }
    lines << word;
}

}  // namespace

QStringList wrapAtWords(const QString& text, const QFontMetrics& fm, int width) {
    QStringList lines;
    width = std::max(width, 1);
    for (const QString& paragraph : text.split(u'\n')) {
        QString line;
        for (const QString& word : paragraph.split(u' ', Qt::SkipEmptyParts)) {
            const QString joined = line.isEmpty() ? word : line + u' ' + word;
            if (fm.horizontalAdvance(joined) <= width) {
                line = joined;
                continue;
            }
            if (!line.isEmpty()) lines << line;
            line.clear();
            if (fm.horizontalAdvance(word) <= width) {
                line = word;
            } else {
                cutLongWord(word, fm, width, lines);
                line = lines.takeLast();  // the word's tail may share its line with the next
            }
        }
        lines << line;
    }
    return lines;
}

MessageBoxLayout layoutMessageBox(const QString& text, bool hasIcon, int buttonCount,
                                  const QFontMetrics& fm, const QRect& area,
                                  const MessageBoxMetrics& m) {
    MessageBoxLayout out;
    buttonCount = std::clamp(buttonCount, 1, 3);
    const int width = std::max(area.width() - 2 * m.margin, 4 * m.padding);
    const int inner = width - 2 * m.frame;  // the box's inside, between the frame lines
    out.title = QRect(m.frame, m.frame, inner, m.titleHeight);

    const int contentTop = out.title.bottom() + 1 + m.padding;
    const int iconSpace = hasIcon ? m.iconSize + m.iconGap : 0;
    const int textLeft = m.frame + m.padding + iconSpace;
    int textWidth = inner - 2 * m.padding - iconSpace;
    out.lineHeight = fm.lineSpacing();
    out.lines = wrapAtWords(text, fm, textWidth);

    // Everything but the text, from the top of the box to its bottom.
    const int chrome = contentTop + m.padding + m.buttonHeight + m.padding + m.frame;
    const int maxHeight = std::max(area.height() - 2 * m.margin, chrome + out.lineHeight);
    int textHeight =
        std::max<int>(int(out.lines.size()) * out.lineHeight, hasIcon ? m.iconSize : 0);
    if (chrome + textHeight > maxHeight) {
        // Too long for the screen: the text scrolls beside a bar, in whole lines.
        out.textScrolls = true;
        textWidth -= m.scrollBarWidth;
        out.lines = wrapAtWords(text, fm, textWidth);
        textHeight = std::max((maxHeight - chrome) / out.lineHeight, 1) * out.lineHeight;
    }
    out.text = QRect(textLeft, contentTop, textWidth + (out.textScrolls ? m.scrollBarWidth : 0),
                     textHeight);
    if (hasIcon) out.icon = QRect(m.frame + m.padding, contentTop, m.iconSize, m.iconSize);

    const int height = chrome + textHeight;
    const int top = area.top() + std::max((area.height() - height) / 2, m.margin);
    out.box = QRect(area.left() + (area.width() - width) / 2, top, width, height);

    const int buttonTop = height - m.frame - m.padding - m.buttonHeight;
    const int rowLeft = m.frame + m.padding;
    const int rowWidth = inner - 2 * m.padding;
    if (buttonCount == 1) {
        const int w = std::min(m.singleButtonWidth, rowWidth);
        out.buttons.push_back(QRect(rowLeft + (rowWidth - w) / 2, buttonTop, w, m.buttonHeight));
    } else {
        const int w = (rowWidth - (buttonCount - 1) * m.buttonGap) / buttonCount;
        for (int i = 0; i < buttonCount; ++i) {
            out.buttons.push_back(
                QRect(rowLeft + i * (w + m.buttonGap), buttonTop, w, m.buttonHeight));
        }
    }
    return out;
}

}  // namespace shell
