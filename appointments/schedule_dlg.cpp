#include "appointments/schedule_dlg.h"

#include <QDate>
#include <QPainter>

#include "appointments/item_commands.h"
#include "appointments/schedule_rows.h"
#include "appointments/screen_hooks.h"
#include "store/holidays.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace {

QString twoDigits(int v) {
    return v < 10 ? QStringLiteral("0%1").arg(v) : QString::number(v);
}

}  // namespace

CScheduleDlg::CScheduleDlg(MainView& view, QWidget* calendar)
    : QWidget(calendar), view_(view), list_(new CAgendaListWnd(&view, this)) {
    setObjectName(QStringLiteral("CScheduleDlg"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    list_->Create(QRect(), ListId);
    list_->SetMenuSwitch(1);
    connect(list_, &CAgendaListWnd::commandRequested, this, &CScheduleDlg::OnItemCommand);

    auto* add = ui::addControl<ui::BitmapButton>(this, NewAppointmentButton, {50, 0, 54, 20});
    add->loadBitmaps(210, 211);
    add->sizeToContent();
    add->setToolTip(QStringLiteral("Button1"));
    auto* close = ui::addControl<ui::BitmapButton>(this, CloseButton, {140, 0, 40, 20});
    close->loadBitmaps(201, 200);
    close->sizeToContent();
    close->setToolTip(QStringLiteral("Button2"));
    connect(add, &QAbstractButton::clicked, this, &CScheduleDlg::OnNewAppointment);
    connect(close, &QAbstractButton::clicked, this, &CScheduleDlg::Close);
    setGeometry(calendar->rect());
    hide();
}

void CScheduleDlg::resizeEvent(QResizeEvent*) {
    // The list: the client rectangle inset by 9 left and right, 26 at the top, 65 at the
    // bottom; the buttons below it.
    list_->setGeometry(QRect(QPoint(9, 26), QPoint(width() - 10, height() - 66)));
    const int buttonsTop = height() - 52;
    for (int id : {NewAppointmentButton, CloseButton}) {
        QWidget* button = ui::control(this, id);
        button->move(button->x(), buttonsTop);
    }
}

void CScheduleDlg::OpenDay(int mode, int year, int month, int day) {
    mode_ = mode;
    year_ = year;
    month_ = month;
    day_ = day;
    if (mode == 0) {
        list_->SetTitle(
            QStringLiteral("%1년 %2월 %3일 약속").arg(year).arg(twoDigits(month), twoDigits(day)));
    }
    holiday_ =
        QString::fromStdU16String(holidays::namesOn(holidays::onDevice(year), {year, month, day}));
    list_->ClearRows();
    list_->ShowRows();
    setGeometry(parentWidget()->rect());
    show();
    raise();
}

void CScheduleDlg::FillDay() {
    list_->ClearRows();
    for (const listctl::ListRow& row : schedule::dayRows(view_.store(), {year_, month_, day_}))
        list_->AddRow(row.first, row.second, row.idText);
    list_->ShowRows();
}

void CScheduleDlg::Close() {
    hide();
    list_->ClearRows();
    open_ = false;
    emit closed();
}

void CScheduleDlg::OnItemCommand(int commandId) {
    appointments::ItemCommandScreen screen;
    screen.parent = this;
    screen.refresh = [this] {
        if (open_) FillDay();
    };
    appointments::RunItemCommand(view_, commandId, screen);
}

void CScheduleDlg::OnNewAppointment() {
    appointments::StartAppointmentOn(view_, QDate(year_, month_, day_), false);
}

void CScheduleDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setFont(ui::deviceFont(ui::kDefaultFontPixels, true));
    p.setPen(Qt::black);
    p.drawText(QRect(9, 4, 200, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("일정관리"));
    // The day's public holidays, in red beside the title.
    if (!holiday_.isEmpty()) {
        const QRect place(80, 4, width() - 89, 18);
        p.setPen(QColor(255, 0, 0));
        p.drawText(place, Qt::AlignRight | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(holiday_, Qt::ElideRight, place.width()));
    }
}
