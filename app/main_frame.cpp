#include "main_frame.h"

#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QSocketNotifier>
#include <QTimerEvent>
#include <optional>

#include "app/day_agenda.h"
#include "app/layout_view.h"
#include "app/settings.h"
#include "fs/devfs.h"
#include "shell/shell.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/input_panel.h"
#include "ui/menu_resource.h"
#include "ui/resources.h"
#include "view_contract/commands.h"
#include "winmsg/winmsg.h"

namespace {

constexpr int kBarHeight = 26;
constexpr uint32_t kSyncChangedMessage = 0x04C9;

// The dialog bar: filled with the pattern of bitmap 165; its buttons draw themselves.
class DialogBar : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QPixmap pattern = ui::loadBitmap(165);
        if (pattern.isNull()) {
            p.fillRect(rect(), palette().window());
        } else {
            p.fillRect(QRect(0, 0, 240, kBarHeight), QBrush(pattern));
        }
    }
};

}  // namespace

CMainFrame::CMainFrame(CLayoutDoc& doc, Screens screens, QWidget* parent)
    : QWidget(parent), doc_(doc), screens_(std::move(screens)) {
    setObjectName(QStringLiteral("CMainFrame"));
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    // The view destroys its panes before the timers stop.
    delete view_;
    view_ = nullptr;
    if (secondTimer_) killTimer(secondTimer_);
    if (hourTimer_) killTimer(hourTimer_);
    app::setAgendaClosedListener(nullptr);
}

bool CMainFrame::OnCreate() {
    // Standard creation: the timers, the settings and the view.
    secondTimer_ = startTimer(1000);
    hourTimer_ = startTimer(3600 * 1000);
    briefing_.setBriefingHour(app::LoadBriefingHour());
    app::setAgendaClosedListener([this] { RunWaitingBriefing(); });
    view_ = new CLayoutView(doc_, screens_, this);
    view_->setGeometry(0, kBarHeight, 240, 320 - 2 * kBarHeight);

    // The command bar with menu 128.
    menu_ = std::make_unique<ui::MenuResource>(128);
    if (menu_->popupCount() == 0) return false;
    commandBar_ = new QMenuBar(this);
    ui::setControlId(commandBar_, ctl::CommandBar);
    commandBar_->setNativeMenuBar(false);
    for (int i = 0; i < menu_->popupCount(); ++i) commandBar_->addMenu(menu_->popup(i));
    commandBar_->setGeometry(0, 320 - kBarHeight, 240, kBarHeight);
    // The right end belongs to the input panel's button, which the platform draws there.
    auto* panelButtonRoom = new QWidget(commandBar_);
    panelButtonRoom->setFixedSize(240 - ui::InputPanel::kButtonRect.left(), kBarHeight - 2);
    commandBar_->setCornerWidget(panelButtonRoom, Qt::TopRightCorner);
    connect(commandBar_, &QMenuBar::triggered, this, [this](QAction* action) {
        if (int id = ui::MenuResource::commandOf(action)) view_->OnCommand(id);
    });
    connect(view_, &CLayoutView::commandBarRequested, commandBar_, &QWidget::show);

    // The dialog bar with its two buttons.
    dialogBar_ = new DialogBar(this);
    ui::setControlId(dialogBar_, ctl::DialogBar);
    dialogBar_->setGeometry(0, 0, 240, kBarHeight);
    taskBarButton_ = ui::addControl<ui::BitmapButton>(dialogBar_, ctl::ShowTaskBarButton, {2, 2, 22, 22});
    appMenuButton_ = ui::addControl<ui::BitmapButton>(dialogBar_, ctl::AppMenuButton, {26, 2, 22, 22});
    if (!appMenuButton_->loadBitmaps(162, 168) || !taskBarButton_->loadBitmaps(253, 254)) return false;
    appMenuButton_->sizeToContent();
    taskBarButton_->sizeToContent();
    taskBarButton_->setToolTip(QStringLiteral("TT"));
    connect(taskBarButton_, &QAbstractButton::clicked, this, [] { shell::showTaskBar(); });
    connect(appMenuButton_, &QAbstractButton::clicked, this, [this] { view_->OnAppMenu(30); });

    app::WriteVolumeValue();
    setWindowTitle(QStringLiteral("Quorin"));

    SizeForFullScreen();
    classWindow_ = std::make_unique<winmsg::Listener>(devfs::deviceRoot(), "Quorinity");
    if (classWindow_->ok()) {
        auto* notifier = new QSocketNotifier(classWindow_->fd(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &CMainFrame::OnWindowMessages);
    }
    qApp->installEventFilter(this);
    connect(&shell::notifier(), &shell::Notifier::inputPanelChanged, this,
            &CMainFrame::OnInputPanelChanged);
    return true;
}

void CMainFrame::SizeForFullScreen() {
    shell::setInputPanelOn(false);
    QRect desktop = shell::visibleDesktop();
    // Up over the task-bar strip, keeping the left edge and width.
    int top = desktop.top() - kBarHeight;
    setGeometry(x(), top < 0 ? 0 : top, 240, desktop.height() + kBarHeight);
    shell::hideTaskBar();
}

void CMainFrame::OnInputPanelChanged() {
    shell::InputPanelInfo info;
    if (shell::getInputPanelInfo(info)) shell::hideTaskBar();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // A tap anywhere in the program hides the task bar again.
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) shell::hideTaskBar();
    return QWidget::eventFilter(watched, event);
}

void CMainFrame::timerEvent(QTimerEvent* event) {
    if (event->timerId() == secondTimer_) {
        OnTimer(SecondTimer);
    } else if (event->timerId() == hourTimer_) {
        OnTimer(HourTimer);
    } else {
        QWidget::timerEvent(event);
    }
}

void CMainFrame::OnTimer(int) {
    // Ticks that come while an agenda's own loop runs are looked at when they come: put off,
    // they would be judged at a later time and the top of the hour would pass unseen.
    const BriefingSchedule::Tick tick = briefing_.onTick(clk::localTime());
    if (tick.stopSecondTimer && secondTimer_) {
        killTimer(secondTimer_);
        secondTimer_ = 0;
    }
    if (!tick.openAgenda) return;
    briefingWaiting_ = true;  // briefings that pile up while an agenda is open count once
    RunWaitingBriefing();
}

void CMainFrame::RunWaitingBriefing() {
    if (!briefingWaiting_ || app::isDayAgendaOpen()) return;
    briefingWaiting_ = false;
    app::OpenDayAgenda(this);
}

bool CMainFrame::isTimerRunning(int timerId) const {
    return timerId == SecondTimer ? secondTimer_ != 0 : hourTimer_ != 0;
}

void CMainFrame::OnWindowMessages() {
    bool changed = false;
    while (const std::optional<winmsg::Message> m = classWindow_->receive())
        changed |= m->message == kSyncChangedMessage;
    if (changed && view_) view_->RefreshMainScreens();
}
