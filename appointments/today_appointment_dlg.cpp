#include "appointments/today_appointment_dlg.h"

#include <QLabel>

#include "appointments/item_commands.h"
#include "appointments/list_ctrl.h"
#include "appointments/meeting_rows.h"
#include "clock/clock.h"
#include "ui/bitmap_button.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace {

const QRect kDialogRect(0, 26, 240, 268);

QRect ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

CTodayAppointmentDlg::CTodayAppointmentDlg(MainView& view, QWidget* parent)
    : ui::TemplateDialog(TemplateId, kDialogRect.size(), parent), view_(view), today_([] {
          const clk::SystemTime now = clk::localTime();
          return QDate(now.year, now.month, now.day);
      }()) {
    setObjectName(QStringLiteral("CTodayAppointmentDlg"));
    setWindowTitle(QStringLiteral("약속"));
    placeOnScreen(kDialogRect);

    auto* picture = new QLabel(this);
    picture->setPixmap(ui::loadBitmap(197));
    picture->setGeometry(QRect(QPoint(9, 4), picture->sizeHint()));

    auto* ok = addControl<ui::BitmapButton>(OkButtonId, ltrb(190, 238, 230, 258));
    ok->loadBitmaps(195, 196);
    ok->sizeToContent();
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);

    list_ = new CAgendaListWnd(&view_, this);
    list_->Create(ltrb(9, 53, 232, 230), ListId);
    list_->SetMenuSwitch(1);
    list_->SetTitle(appointments::agendaTitle({today_.year(), today_.month(), today_.day()}));
    connect(list_, &CAgendaListWnd::commandRequested, this, &CTodayAppointmentDlg::OnItemCommand);
    Refill(0);
}

void CTodayAppointmentDlg::Refill(int mode) {
    if (mode != 0) return;
    list_->ClearRows();
    for (const auto& row :
         appointments::buildAgenda(view_.store(), {today_.year(), today_.month(), today_.day()}))
        list_->AddRow(row.first, row.second, row.id);
    list_->ShowRows();
}

void CTodayAppointmentDlg::OnItemCommand(int commandId) {
    appointments::ItemCommandScreen screen;
    screen.parent = this;
    screen.refresh = [this] { Refill(0); };
    // "약속 편집" ends the agenda first; the editor's Done opens it again.
    screen.returnToAgenda = true;
    screen.beforeEdit = [this] { accept(); };
    appointments::RunItemCommand(view_, commandId, screen);
}
