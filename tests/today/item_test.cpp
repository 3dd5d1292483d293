// The item's window: creation, the home screen's messages, taps, drawing, and the library's
// exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QDialog>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "fs/devfs.h"
#include "qt/screen_test.h"
#include "shell/shell.h"
#include "today/today_item.h"
#include "today_fixture.h"

namespace ts = todayscreen;

namespace {

class ItemTest : public TodayTest {
protected:
    void TearDown() override {
        shell::resetState();
        TodayTest::TearDown();
    }
    ts::HWND create(bool enabled = true) {
        ts::TODAYLISTITEM item;
        item.fEnabled = enabled;
        return today::initializeItem(&item, ts::handleOf(&home));
    }
    ts::LRESULT send(ts::HWND window, ts::UINT msg) { return ts::sendMessage(window, msg, 0, 0); }
    static QString description(ts::HWND window) { return ts::windowDescription(window); }

    QWidget home;
};

bool isInk(QRgb pixel) {
    return qGray(pixel) < 128;
}

// Whether any pixel of `area` is dark.
bool hasInk(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(image.pixel(x, y))) return true;
        }
    }
    return false;
}

}  // namespace

TEST_F(ItemTest, CreatesAVisibleChildOfItsClassAndComputesWhenEnabled) {
    EXPECT_EQ(create(false), nullptr);
    addAppointment(kToday);
    ts::HWND window = create();
    ASSERT_TRUE(ts::isWindow(window));
    EXPECT_EQ(ts::className(window), u"QuorinToday");
    EXPECT_EQ(ts::windowText(window), u"QuorinTodayScreen");
    QWidget* widget = ts::widgetOf(window);
    EXPECT_EQ(widget->parentWidget(), &home);
    EXPECT_EQ(widget->geometry(), QRect(0, 0, 240, 10));
    home.show();
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(description(window), "오늘의 약속 : 1개가 있습니다.");
    // A second item while the first lives shares the class.
    ts::HWND second = create();
    EXPECT_TRUE(ts::isWindow(second));
    ts::destroyWindow(second);
}

TEST_F(ItemTest, RefreshRecountsAndSizesToItsLinesWithoutMoving) {
    addPerson(u"홍길동");
    ts::HWND window = create();
    QWidget* widget = ts::widgetOf(window);
    widget->move(0, 40);
    EXPECT_EQ(send(window, ts::WM_TODAYCUSTOM_QUERYREFRESHCACHE), 0);
    EXPECT_EQ(description(window), "오늘은 약속이 없습니다.");
    EXPECT_EQ(widget->geometry(), QRect(0, 40, 240, 16));

    addAppointment(kToday);
    addAppointment(kToday);
    addAnniversary(u"홍길동", u"생일", date(1980, 3, 14), int(RepeatRule::EveryYear));
    EXPECT_EQ(send(window, ts::WM_TODAYCUSTOM_QUERYREFRESHCACHE), 0);
    EXPECT_EQ(description(window), "오늘의 약속 : 2개가 있습니다.\n기념일 : 홍길동님의 생일");
    EXPECT_EQ(widget->geometry(), QRect(0, 40, 240, 32));
}

TEST_F(ItemTest, OtherMessagesDoNothing) {
    int launches = 0;
    shell::setLauncher([&](const QString&) { return ++launches, true; });
    ts::HWND window = create();
    addAppointment(kToday);
    for (ts::UINT msg :
         {ts::WM_TODAYCUSTOM_CLEARCACHE, ts::WM_TIMER, ts::WM_LBUTTONDOWN, 0x0400u}) {
        EXPECT_EQ(send(window, msg), 0) << msg;
    }
    EXPECT_EQ(description(window), "오늘은 약속이 없습니다.");
    EXPECT_EQ(ts::widgetOf(window)->size(), QSize(240, 10));
    EXPECT_EQ(launches, 0);
}

TEST_F(ItemTest, TapStartsTheProgramOnTheSameDevice) {
    // The program is a script that says which device it was started on.
    const std::filesystem::path program = devfs::toHost(today::ProgramPath);
    const std::filesystem::path marker = roots.device() / "started";
    std::filesystem::create_directories(program.parent_path());
    std::ofstream(program)
        << "#!/bin/sh\nprintf %s \"$QUORIN_DEVICE\" > \"$QUORIN_DEVICE/started.tmp\"\n"
           "mv \"$QUORIN_DEVICE/started.tmp\" \"$QUORIN_DEVICE/started\"\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);

    ts::HWND window = create();
    home.resize(240, 320);
    ASSERT_TRUE(testsupport::showExposed(&home));
    ASSERT_TRUE(testsupport::tap(ts::widgetOf(window), QPoint(100, 5)));
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(marker), 10000);
    std::ifstream in(marker);
    std::string device((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(device, roots.device().string());
}

TEST_F(ItemTest, DrawsIconHeadlineAndAnniversaryLines) {
    addAppointment(kToday);
    addAnniversary(u"홍길동", u"생일", date(1980, 3, 14), int(RepeatRule::EveryYear));
    addAnniversary(u"김영희", u"결혼기념일", date(2001, 3, 14), int(RepeatRule::EveryYear));
    ts::HWND window = create();
    send(window, ts::WM_TODAYCUSTOM_QUERYREFRESHCACHE);
    const QImage shot = ts::widgetOf(window)->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(240, 48));

    EXPECT_TRUE(hasInk(shot, QRect(3, 3, 19, 19)));     // the icon
    EXPECT_FALSE(hasInk(shot, QRect(0, 0, 3, 48)));     // nothing left of it
    EXPECT_TRUE(hasInk(shot, QRect(25, 2, 200, 13)));   // headline
    EXPECT_TRUE(hasInk(shot, QRect(25, 16, 200, 13)));  // anniversary 0
    EXPECT_TRUE(hasInk(shot, QRect(25, 30, 200, 13)));  // anniversary 1
    EXPECT_FALSE(hasInk(shot, QRect(25, 44, 200, 4)));
    EXPECT_FALSE(hasInk(shot, QRect(22, 0, 2, 48)));  // text starts at 25

    EXPECT_FALSE(testsupport::screenshot(ts::widgetOf(window), "today-item").isEmpty());
}

TEST_F(ItemTest, OptionsDialogEndsOnOkOnly) {
    QDialog dialog;
    ts::HWND handle = ts::handleOf(&dialog);
    EXPECT_EQ(today::optionsDialogProc(handle, ts::WM_INITDIALOG, 0, 0), 1);
    EXPECT_EQ(today::optionsDialogProc(handle, ts::WM_COMMAND, ts::IDCANCEL, 0), 0);
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(today::optionsDialogProc(handle, ts::WM_COMMAND, ts::IDOK, 0), 1);
    EXPECT_EQ(dialog.result(), ts::IDOK);
}

TEST(ItemLibrary, ExportsItsEntryPointsAndNothingElse) {
    void* library = dlopen(TODAY_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto init = ts::procByOrdinal(library, ts::ORDINAL_INITIALIZEITEM);
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(init), dlsym(library, "InitializeCustomItem"));
    EXPECT_EQ(reinterpret_cast<void*>(ts::procByOrdinal(library, ts::ORDINAL_OPTIONSDIALOGPROC)),
              dlsym(library, "CustomItemOptionsDlgProc"));
    EXPECT_EQ(ts::procByOrdinal(library, 242), nullptr);
    // Its own copies of the platform services stay inside.
    EXPECT_EQ(dlsym(library, "_ZN4cedb11objectStoreEv"), nullptr);
    EXPECT_EQ(dlsym(library,
                    "_ZN5shell7executeERKNSt7__cxx1112basic_stringIDsSt11char_traitsIDsESaIDsEEE"),
              nullptr);

    ts::TODAYLISTITEM item;  // not enabled
    QWidget home;
    EXPECT_EQ(reinterpret_cast<ts::PFNCUSTOMINITIALIZEITEM>(init)(&item, ts::handleOf(&home)),
              nullptr);
}

TEST(ItemTexts, FailuresAndCountsReadAsTheDeviceShowsThem) {
    EXPECT_EQ(today::headline(-3), QStringLiteral("레코드 Open에 실패했습니다."));
    EXPECT_EQ(today::headline(-2), QStringLiteral("Database Open에 실패했습니다."));
    EXPECT_EQ(today::headline(0), QStringLiteral("오늘은 약속이 없습니다."));
    EXPECT_EQ(today::headline(12), QStringLiteral("오늘의 약속 : 12개가 있습니다."));
}
