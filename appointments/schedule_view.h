// The schedule screen (pane 0 of the main view, "미팅 내역"): two tabs, "사람" with the people
// list, the meeting history of the current person and the new-person button, and "날짜"
// with the month bar and the month calendar.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "people/people_panel_dlg.h"

class CHistoryPane;
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
    int historyMode() const { return historyMode_; }
    // The history pane's request (0x054D): the other mode, rebuilt.
    void OnHistoryModeFlip();
    CHistoryPane* historyPane() const { return history_; }
    // The person the history was last built for.
    int historyPersonId() const { return historyPersonId_; }
    QString historyPersonName() const { return historyPersonName_; }

    CPeopleListWnd* peopleList() const { return list_; }

    // The new-person button: the person editor for a new person, then the main screens reload.
    void OnNewPerson();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    MainView& view_;
    PersonEditorRunner runEditor_;
    int tab_ = -1;
    QPixmap background_;
    CPeopleListWnd* list_ = nullptr;
    CHistoryPane* history_ = nullptr;
    int historyMode_ = 0;
    ui::BitmapButton* newPerson_ = nullptr;
    QWidget* monthBar_ = nullptr;
    QWidget* calendar_ = nullptr;
    int historyPersonId_ = 0;
    QString historyPersonName_;
};
