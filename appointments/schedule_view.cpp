#include "appointments/schedule_view.h"

#include <QMouseEvent>
#include <QPainter>

#include "appointments/history_pane.h"
#include "appointments/item_commands.h"
#include "appointments/meeting_rows.h"
#include "appointments/month_calendar_wnd.h"
#include "appointments/schedule_dlg.h"
#include "people/people_list_wnd.h"
#include "shell/message_box.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "view_contract/commands.h"
#include "view_contract/main_view.h"

namespace {

constexpr int kPeopleBackground = 246;
constexpr int kDateBackground = 247;
constexpr int kNewPersonUp = 228;
constexpr int kNewPersonDown = 229;

QRect ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

QRect ScheduleTabs::tabRect(int tab) {
    const int w = Width / Count;
    return QRect(tab * w, 0, w, Height);
}

QVariantList CScheduleView::screenParts() const {
    QVariantList parts;
    for (int tab = 0; tab < ScheduleTabs::Count; ++tab) {
        parts << QVariantMap{{"text", ScheduleTabs::text(tab)},
                             {"rect", ScheduleTabs::tabRect(tab)}};
    }
    return parts;
}

int ScheduleTabs::tabAt(const QPoint& pos) {
    for (int tab = 0; tab < Count; ++tab) {
        if (tabRect(tab).contains(pos)) return tab;
    }
    return -1;
}

QString ScheduleTabs::text(int tab) {
    return tab == 0 ? QStringLiteral("사람") : tab == 1 ? QStringLiteral("날짜") : QString();
}

CScheduleView::CScheduleView(MainView& view, PersonEditorRunner runEditor, QWidget* parent)
    : QWidget(parent), view_(view), runEditor_(std::move(runEditor)) {
    setObjectName(QStringLiteral("CScheduleView"));
    ui::place(this, ctl::ScheduleTabs, QRect(0, 0, 240, 260));

    list_ = new CPeopleListWnd(view.store(), &view, this);
    list_->Create(ltrb(10, 35, 90, 230), PeopleListId, NameList, 70);
    connect(list_, &CPeopleListWnd::historyRefreshRequested, this, &CScheduleView::RefreshHistory);

    history_ = ui::place(new CHistoryPane(&view, this), HistoryPaneId, ltrb(95, 35, 235, 230));
    history_->Create();
    connect(history_, &CHistoryPane::modeFlipRequested, this, &CScheduleView::OnHistoryModeMessage);
    connect(history_, &CHistoryPane::commandRequested, this, [this](int commandId) {
        appointments::ItemCommandScreen screen;
        screen.parent = this;
        screen.refresh = [this] { RefreshHistory(); };
        appointments::RunItemCommand(view_, commandId, screen);
    });
    // The date tab's month bar and calendar come with their own screens.
    newPerson_ = ui::addControl<ui::BitmapButton>(this, NewPersonButtonId, ltrb(10, 234, 90, 254));
    newPerson_->loadBitmaps(kNewPersonUp, kNewPersonDown);
    newPerson_->sizeToContent();
    connect(newPerson_, &QAbstractButton::clicked, this, &CScheduleView::OnNewPerson);
    monthBar_ = ui::place(new CMonthBarWnd(this), MonthBarId, ltrb(15, 40, 225, 60));
    calendar_ =
        ui::place(new CMonthCalendarWnd(view, this), MonthCalendarId, ltrb(0, 33, 239, 240));
    // The bar lies over the calendar's top band, which the calendar leaves empty for it.
    monthBar_->raise();
    // The calendar shows the bar's date and highlights the bar's today.
    const auto followBar = [this] {
        const repeat::Date shown = monthBar_->shownDate();
        calendar_->SetShown(shown.year, shown.month, shown.day);
        calendar_->SetHighlighted(monthBar_->today());
    };
    followBar();
    connect(monthBar_, &CMonthBarWnd::shownDateChanged, this, [this, followBar] {
        calendar_->Clear();
        followBar();
    });
    connect(monthBar_, &CMonthBarWnd::todayChanged, this,
            [this] { calendar_->SetHighlighted(monthBar_->today()); });
    connect(calendar_, &CMonthCalendarWnd::dayTapped, this, [this](int year, int month, int day) {
        monthBar_->SetShownDate({year, month, day});
    });
    connect(calendar_, &CMonthCalendarWnd::dayDialogOpenChanged, this, [this](bool open) {
        monthBar_->setVisible(!open && tab_ == DateTab);
        if (!open) monthBar_->update();
    });

    list_->Refresh();
    setCurrentTab(PeopleTab);
}

void CScheduleView::setCurrentTab(int tab) {
    if (tab != PeopleTab && tab != DateTab) return;
    tab_ = tab;
    const bool people = tab == PeopleTab;
    monthBar_->setVisible(!people && !calendar_->dayDialogOpen());
    calendar_->setVisible(!people);
    list_->setVisible(people);
    history_->setVisible(people);
    newPerson_->setVisible(people);
    background_ = ui::loadBitmap(people ? kPeopleBackground : kDateBackground);
    update();
}

void CScheduleView::RefreshHistory() {
    historyPersonId_ = list_->GetCurrentId();
    historyPersonName_ = list_->GetCurrentName();
    showHistory();  // a group row shows an empty history
    if (isGroupRowId(historyPersonId_))
        shell::messageBox(this, ui::loadString(res::IDS_NOT_A_PERSON));
}

void CScheduleView::Refresh() {
    list_->Refresh();
    // The reload leaves no row current; the history stays with the person it showed.
    showHistory();
    CScheduleDlg* day = calendar_->dayDialog();
    if (day->isOpen()) day->FillDay();
    calendar_->RefreshMarks();
}

void CScheduleView::showHistory() {
    history_->ShowRows({});
    history_->setMode(historyMode_);
    if (historyPersonId_ == 0 || isGroupRowId(historyPersonId_)) return;
    const appointments::History h =
        appointments::buildHistory(view_.store(), historyPersonId_, historyMode_);
    // In anniversary mode the button stays usable, so that the way back is never shut.
    history_->SetAnniversaryButton(h.hasAnniversaries ||
                                   historyMode_ == appointments::HistoryAnniversaries);
    history_->ShowRows(h.rows);
}

void CScheduleView::OnHistoryModeMessage() {
    if (historyMode_ != 0 && historyMode_ != 1) return;
    historyMode_ = 1 - historyMode_;
    // The other side of the person the history shows, even after a reload left no row current.
    showHistory();
}

void CScheduleView::OnNewPerson() {
    if (runEditor_) runEditor_(view_, 0, true);
    view_.RefreshMainScreens();
}

void CScheduleView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    // The picture carries the tabs and the page frame; it is drawn one pixel left and two up
    // of the window, over the tab control's own border.
    p.drawPixmap(-1, -2, background_);
}

void CScheduleView::mousePressEvent(QMouseEvent* event) {
    const int tab = ScheduleTabs::tabAt(event->position().toPoint());
    if (tab >= 0 && tab != tab_) setCurrentTab(tab);
    QWidget::mousePressEvent(event);
}
