#include "name_input_wnd.h"

#include <QLineEdit>
#include <QPainter>

#include "shell/message_box.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace people {

CNameInputWnd::CNameInputWnd(QWidget* owner) : QFrame(owner) {
    // A bordered child with a raised edge, as a modal frame with a static edge looks.
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    // The controls' rectangles are in client coordinates, inside the frame.
    client_ = new QWidget(this);
    edit_ = ui::addControl<QLineEdit>(client_, NameEdit, {5, 30, 115, 20});
    ok_ = ui::addControl<ui::BitmapButton>(client_, OkButton, {125, 30, 25, 20});
    close_ = ui::addControl<ui::BitmapButton>(client_, CloseButton, {140, 10, 20, 10});
    ok_->loadBitmaps(223, 224);
    ok_->sizeToContent();
    close_->loadBitmaps(199, 198);
    close_->sizeToContent();
    connect(ok_, &QAbstractButton::clicked, this, &CNameInputWnd::OnOk);
    connect(close_, &QAbstractButton::clicked, this, &CNameInputWnd::DestroyWindow);
    hide();
}

void CNameInputWnd::Create(const QRect& rect) {
    if (!isVisible()) {
        setGeometry(rect);
        client_->setGeometry(contentsRect());
        edit_->clear();
        show();
    }
    raise();
    edit_->setFocus();
}

void CNameInputWnd::DestroyWindow() {
    hide();
}

void CNameInputWnd::OnOk() {
    const QString entered = edit_->text();
    if (entered.isEmpty()) {
        shell::messageBox(this, QStringLiteral("입력하신 내용이 없습니다."));
        return;
    }
    if (entered.contains(u'!') || entered.contains(u',')) {
        // "!" marks a deleted category and "," separates a person's groups.
        shell::messageBox(this,
                          QStringLiteral("< ! > 와 < , > 등의 특수문자를 사용하실수 없습니다."));
        return;
    }
    text_ = entered;
    emit nameEntered();
    DestroyWindow();
}

void CNameInputWnd::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setFont(ui::deviceFont());
    p.setPen(Qt::black);
    const QPoint origin = contentsRect().topLeft();
    p.drawText(QRect(origin + QPoint(5, 5), QSize(95, 14)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Manage Group"));
}

}  // namespace people
