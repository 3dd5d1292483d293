#include "appointments/appointment_dlg.h"

#include "app/main_view.h"
#include "ui/bitmap_button.h"

CAppointmentDlg::CAppointmentDlg(MainView& view, QWidget* parent)
    : ui::TemplateDialog(TemplateId, QSize(240, 268), parent), view_(view) {
    setWindowFlags(Qt::Widget);
    setObjectName(QStringLiteral("CAppointmentDlg"));
    setWindowTitle(QStringLiteral("약속관리"));
    setAutoFillBackground(true);
    auto* done = addControl<ui::BitmapButton>(DoneButtonId, QRect(190, 240, 40, 20));
    done->loadBitmaps(179, 180);
    done->sizeToContent();
    connect(done, &QAbstractButton::clicked, this, &CAppointmentDlg::OnDone);
}

void CAppointmentDlg::OnDone() {
    hide();
    view_.ShowPane(AppointmentPane, ClosePane);
    view_.ShowFrontPane();
    // Destroyed once the click that got here has returned; the view frees the pane's slot then.
    deleteLater();
}
