// The schedule screen (pane 0 of the main view, "미팅 내역"): two tabs, "사람" with the people
// list, the meeting history of the current person and the new-person button, and "날짜"
// with the month bar and the month calendar (the bar stays hidden while the day dialog is
// open over the calendar).
#pragma once

#include <QPixmap>
#include <QWidget>

#include "people/people_panel_dlg.h"

class CHistoryPane;
class CMonthBarWnd;
class CMonthCalendarWnd;
class CPeopleListWnd;
class MainView;
namespace ui {
class BitmapButton;
}

// The tab strip of the schedule screen: two tabs, each half the width.
struct ScheduleTabs {
    static constexpr int Count = 2;
    static constexpr int Width = 240;
    static constexpr int Height = 31;
    static QRect tabRect(int tab);
    // The tab under `pos`, -1 when none.
    static int tabAt(const QPoint& pos);
    static QString text(int tab);
};

class CScheduleView : public QWidget {
    Q_OBJECT
public:
    enum Tab { PeopleTab = 0, DateTab = 1 };

    static constexpr int PeopleListId = 102;
    static constexpr int MonthBarId = 103;
    static constexpr int HistoryPaneId = 108;
    static constexpr int MonthCalendarId = 109;
    static constexpr int NewPersonButtonId = 234;

    // The tab window (control 40000) at (0, 0)-(240, 260) of `parent`, its children created
    // and the "사람" tab shown.
    CScheduleView(MainView& view, PersonEditorRunner runEditor, QWidget* parent);

    int currentTab() const { return tab_; }
    // Selects a tab as a tap on it does: its children shown, the other tab's hidden.
    void setCurrentTab(int tab);

    // Rebuilds the meeting history of the people list's current person, in the history mode
    // (0 appointments, 1 anniversaries). A group row says it shows no person (61220).
    void RefreshHistory();
    // The person the history was last built for.
    int historyPersonId() const { return historyPersonId_; }
    QString historyPersonName() const { return historyPersonName_; }

    CPeopleListWnd* peopleList() const { return list_; }

    // After a change of the records: the people list, the history of the person it shows, the
    // open day dialog and the calendar's marks are read again, so no list keeps a row of a
    // record that changed or went.
    void Refresh();

    // The new-person button: the person editor for a new person, then the main screens reload.
    void OnNewPerson();

    // The history pane's message 0x054D: the history shows anniversaries instead of
    // appointments, or the other way round; then it is rebuilt. A mode that is neither is
    // left alone.
    static constexpr int WM_HISTORY_MODE = 0x054D;
    void OnHistoryModeMessage();
    int historyMode() const { return historyMode_; }

    CMonthBarWnd* monthBar() const { return monthBar_; }
    // The tabs by their texts, for the screen map (ui/screen_map.h).
    Q_INVOKABLE QVariantList screenParts() const;
    CMonthCalendarWnd* monthCalendar() const { return calendar_; }
    CHistoryPane* historyPane() const { return history_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Rebuilds the history of historyPersonId_ in the history mode.
    void showHistory();

    MainView& view_;
    PersonEditorRunner runEditor_;
    int tab_ = -1;
    QPixmap background_;
    CPeopleListWnd* list_ = nullptr;
    CHistoryPane* history_ = nullptr;
    ui::BitmapButton* newPerson_ = nullptr;
    CMonthBarWnd* monthBar_ = nullptr;
    CMonthCalendarWnd* calendar_ = nullptr;
    int historyMode_ = 0;
    int historyPersonId_ = 0;
    QString historyPersonName_;
};
