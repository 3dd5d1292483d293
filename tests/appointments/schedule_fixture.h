// A store on a fresh device root with helpers that add appointments and anniversaries as the
// editors write them, and the main view stand-in of the people tests.
#pragma once

#include "clock/clock.h"
#include "qt/screen_test.h"
#include "recording_main_view.h"
#include "store/record_store.h"
#include "store/repeat_rule.h"
#include "strings/string_table.h"

class ScheduleTest : public testsupport::ScreenTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
        clk::SystemTime now;
        now.year = 2005, now.month = 3, now.day = 15, now.hour = 10;
        clk::setDeviceTime(now);
        clk::freeze(true);
    }

    static cedb::FileTime at(int y, int m, int d, int hour = 0, int minute = 0) {
        clk::SystemTime t;
        t.year = y, t.month = m, t.day = d, t.hour = hour, t.minute = minute;
        return *clk::toFileTime(t);
    }

    int addAppointment(int y, int m, int d, int hour, int minute, const char16_t* content) {
        RecordImage r{};
        r.kind = AppointmentKind;
        setText(r.participantIds, u"11;#;");
        setText(r.participantNames, u"홍길동;");
        r.start = at(y, m, d, hour, minute);
        r.end = at(y, m, d, hour, minute);
        setText(r.content, content);
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }

    int addAnniversary(const char16_t* name, int y, int m, int d, repeat::Rule rule,
                       const char16_t* content, int personId = 11) {
        RecordImage r{};
        r.kind = AnniversaryKind;
        setText(r.participantIds,
                std::u16string(std::u16string_view(QString::number(personId).toStdU16String())));
        setText(r.participantNames, name);
        r.start = at(y, m, d);
        setText(r.place, repeat::write(rule));
        setText(r.content, content);
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }

    CRecordStore store;
    RecordingMainView view{store};
};
