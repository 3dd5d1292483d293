// The message box as the device draws it: a framed box with a title band, the text wrapped at
// words and a row of buttons at the bottom, placed by layoutMessageBox() in the free desktop
// (above the input panel while it is up). The default responder runs one per message.
#pragma once

#include <QDialog>
#include <QList>

#include "shell/message_box.h"
#include "shell/message_box_layout.h"

class QPushButton;

namespace shell {

class MessageBoxDialog : public QDialog {
    Q_OBJECT
public:
    // Lays the box out for the free desktop as it is now.
    MessageBoxDialog(QWidget* parent, const QString& text, const QString& caption, Buttons buttons,
                     Icon icon);

    // The IDxxx of the button tapped, or the dismiss answer when the box was closed otherwise.
    int answer() const { return answer_; }
    const MessageBoxLayout& boxLayout() const { return layout_; }
    // Left to right.
    const QList<QPushButton*>& buttons() const { return buttons_; }
    QString caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString caption_;
    Icon icon_;
    MessageBoxLayout layout_;
    QList<QPushButton*> buttons_;
    int answer_;
};

}  // namespace shell
