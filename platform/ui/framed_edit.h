// The one-line edit of the editors: a one-pixel frame in 190, 190, 190, and the soft input
// panel raised when it gets the focus (losing the focus leaves the panel as it is).
#pragma once

#include <QLineEdit>

namespace ui {

class FramedEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit FramedEdit(QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;
};

}  // namespace ui
