// The people list: a search edit, a group filter and the list of names, in one of three modes
// (PeopleListMode): the schedule view's names (1), the people panel's names and telephones (2)
// and the participant picker's groups and people with check boxes (3).
#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>

#include "people/people_list_rows.h"

class CRecordStore;
class MainView;
class QComboBox;
class QLineEdit;
class QPainter;
class QTreeWidget;
class QTreeWidgetItem;

namespace shell {
class TapAndHold;
}

// Where the children of the list lie for a mode, in a client area of `size`.
struct PeopleListLayout {
    QRect search;  // control 2000
    QRect filter;  // control 2002, closed
    QRect list;    // control 2001
};
PeopleListLayout peopleListLayout(int mode, const QSize& size);
// Paints the list's background for `mode`: white, the title band of mode 2 above `list`, the
// two captions of mode 3.
void paintPeopleListBackground(QPainter& painter, int mode, const QSize& size, const QRect& list);

class CPeopleListWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int SearchEditId = 2000;
    static constexpr int ListId = 2001;
    static constexpr int GroupFilterId = 2002;

    // `view` receives the current person and the Person menu's commands; it may be null where
    // the mode does not track the person (mode 3).
    CPeopleListWnd(CRecordStore& store, MainView* view, QWidget* parent);

    // Places the window at `rect` of its parent with control id `id` and lays out the children
    // for `mode`. In mode 2 the first column is `columnWidth` + 20 wide, else `columnWidth`.
    void Create(const QRect& rect, int id, int mode, int columnWidth);

    // Reads the store and shows its rows for `mode`, filtered by the group filter, sorted and
    // searched with the edit's text. The current row is cleared.
    void LoadRows(int mode);
    // Refills the group filter with "<선택하지 않음>" and the categories. The entry of the
    // filter in force is selected; when its group is gone the filter is dropped and the rows
    // reloaded.
    void FillGroupFilter();
    // What the hosts do after a change of the records: the filter refilled, the rows reloaded.
    void Refresh();

    // The identifier of the current row (the one last tapped or reached with Up or Down);
    // 0 when there is none.
    int GetCurrentId() const;
    // The name of the current row; empty when there is none.
    QString GetCurrentName() const;

    int mode() const { return mode_; }
    int firstColumnWidth() const { return columnWidth_; }
    QString groupFilter() const { return groupFilter_; }
    // The rows on screen, in order.
    const PeopleRows& shownRows() const { return search_.shown(); }
    // The list rows' check marks (mode 3), in screen order.
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);

    QLineEdit* searchEdit() const { return search_edit_; }
    QComboBox* groupCombo() const { return filter_; }
    QTreeWidget* listControl() const { return list_; }
    shell::TapAndHold* tapAndHold() const { return hold_; }

signals:
    // A row became current by a tap or an arrow key while the history switch is on (mode 1):
    // the schedule view rebuilds the meeting history of GetCurrentId().
    void historyRefreshRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutChildren();
    // Refills the combo; true when the filter in force was dropped (its group is gone).
    bool fillFilterEntries();
    void showRows();
    void onTap(QTreeWidgetItem* item);
    void onHold(const QPoint& pos);
    void onKeyRelease();
    void onFilterChosen(int index);
    int rowOf(const QTreeWidgetItem* item) const;

    CRecordStore& store_;
    MainView* view_;
    int mode_ = NameList;
    int columnWidth_ = 70;
    bool trackPerson_ = false;
    bool history_ = false;
    QLineEdit* search_edit_ = nullptr;
    QComboBox* filter_ = nullptr;
    QTreeWidget* list_ = nullptr;
    shell::TapAndHold* hold_ = nullptr;
    QPixmap images_[2];  // person, group
    QPixmap captionTop_, captionBottom_;
    PeopleSearch search_;
    QString groupFilter_;
    int currentRow_ = -1;  // index into the shown rows
};
