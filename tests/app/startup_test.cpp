// Launch to exit: what a start leaves on the device, the frame's bars, and when the day's
// agenda opens by itself.
#include <QApplication>
#include <QMenuBar>
#include <QTimer>
#include <sstream>

#include "app/briefing_schedule.h"
#include "app/day_agenda.h"
#include "app/layout_app.h"
#include "app/layout_view.h"
#include "app/main_frame.h"
#include "app/program_screens.h"
#include "cedb/cedb.h"
#include "cedb/faults.h"
#include "clock/clock.h"
#include "inspect/inspect.h"
#include "qt/screen_test.h"
#include "registry/registry.h"
#include "registry/registry_faults.h"
#include "resources/strings/string_table.h"
#include "shell/shell.h"
#include "store/record_image.h"
#include "store/record_store.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "view_contract/commands.h"

namespace {

using testsupport::ScreenTest;

clk::SystemTime at(int day, int hour, int minute, int second) {
    clk::SystemTime t;
    t.year = 2026;
    t.month = 12;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

std::string stamp(const clk::SystemTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d %02d:%02d:%02d", t.day, t.hour, t.minute, t.second);
    return buf;
}

// Runs the frame's two timers over `seconds` from `start` as the system would fire them: the
// second timer every second until it is stopped, the hour timer every hour from the start.
// `tick` gets the timer id at each firing, with the device clock set to that moment; the
// result lists the moments at which the agenda opened.
std::vector<std::string> runTimers(const clk::SystemTime& start, int64_t seconds,
                                   const std::function<void(int)>& tick,
                                   const std::function<bool()>& secondTimerRunning,
                                   const std::vector<std::string>* opened) {
    int64_t base = clk::dayNumber(start.year, start.month, start.day) * 86400 + start.hour * 3600 +
                   start.minute * 60 + start.second;
    for (int64_t s = 1; s <= seconds; ++s) {
        bool hour = s % 3600 == 0;
        bool second = secondTimerRunning();
        if (!hour && !second) {
            s += 3600 - s % 3600 - 1;  // nothing fires before the next hour tick
            continue;
        }
        int64_t now = base + s;
        clk::SystemTime t = clk::fromDayNumber(now / 86400);
        t.hour = int(now % 86400 / 3600);
        t.minute = int(now % 3600 / 60);
        t.second = int(now % 60);
        clk::setDeviceTime(t);
        if (second) tick(CMainFrame::SecondTimer);
        if (hour) tick(CMainFrame::HourTimer);
    }
    return opened ? *opened : std::vector<std::string>{};
}

std::vector<std::string> scheduleOpenings(int briefingHour, const clk::SystemTime& start,
                                          int64_t seconds) {
    BriefingSchedule schedule(briefingHour);
    std::vector<std::string> opened;
    bool secondRunning = true;
    runTimers(
        start, seconds,
        [&](int) {
            auto tick = schedule.onTick(clk::localTime());
            if (tick.stopSecondTimer) secondRunning = false;
            if (tick.openAgenda) opened.push_back(stamp(clk::localTime()));
        },
        [&] { return secondRunning; }, nullptr);
    return opened;
}

TEST(BriefingScheduleTest, OpensAtTheTopOfTheBriefingHourAndThenHourlyAtTheStartPhase) {
    clk::freeze(true);
    EXPECT_EQ(scheduleOpenings(10, at(8, 9, 20, 15), 2 * 86400),
              (std::vector<std::string>{"08 10:00:00", "08 10:20:15", "09 10:20:15"}));
    // Started within the briefing hour: not at once; alignment is at 10:00, the next day's
    // 09:20:15 tick opens it.
    EXPECT_EQ(scheduleOpenings(9, at(8, 9, 20, 15), 2 * 86400),
              (std::vector<std::string>{"09 09:20:15", "10 09:20:15"}));
    // A first start ("TIME" 0) opens it during hour 0 only.
    EXPECT_EQ(scheduleOpenings(0, at(8, 9, 20, 15), 86400),
              (std::vector<std::string>{"09 00:20:15"}));
    clk::resetDeviceTime();
}

TEST(BriefingScheduleTest, ASecondTimerThatStepsOverTheTopOfTheHourStillAligns) {
    BriefingSchedule schedule(10);
    EXPECT_FALSE(schedule.onTick(at(8, 9, 59, 59)).stopSecondTimer);
    auto tick = schedule.onTick(at(8, 10, 0, 1));  // 10:00:00 never seen
    EXPECT_TRUE(tick.stopSecondTimer);
    EXPECT_TRUE(tick.openAgenda);
    EXPECT_TRUE(schedule.hourAligned());
}

class StartupTest : public ScreenTest {
protected:
    StartupTest() {
        app::setAgendaOpener([this](QWidget*) { agendaOpenings.push_back(stamp(clk::localTime())); });
    }
    ~StartupTest() override { app::setAgendaOpener(nullptr); }

    static std::string inspect(std::vector<std::string> args) {
        std::ostringstream out, err;
        inspect::run(args, out, err);
        return out.str();
    }

    std::vector<std::string> agendaOpenings;
};

TEST_F(StartupTest, FirstStartCreatesBothDatabasesTheSettingsAndTheCategories) {
    clk::setDeviceTime(at(8, 9, 20, 15));
    {
        CLayoutApp app;
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(app.frame()->windowTitle(), "Quorin");
        // Pane 0 is in front and the day's agenda opened once over it.
        EXPECT_EQ(app.frame()->view()->paneSlot(SchedulePane).rank, 1);
        EXPECT_EQ(agendaOpenings.size(), 1u);
    }
    std::string dbs = inspect({"databases"});
    EXPECT_NE(dbs.find("\"Quorin Database\" type 10000 records 0"), std::string::npos) << dbs;
    EXPECT_NE(dbs.find("\"Count Database\" type 11000 records 1"), std::string::npos) << dbs;
    EXPECT_NE(inspect({"dump", "Count Database"}).find("0x02250003 I4 1"), std::string::npos);

    EXPECT_EQ(inspect({"reg", "get", "HKCU", "Quorin"}), "\"NAME\" REG_SZ \"\" (2 bytes)\n\"TIME\" REG_DWORD 0\n");
    EXPECT_EQ(inspect({"reg", "get", "HKLM", "Software\\Microsoft\\Quorinity"}),
              "\"DBVol\" REG_SZ \"\" (2 bytes)\n");
    std::vector<std::u16string> categories;
    CRecordStore store;
    store.RefreshCategories(categories);
    EXPECT_EQ(categories.size(), 9u);
}

TEST_F(StartupTest, LaterStartsKeepTheUsersDataAndRewriteTheVolumeValue) {
    { CLayoutApp app; ASSERT_TRUE(app.InitInstance()); }
    {
        CRecordStore store;
        ASSERT_TRUE(store.DeleteCategory(u"VIP"));
        auto settings = reg::Key::open(reg::Hive::CurrentUser, u"Quorin");
        ASSERT_TRUE(settings);
        settings->setDword(u"TIME", 7);
        settings->setString(u"NAME", u"김철수");
        reg::Key::open(reg::Hive::LocalMachine, u"Software\\Microsoft\\Quorinity")
            ->setString(u"DBVol", u"\\Storage Card\\quorin.vol");
    }
    CLayoutApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.frame()->briefing().briefingHour(), 7);
    std::vector<std::u16string> categories;
    app.frame()->view()->store().RefreshCategories(categories);
    EXPECT_EQ(categories.size(), 8u);
    EXPECT_EQ(inspect({"reg", "get", "HKCU", "Quorin", "NAME"}), "\"NAME\" REG_SZ \"김철수\" (8 bytes)\n");
    EXPECT_EQ(inspect({"reg", "get", "HKLM", "Software\\Microsoft\\Quorinity"}),
              "\"DBVol\" REG_SZ \"\" (2 bytes)\n");
}

TEST_F(StartupTest, RegistryFailuresLeaveTheBriefingHourAtZero) {
    { CLayoutApp app; ASSERT_TRUE(app.InitInstance()); }
    reg::Key::open(reg::Hive::CurrentUser, u"Quorin")->setDword(u"TIME", 5);
    reg::faults::arm(reg::faults::Op::Any, -1);
    CLayoutApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.frame()->briefing().briefingHour(), 0);
    reg::faults::clear();
}

TEST_F(StartupTest, TheFrameTimersOpenTheAgendaAtTheBriefingHour) {
    clk::setDeviceTime(at(8, 9, 20, 15));
    clk::freeze(true);
    { CLayoutApp first; ASSERT_TRUE(first.InitInstance()); }
    reg::Key::open(reg::Hive::CurrentUser, u"Quorin")->setDword(u"TIME", 10);
    agendaOpenings.clear();
    CLayoutApp app;
    ASSERT_TRUE(app.InitInstance());
    ASSERT_EQ(agendaOpenings.size(), 1u);  // at start-up
    agendaOpenings.clear();
    CMainFrame& frame = *app.frame();
    runTimers(at(8, 9, 20, 15), 2 * 86400, [&](int id) { frame.OnTimer(id); },
              [&] { return frame.isTimerRunning(CMainFrame::SecondTimer); }, nullptr);
    EXPECT_EQ(agendaOpenings,
              (std::vector<std::string>{"08 10:00:00", "08 10:20:15", "09 10:20:15"}));
    EXPECT_FALSE(frame.isTimerRunning(CMainFrame::SecondTimer));
    EXPECT_TRUE(frame.isTimerRunning(CMainFrame::HourTimer));
}

TEST_F(StartupTest, TheFrameHasItsBarsAndCoversTheTaskBarStrip) {
    CLayoutApp app(makeScreens());
    ASSERT_TRUE(app.InitInstance());
    CMainFrame& frame = *app.frame();
    ASSERT_TRUE(testsupport::showExposed(&frame));
    EXPECT_EQ(frame.geometry(), QRect(0, 0, 240, 320));
    EXPECT_FALSE(shell::isTaskBarShown());
    EXPECT_FALSE(shell::isInputPanelOn());

    EXPECT_EQ(frame.dialogBar()->geometry(), QRect(0, 0, 240, 26));
    auto* menuButton = ui::control<ui::BitmapButton>(&frame, ctl::AppMenuButton);
    auto* taskButton = ui::control<ui::BitmapButton>(&frame, ctl::ShowTaskBarButton);
    ASSERT_TRUE(menuButton && taskButton);
    EXPECT_EQ(menuButton->normalBitmap(), 162);
    EXPECT_EQ(menuButton->pressedBitmap(), 168);
    EXPECT_EQ(taskButton->normalBitmap(), 253);
    EXPECT_EQ(taskButton->pressedBitmap(), 254);
    EXPECT_EQ(menuButton->size(), menuButton->currentPixmap().size());
    ASSERT_TRUE(ui::control<QMenuBar>(&frame, ctl::CommandBar));
    EXPECT_EQ(ui::control<QMenuBar>(&frame, ctl::CommandBar)->actions().size(), 5);

    // "TT" shows the task bar until the next tap anywhere.
    ASSERT_TRUE(testsupport::tap(taskButton));
    EXPECT_TRUE(shell::isTaskBarShown());
    // (Below the schedule screen: the history list covers the view's centre.)
    ASSERT_TRUE(testsupport::tap(frame.view(), QPoint(120, 264)));
    EXPECT_FALSE(shell::isTaskBarShown());

    // The menu button opens the File popup at (30, 26); its "끝내기" ends the program.
    menus.expectDismiss();
    ASSERT_TRUE(testsupport::tap(menuButton));
    ASSERT_EQ(menus.shown().size(), 1u);
    EXPECT_EQ(menus.shown()[0].pos, QPoint(30, 26));
    EXPECT_EQ(menus.shown()[0].title, "File");
    testsupport::screenshot(&frame, "main_frame");

    // "끝내기" chosen from that popup ends the program's loop with code 0.
    menus.expectChoose(cmd::Exit);
    QTimer::singleShot(0, [&] { EXPECT_TRUE(testsupport::tap(menuButton)); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(menus.shown().back().chosen, cmd::Exit);
}

TEST_F(StartupTest, ATickWhileTheAgendaIsOpenWaitsUntilItCloses) {
    clk::setDeviceTime(at(8, 9, 20, 15));
    clk::freeze(true);
    { CLayoutApp first; ASSERT_TRUE(first.InitInstance()); }
    reg::Key::open(reg::Hive::CurrentUser, u"Quorin")->setDword(u"TIME", 10);
    CLayoutApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame& frame = *app.frame();
    agendaOpenings.clear();
    // The agenda opened at 10:00:00 stays open past the next tick (the user reads it).
    app::setAgendaOpener([&](QWidget*) {
        agendaOpenings.push_back(stamp(clk::localTime()));
        if (agendaOpenings.size() == 1) {
            clk::setDeviceTime(at(8, 10, 20, 15));
            frame.OnTimer(CMainFrame::HourTimer);
            EXPECT_EQ(agendaOpenings.size(), 1u);  // not a second agenda over the first
        }
    });
    clk::setDeviceTime(at(8, 10, 0, 0));
    frame.OnTimer(CMainFrame::SecondTimer);
    // Closed within the briefing hour, the waiting tick opens it once more.
    EXPECT_EQ(agendaOpenings, (std::vector<std::string>{"08 10:00:00", "08 10:20:15"}));
}

TEST_F(StartupTest, ABriefingDueWhileTheStartUpAgendaIsOpenOpensOnceWhenItCloses) {
    clk::setDeviceTime(at(8, 9, 59, 57));
    clk::freeze(true);
    { CLayoutApp first; ASSERT_TRUE(first.InitInstance()); }
    reg::Key::open(reg::Hive::CurrentUser, u"Quorin")->setDword(u"TIME", 10);
    CLayoutApp app;
    agendaOpenings.clear();
    // The user reads the start-up agenda past the hour while the second timer ticks on.
    app::setAgendaOpener([&](QWidget*) {
        agendaOpenings.push_back(stamp(clk::localTime()));
        if (agendaOpenings.size() > 1) return;
        for (const clk::SystemTime& t : {at(8, 9, 59, 58), at(8, 9, 59, 59), at(8, 10, 0, 0),
                                         at(8, 10, 0, 1), at(8, 10, 0, 2)}) {
            clk::setDeviceTime(t);
            app.frame()->OnTimer(CMainFrame::SecondTimer);
        }
        clk::setDeviceTime(at(8, 10, 0, 14));
    });
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(agendaOpenings, (std::vector<std::string>{"08 09:59:57", "08 10:00:14"}));
    EXPECT_FALSE(app.frame()->isTimerRunning(CMainFrame::SecondTimer));
    // Later ticks of the hour open nothing more.
    clk::setDeviceTime(at(8, 11, 0, 0));
    app.frame()->OnTimer(CMainFrame::HourTimer);
    EXPECT_EQ(agendaOpenings.size(), 2u);
}

TEST_F(StartupTest, ADatabaseThatCannotBeOpenedIsReportedByTheScreenThatNeedsIt) {
    cedb::faults::arm({cedb::faults::Op::OpenDatabase, u"Quorin Database", cedb::Error::NotFound, 0, -1});
    CLayoutApp app;
    ASSERT_TRUE(app.InitInstance());  // the program runs on
    CLayoutView& view = *app.frame()->view();
    view.setCurrentPerson(QStringLiteral("홍길동"), 11);
    messages.expect(QStringLiteral("정말 이 사람을 삭제하시겠습니까?"), shell::IDYES)
        .expect(ui::loadString(res::IDS_DELETE_FAILED));
    view.runCommand(cmd::DeletePerson);
}

}  // namespace
