// The details popup: values and layout of each kind, the sketch in picture mode, rows that are
// no record, and a sketch whose file is gone.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTreeWidget>
#include <limits>

#include "../people/recording_main_view.h"
#include "appointments/screen_hooks.h"
#include "clock/clock.h"
#include "sketch/details_text.h"
#include "sketch/details_wnd.h"
#include "sketch/jpeg_codec.h"
#include "sketch/sketch_list_dlg.h"
#include "sketch_fixture.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/resources.h"

namespace {

using sketch::CDetailsWnd;
using sketch::CPop;
using sketch::DetailKind;

cedb::FileTime at(int year, int month, int day, int hour, int minute) {
    clk::SystemTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    return *clk::toFileTime(t);
}

TEST(DetailText, NameLinesContentBreaksAndRows) {
    int lines = 0;
    EXPECT_EQ(sketch::NamesShown(QStringLiteral("김철수;"), &lines), QStringLiteral("김철수;"));
    EXPECT_EQ(lines, 1);
    sketch::NamesShown(QStringLiteral("a;b;"), &lines);
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(sketch::NamesShown(QStringLiteral("a;b;c;"), &lines), QStringLiteral("a;b;\nc;"));
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(sketch::NamesShown(QStringLiteral("a;b;c;d;"), &lines), QStringLiteral("a;b;\nc;d;"));
    EXPECT_EQ(lines, 2);
    sketch::NamesShown(QString(), &lines);
    EXPECT_EQ(lines, 1);

    int extra = 0;
    EXPECT_EQ(sketch::ContentShown(QStringLiteral("12345678901234567890"), &extra),
              QStringLiteral("123456789\n012345678\n90"));
    EXPECT_EQ(extra, 2);
    // A CR LF pair stays; a lone LF (or CR) is a break too, and restarts the count of 9.
    EXPECT_EQ(sketch::ContentShown(QStringLiteral("ab\r\ncd\nefghijklmn"), &extra),
              QStringLiteral("ab\r\ncd\nefghijklm\nn"));
    EXPECT_EQ(extra, 3);
    EXPECT_EQ(sketch::ContentShown(QStringLiteral("123456789"), &extra), QStringLiteral("123456789"));
    EXPECT_EQ(extra, 0);
    // Content as long as the field holds is cut to what the popup shows, never past it.
    const QString shown = sketch::ContentShown(QString(299, u'가'), &extra);
    EXPECT_LE(shown.size(), sketch::kMaxContentShown);
    EXPECT_EQ(extra, int(shown.count(u'\n')));

    sketch::DetailText t;
    t.kind = DetailKind::Appointment;
    t.nameLines = 2;
    t.contentExtraLines = 3;
    const int h = 14;
    EXPECT_EQ(sketch::DetailRowRect(t, 0, true, 150, h), QRect(QPoint(0, 0), QPoint(59, 27)));
    EXPECT_EQ(sketch::DetailRowRect(t, 1, false, 150, h), QRect(QPoint(60, 33), QPoint(449, 46)));
    EXPECT_EQ(sketch::DetailRowRect(t, 4, true, 150, h).top(), 5 * h + 20);
    EXPECT_EQ(sketch::DetailRowRect(t, 4, true, 150, h).bottom(), 9 * h + 20 - 1);
    EXPECT_EQ(sketch::DetailRowRect(t, 5, true, 150, h).top(), 9 * h + 25);
    t.values = {QStringLiteral("12345")};
    EXPECT_EQ(sketch::DetailTextExtent(t, 16, h, 170), QSize((5 + 7) * 12, 11 * h + 30));
    t.kind = DetailKind::Person;
    EXPECT_EQ(sketch::DetailRowRect(t, 2, false, 150, h), QRect(QPoint(60, 38), QPoint(449, 51)));
    EXPECT_EQ(sketch::DetailTextExtent(t, 16, h, 170), QSize((5 + 6) * 12, 180));
}

class DetailsPopup : public sketchtest::SketchTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, 0));
        ASSERT_TRUE(testsupport::showExposed(&view.widget));
    }
    int addPerson() {
        RecordImage r{};
        r.kind = PersonKind;
        setText(r.name, u"김철수");
        setText(r.groups, u"친구, 회사");
        setText(r.mobile, u"010-1234-5678");
        setText(r.email, u"cs@example.com");
        setText(r.company, u"한빛상사");
        setText(r.title, u"과장");
        setText(r.address, u"서울시 중구");
        setText(r.workPhone, u"02-123-4567");
        setText(r.homePhone, u"02-765-4321");
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }
    int addAppointment(bool sketch, std::u16string_view sketchName, int minute = 30) {
        RecordImage r{};
        r.kind = AppointmentKind;
        setText(r.participantNames, u"김철수;이영희;박민수;");
        r.start = at(2026, 5, 8, 9, minute);
        // Minute 12 with no length is the stored "no time of day" marker.
        r.end = minute == 12 ? r.start : at(2026, 5, 8, 11, 0);
        setText(r.place, u"시청 앞");
        setText(r.content, u"12345678901234567890");
        r.hasSketch = sketch ? 1 : 0;
        setText(r.sketchName, sketchName);
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }
    int addAnniversary(std::u16string_view rule) {
        RecordImage r{};
        r.kind = AnniversaryKind;
        setText(r.participantNames, u"이영희");
        r.start = at(1990, 5, 8, 0, 0);
        setText(r.content, u"생일");
        setText(r.place, rule);
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }
    std::filesystem::path sketchFolder() {
        return roots.device() / "Program Files" / "Quorin" / "RoughSketch";
    }
    ui::BitmapButton* button(CDetailsWnd* wnd, int id) { return ui::control<ui::BitmapButton>(wnd, id); }

    CRecordStore store;
    RecordingMainView view{store};
};

TEST_F(DetailsPopup, APersonShowsEveryValueAndATapOnTheTextCloses) {
    const int id = addPerson();
    CDetailsWnd* wnd = sketch::ShowPersonDetails(view, view.viewWidget(), id);
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(wnd->geometry(), QRect(QPoint(30, 20), QPoint(199, 223)));
    EXPECT_EQ(wnd->pop()->geometry(), QRect(QPoint(0, 30), QPoint(167, 201)));
    EXPECT_EQ(wnd->title(), QStringLiteral("사람 자세히 보기"));
    EXPECT_EQ(wnd->pop()->text().labels, sketch::DetailLabels(DetailKind::Person));
    EXPECT_EQ(wnd->pop()->text().values,
              (QStringList{"친구, 회사", "김철수", "010-1234-5678", "cs@example.com", "한빛상사", "과장",
                           "서울시 중구", "02-123-4567", "02-765-4321"}));
    EXPECT_EQ(wnd->sketchButton(), nullptr);
    testsupport::screenshot(wnd, "details_person");

    QPointer<CDetailsWnd> alive(wnd);
    ASSERT_TRUE(testsupport::tap(wnd->pop()->viewport(), {20, 20}));
    testsupport::processDeferredDeletes();
    EXPECT_TRUE(alive.isNull());
}

TEST_F(DetailsPopup, AnAppointmentShowsItsTextAndItsSketchWhichThePenPans) {
    // The sketch is attached through the library, as the appointment editor's button does.
    std::filesystem::create_directories(sketchFolder());
    ASSERT_EQ(sketch::WriteJpeg(sketchFolder() / "park.jpg", sketchtest::quarters(640, 480)).result, 1);
    const appointments::ScreenHooks saved = appointments::screenHooks();
    appointments::screenHooks().chooseSketch = sketch::ChooseSketch;
    appointments::screenHooks().showItemDetails = [](MainView& v, QWidget* p, int id) {
        sketch::ShowItemDetails(v, p, id);
    };
    messages.expect(QStringLiteral(".BMP 파일이 없습니다.."));
    modals.expect<sketch::CSketchListDlg>([&](sketch::CSketchListDlg& dlg) {
        ASSERT_TRUE(testsupport::tap(dlg.list()->viewport(), dlg.labelRect("park.jpg").center()));
        messages.expect(QStringLiteral("park.jpg 가 선택되었습니다 ..맞습니까?"), shell::IDYES);
        ASSERT_TRUE(testsupport::tap(dlg.control<ui::BitmapButton>(sketch::CSketchListDlg::SelectButton)));
    });
    const std::optional<QString> chosen = appointments::ChooseSketch(view.viewWidget());
    ASSERT_EQ(chosen, std::optional<QString>(QStringLiteral("park.jpg")));
    const int key = addAppointment(true, chosen->toStdU16String());

    appointments::ShowItemDetails(view, view.viewWidget(), key);
    auto popups = view.widget.findChildren<CDetailsWnd*>();
    ASSERT_EQ(popups.size(), 1);
    CDetailsWnd* wnd = popups.front();
    appointments::screenHooks() = saved;
    EXPECT_EQ(wnd->title(), QStringLiteral("약속 자세히 보기"));
    const sketch::DetailText& t = wnd->pop()->text();
    EXPECT_EQ(t.values, (QStringList{"김철수;이영희;\n박민수;", "2026-05-08", "09:30~11:00", "시청 앞",
                                     "123456789\n012345678\n90", "MAP버튼을 누르세요."}));
    EXPECT_EQ(t.nameLines, 2);
    EXPECT_EQ(t.contentExtraLines, 2);
    EXPECT_EQ(t.sketchName, QStringLiteral("park.jpg"));
    ASSERT_NE(wnd->sketchButton(), nullptr);
    EXPECT_EQ(ui::controlId(wnd->sketchButton()), CDetailsWnd::SketchButton);
    EXPECT_EQ(wnd->sketchButton()->normalBitmap(), 258);
    const QSize extent = wnd->pop()->textExtent();
    EXPECT_EQ(extent.height(), (2 + 2 + 6) * QFontMetrics(ui::deviceFont()).height() + 30);
    testsupport::screenshot(wnd, "details_appointment_text");

    ASSERT_TRUE(testsupport::tap(wnd->sketchButton()));
    ASSERT_EQ(wnd->pop()->mode(), CPop::PictureMode);
    EXPECT_EQ(wnd->pop()->picture().size(), QSize(640, 480));
    QWidget* area = wnd->pop()->viewport();
    // Dragging the pen left and up moves the picture with it.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 100), area->mapToGlobal(QPointF(100, 100)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(40, 70), area->mapToGlobal(QPointF(40, 70)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(40, 70), area->mapToGlobal(QPointF(40, 70)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(area, &release);
    EXPECT_EQ(wnd->pop()->scrollPosition(), QPoint(60, 30));
    QImage shown;
    wnd->pop()->Render(shown);
    EXPECT_TRUE(sketchtest::near(shown.pixel(0, 0), qRgb(220, 20, 20), 12));
    // In picture mode a tap only pans; the popup stays.
    ASSERT_TRUE(testsupport::tap(area, {50, 50}));
    testsupport::processDeferredDeletes();
    ASSERT_EQ(view.widget.findChildren<CDetailsWnd*>().size(), 1);
    testsupport::screenshot(wnd, "details_appointment_sketch");

    ASSERT_TRUE(testsupport::tap(wnd->sketchButton()));
    EXPECT_EQ(wnd->pop()->mode(), CPop::TextMode);
    EXPECT_TRUE(wnd->pop()->picture().isNull());
    ASSERT_TRUE(testsupport::tap(button(wnd, CDetailsWnd::CloseButton)));
    testsupport::processDeferredDeletes();
    EXPECT_TRUE(view.widget.findChildren<CDetailsWnd*>().isEmpty());
}

TEST_F(DetailsPopup, ASketchThatCannotBeReadLeavesTheTextUsable) {
    for (std::u16string_view name : {u"gone.bmp", u"gone.jpg", u""}) {
        const int key = addAppointment(true, name);
        CDetailsWnd* wnd = sketch::ShowItemDetails(view, view.viewWidget(), key);
        ASSERT_NE(wnd, nullptr);
        ASSERT_NE(wnd->sketchButton(), nullptr);
        messages.expect(QStringLiteral("파일을 읽어오는데 실패했습니다.."));
        ASSERT_TRUE(testsupport::tap(wnd->sketchButton()));
        EXPECT_EQ(messages.shown().back().icon, shell::Icon::Stop);
        EXPECT_EQ(wnd->pop()->mode(), CPop::TextMode);
        ASSERT_TRUE(testsupport::tap(button(wnd, CDetailsWnd::CloseButton)));
        testsupport::processDeferredDeletes();
    }
    // A damaged JPEG: the library's words, then the popup's.
    std::filesystem::create_directories(sketchFolder());
    sketchtest::writeAll(sketchFolder() / "bad.jpg", {0xFF, 0xD8, 0xFF});
    CDetailsWnd* wnd = sketch::ShowItemDetails(view, view.viewWidget(), addAppointment(true, u"bad.jpg"));
    ASSERT_NE(wnd, nullptr);
    messages.expect(QStringLiteral("Premature end of JPEG file"));
    messages.expectContaining(QString());
    messages.expect(QStringLiteral("파일을 읽어오는데 실패했습니다.."));
    ASSERT_TRUE(testsupport::tap(wnd->sketchButton()));
    EXPECT_EQ(wnd->pop()->mode(), CPop::TextMode);
}

TEST_F(DetailsPopup, AnAppointmentWithoutSketchOrTime) {
    const int key = addAppointment(false, u"", 12);
    CDetailsWnd* wnd = sketch::ShowItemDetails(view, view.viewWidget(), key);
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(wnd->pop()->text().values[2], QStringLiteral("<None>"));
    EXPECT_EQ(wnd->pop()->text().values[5], QStringLiteral("<약도 없음>"));
    EXPECT_EQ(wnd->sketchButton(), nullptr);
}

TEST_F(DetailsPopup, AnniversariesShowTheirRepeatRule) {
    struct Case {
        std::u16string_view rule;
        QStringList shown;  // repeat kind, repeat date, reminder
    };
    const Case cases[] = {
        {u"100;0;3;", {"매년 반복", "매년 5월 8일", "3일전부터 표시"}},
        {u"110;0;3;", {"매년 반복(음력)", "음력 매년 4월 14일", "3일전부터 표시"}},
        {u"200;0;0;", {"매달 반복", "매달8일", "0일전부터 표시"}},
        {u"50;0;1;", {"반복없음", "반복없음", "1일전부터 표시"}},
        {u"300;10;2;", {"지정 날짜 반복", "10일마다", "2일전부터 표시"}},
        {u"50;7;0;", {"반복없음", "7일마다", "0일전부터 표시"}},
        {u"77;0;0;", {"", "", "0일전부터 표시"}},
    };
    for (const Case& c : cases) {
        const int key = addAnniversary(c.rule);
        CDetailsWnd* wnd = sketch::ShowItemDetails(view, view.viewWidget(), -key);
        ASSERT_NE(wnd, nullptr);
        EXPECT_EQ(wnd->kind(), CDetailsWnd::AnniversaryDetails);
        const QStringList& v = wnd->pop()->text().values;
        ASSERT_EQ(v.size(), 6);
        EXPECT_EQ(v.mid(0, 3), (QStringList{"이영희", "1990년 5월 8일", "생일"}));
        EXPECT_EQ(v.mid(3), c.shown) << QString::fromStdU16String(std::u16string(c.rule)).toStdString();
    }
    testsupport::screenshot(view.widget.findChildren<CDetailsWnd*>().back(), "details_anniversary");
    // One popup at a time.
    testsupport::processDeferredDeletes();
    EXPECT_EQ(view.widget.findChildren<CDetailsWnd*>().size(), 1);
}

TEST_F(DetailsPopup, RowsThatAreNoRecordGetAMessageAndNoPopup) {
    const int person = addPerson();
    const int key = addAppointment(false, u"");
    const QString notShown = ui::loadString(res::IDS_NOT_A_PERSON);
    struct Case {
        bool person;
        int id;
    };
    // The "No-Name.." row, a group row, nothing chosen, an appointment taken as a person, a
    // person taken as an appointment or anniversary, a record that is gone.
    for (Case c : {Case{true, -2}, Case{true, -5}, Case{true, 0}, Case{true, key}, Case{false, person},
                   Case{false, -person}, Case{false, 0}, Case{false, 9991},
                   Case{false, std::numeric_limits<int>::min()}}) {
        messages.expect(notShown);
        CDetailsWnd* wnd = c.person ? sketch::ShowPersonDetails(view, view.viewWidget(), c.id)
                                    : sketch::ShowItemDetails(view, view.viewWidget(), c.id);
        EXPECT_EQ(wnd, nullptr) << c.id;
    }
    EXPECT_TRUE(view.widget.findChildren<CDetailsWnd*>().isEmpty());

    // A popup that is open stays when the next row cannot be shown.
    CDetailsWnd* shown = sketch::ShowPersonDetails(view, view.viewWidget(), person);
    ASSERT_NE(shown, nullptr);
    messages.expect(notShown);
    EXPECT_EQ(sketch::ShowPersonDetails(view, view.viewWidget(), -2), nullptr);
    testsupport::processDeferredDeletes();
    EXPECT_EQ(view.widget.findChildren<CDetailsWnd*>(), QList<CDetailsWnd*>{shown});
    EXPECT_TRUE(shown->isVisible());
}

}  // namespace
