#include "controls.h"

#include <QPalette>
#include <QVariant>

namespace ui {

void setControlId(QWidget* widget, int id) {
    widget->setProperty(kControlIdProperty, id);
    if (widget->objectName().isEmpty()) widget->setObjectName(QStringLiteral("ctl_%1").arg(id));
}

int controlId(const QObject* object) {
    return object->property(kControlIdProperty).toInt();
}

TemplateDialog::TemplateDialog(int templateId, const QSize& size, QWidget* parent)
    : QDialog(parent), templateId_(templateId) {
    setFixedSize(size);
}

void TemplateDialog::placeOnScreen(const QRect& rect) {
    setWindowFlag(Qt::FramelessWindowHint);
    setGeometry(rect);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void TemplateDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!initialized_) {
        initialized_ = true;
        OnInitDialog();
    }
}

}  // namespace ui
