#include "ui/text_limit.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace ui {
namespace {

void enforce(QPlainTextEdit* edit, int limit) {
    const QString text = edit->toPlainText();
    const int excess = int(text.size()) - limit;
    if (excess <= 0) return;
    // What was just typed or pasted ends at the cursor: that is what does not fit. Text set
    // from outside leaves the cursor elsewhere, and then the end goes.
    QTextCursor cursor = edit->textCursor();
    int end = cursor.position();
    int start = end - excess;
    if (start < 0 || end > text.size()) {
        start = limit;
        end = int(text.size());
    }
    if (start > 0 && text[start].isLowSurrogate()) --start;
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();  // emits textChanged again, now within the limit
    edit->setTextCursor(cursor);
}

}  // namespace

void setMaxLength(QPlainTextEdit* edit, int units) {
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit,
                     [edit, units] { enforce(edit, units); });
    enforce(edit, units);
}

}  // namespace ui
