#include "framed_edit.h"

#include "shell/shell.h"

namespace ui {

FramedEdit::FramedEdit(QWidget* parent) : QLineEdit(parent) {
    setStyleSheet(QStringLiteral(
        "QLineEdit { border: 1px solid rgb(190, 190, 190); padding: 0 2px; background: white; }"
        "QLineEdit:read-only, QLineEdit:disabled { color: black; }"));
}

void FramedEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    shell::raiseInputPanel();
}

}  // namespace ui
