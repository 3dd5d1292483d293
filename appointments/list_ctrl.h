// The owner-drawn lists of the appointment screens: the scrolling list CMyListCtrlView in its
// titled container CAgendaListWnd (the day dialog, the day's agenda) and the paged list
// CHistroyListCtrlView (the meeting history). Geometry and timing live in list_layout.h; these
// classes draw and take the stylus.
//
// A press on a row makes it the main view's current item. A tap sends 32797 to the owning
// screen, a hold (the fourth 100 ms tick of a still press) opens the Date or Event popup of
// menu 128. Commands always reach the owner queued, through commandRequested(), never from
// inside the list's own event handler: the command may well refill the list.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QImage>
#include <QWidget>
#include <optional>
#include <vector>

#include "appointments/list_layout.h"

class MainView;

namespace listctl {

// Colours of the lists.
QColor firstLineColour();   // 0, 114, 188
QColor secondTextColour();  // 115, 115, 115
QColor separatorColour();   // 193, 193, 193
QColor titleBandColour();   // 255, 204, 0

// The press handling both lists share: the tick timer, the hold, the menu and the commands.
class ListPress : public QObject {
    Q_OBJECT
public:
    static constexpr int DetailsCommand = 32797;

    ListPress(QWidget* list, MainView* view, int timerId);

    // A press at `pos` (list coordinates) on the row with identifier `itemId` (none: no row).
    void press(const QPoint& pos, std::optional<int> itemId, bool menuSwitch);
    void move() { tracker_.move(); }
    // The release; `onRow`: over the row that was pressed.
    void release(bool onRow);
    // One tick of the 100 ms timer (the timer calls it; tests call it to set the clock).
    void tick();

    bool timerRunning() const { return timer_.isActive(); }
    const PressTracker& tracker() const { return tracker_; }
    // The number the list's timer has (250 for the scrolling list, 255 for the paged one).
    int timerNumber() const { return timerNumber_; }

signals:
    // A command for the owning screen, emitted from the event loop.
    void commandRequested(int commandId);
    // The press state changed: the list redraws.
    void changed();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void openMenu();
    void post(int commandId);

    QWidget* list_;
    MainView* view_;
    int timerNumber_;
    QBasicTimer timer_;
    PressTracker tracker_;
    QPoint pressPos_;
    bool anniversary_ = false;
};

// The width of `text` in pixels in the lists' font, as the lists draw it.
int listTextWidth(QStringView text);

}  // namespace listctl

// The scrolling list. Only the rows in view are drawn, into a surface the size of the view:
// a list of thousands of rows takes the memory of one screen.
class CMyListCtrlView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int TimerNumber = 250;

    CMyListCtrlView(MainView* view, QWidget* parent);

    void AddRow(const QString& first, const QString& second, const QString& idText);
    void ClearRows();
    // Sorts, lays out and draws the rows.
    void ShowRows();
    void SetMenuSwitch(int value) { menuSwitch_ = value; }
    void SetEmptyText(const QString& text);

    const std::vector<listctl::ListRow>& rows() const { return rows_; }
    const listctl::ScrollLayout& layout() const { return layout_; }
    QString emptyText() const { return emptyText_; }
    listctl::ListPress* press() const { return press_; }
    // The row framed by the last press, -1 for none.
    int pressedRow() const { return pressedRow_; }
    // Bytes held by the drawing surface.
    qsizetype surfaceBytes() const { return surface_.sizeInBytes(); }
    // The rows in view that take a tap, each with its first and second text (a tab between),
    // for the screen map (ui/screen_map.h).
    Q_INVOKABLE QVariantList screenParts() const;
    // The list as painted now, for pictures and checks.
    QImage renderedImage();

signals:
    void commandRequested(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void updateScrollRange();
    void drawSurface();
    int rowAt(const QPoint& viewportPos) const;

    MainView* view_;
    std::vector<listctl::ListRow> rows_;
    listctl::ScrollLayout layout_;
    QString emptyText_;
    int menuSwitch_ = 0;
    int pressedRow_ = -1;
    QImage surface_;
    int surfaceTop_ = -1;
    bool dirty_ = true;
    listctl::ListPress* press_;
};

// The titled container of the scrolling list.
class CAgendaListWnd : public QWidget {
    Q_OBJECT
public:
    CAgendaListWnd(MainView* view, QWidget* parent);

    // Places the container at `rect` of its parent with control id `id`; the list fills it
    // below the 25-pixel title band.
    void Create(const QRect& rect, int id);
    void SetTitle(const QString& title);
    void AddRow(const QString& first, const QString& second, const QString& idText);
    void ClearRows();
    void ShowRows();
    void SetMenuSwitch(int value);

    QString title() const { return title_; }
    CMyListCtrlView* list() const { return list_; }

signals:
    void commandRequested(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString title_;
    CMyListCtrlView* list_;
};

// The paged list of the meeting history: three rows a page, drawn into a 220 x 400 surface.
class CHistroyListCtrlView : public QWidget {
    Q_OBJECT
public:
    static constexpr int TimerNumber = 255;

    CHistroyListCtrlView(MainView* view, QWidget* parent);

    void AddRow(const QString& date, const QString& content, const QString& idText);
    void ClearRows();
    void SetPage(int pages, int page);
    void DrawPage();

    int pages() const { return pages_; }
    int page() const { return page_; }
    const std::vector<listctl::ListRow>& rows() const { return rows_; }
    const listctl::PagedLayout& layout() const { return layout_; }
    QString emptyText() const { return emptyText_; }
    listctl::ListPress* press() const { return press_; }
    QImage renderedImage();

signals:
    void commandRequested(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    MainView* view_;
    std::vector<listctl::ListRow> rows_;
    listctl::PagedLayout layout_;
    QString emptyText_;
    int pages_ = 1;
    int page_ = 1;
    int pressedRow_ = -1;
    QImage surface_;
    listctl::ListPress* press_;
};
