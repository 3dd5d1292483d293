// The one-line name-entry popup titled "Manage Group": an edit, OK and close. The owner
// constructs it once as its child; the popup's window exists only while it is shown.
#pragma once

#include <QFrame>
#include <QString>

class QLineEdit;

namespace ui {
class BitmapButton;
}

namespace people {

// The system's message for an accepted name; here it is the nameEntered() signal.
inline constexpr int WM_NAME_ENTERED = 0x04DE;

class CNameInputWnd : public QFrame {
    Q_OBJECT
public:
    static constexpr int NameEdit = 236;
    static constexpr int CloseButton = 234;
    static constexpr int OkButton = 235;

    // Hidden until Create().
    explicit CNameInputWnd(QWidget* owner);

    // Shows the popup at `rect` of its owner with an empty edit and brings it to the top.
    // Nothing is recreated while it is shown: it only comes to the top.
    void Create(const QRect& rect);
    bool isCreated() const { return isVisible(); }
    // Hides the popup, as its close button does.
    void DestroyWindow();

    // The text last accepted with OK.
    QString GetText() const { return text_; }
    QLineEdit* edit() const { return edit_; }

signals:
    // OK accepted a name (WM_NAME_ENTERED); GetText() holds it. The popup closes afterwards.
    void nameEntered();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnOk();

    QWidget* client_;
    QLineEdit* edit_;
    ui::BitmapButton* ok_;
    ui::BitmapButton* close_;
    QString text_;
};

}  // namespace people
