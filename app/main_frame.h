// The main frame: the dialog bar at the top with its two buttons, the command bar with menu
// 128 at the bottom, the view between them, full-screen upkeep and the briefing timers.
#pragma once

#include <QWidget>
#include <memory>

#include "app/briefing_schedule.h"
#include "app/screens.h"

class CLayoutDoc;
class CLayoutView;
class QMenuBar;
namespace winmsg {
class Listener;
}  // namespace winmsg
namespace ui {
class BitmapButton;
class MenuResource;
}  // namespace ui

class CMainFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int SecondTimer = 1;
    static constexpr int HourTimer = 2;

    CMainFrame(CLayoutDoc& doc, Screens screens, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds the frame (timers, settings, view, bars, "DBVol", title, full-screen size).
    // False when a bar cannot be made; the program then ends.
    bool OnCreate();

    // A briefing timer fired (SecondTimer or HourTimer); the real timers call this too. A tick
    // counts at its own time even while an agenda is open; a briefing that falls due then
    // opens once that agenda has closed.
    void OnTimer(int timerId);
    // Opens the briefing that fell due while an agenda was open, once none is.
    void RunWaitingBriefing();

    CLayoutView* view() const { return view_; }
    QWidget* dialogBar() const { return dialogBar_; }
    QMenuBar* commandBar() const { return commandBar_; }
    const BriefingSchedule& briefing() const { return briefing_; }
    // A new briefing hour from the settings: the running timers use it from their next tick.
    void SetBriefingHour(int hour) { briefing_.setBriefingHour(hour); }
    bool isTimerRunning(int timerId) const;

protected:
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SizeForFullScreen();
    void OnInputPanelChanged();
    // Messages posted to the window class "Quorinity": 0x04C9, sent by the sync providers
    // after they changed records, reloads the main screens.
    void OnWindowMessages();

    CLayoutDoc& doc_;
    Screens screens_;
    CLayoutView* view_ = nullptr;
    QWidget* dialogBar_ = nullptr;
    QMenuBar* commandBar_ = nullptr;
    std::unique_ptr<ui::MenuResource> menu_;
    ui::BitmapButton* appMenuButton_ = nullptr;
    ui::BitmapButton* taskBarButton_ = nullptr;
    BriefingSchedule briefing_;
    int secondTimer_ = 0;  // Qt's ids of the running timers, 0 when stopped
    int hourTimer_ = 0;
    bool briefingWaiting_ = false;
    std::unique_ptr<winmsg::Listener> classWindow_;
};
