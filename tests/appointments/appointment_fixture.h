// The appointment screens' tests: a main view stand-in over a real store on the test's own
// device root, with both databases created, and helpers to make and read records.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "clock/clock.h"
#include "qt/screen_test.h"
#include "recording_main_view.h"
#include "store/record_store.h"
#include "strings/string_table.h"

class AppointmentScreenTest : public testsupport::ScreenTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    }

    int addPerson(const std::u16string& name, const std::u16string& groups = u"") {
        RecordImage image{};
        image.kind = PersonKind;
        setText(image.name, name);
        setText(image.groups, groups);
        EXPECT_TRUE(store.AddRecord(image));
        return image.id;
    }

    static cedb::FileTime fileTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
        clk::SystemTime t;
        t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
        return *clk::toFileTime(t);
    }

    int addAppointment(const std::u16string& ids, const std::u16string& names, cedb::FileTime start,
                       cedb::FileTime end, const std::u16string& content) {
        RecordImage image{};
        image.kind = AppointmentKind;
        setText(image.participantIds, ids);
        setText(image.participantNames, names);
        image.start = start;
        image.end = end;
        setText(image.content, content);
        EXPECT_TRUE(store.AddRecord(image));
        return image.id;
    }

    std::vector<RecordImage> appointments() {
        std::vector<int32_t> keys;
        store.walkRecords(AppointmentKind, {PropKey}, [&](const RecordImage& r) {
            keys.push_back(r.key);
            return true;
        });
        std::vector<RecordImage> out;
        for (int32_t key : keys) {
            RecordImage r{};
            r.kind = AppointmentKind;
            r.key = key;
            r.id = key;
            EXPECT_TRUE(store.ReadRecord(r));
            out.push_back(r);
        }
        return out;
    }

    CRecordStore store;
    RecordingMainView view{store};
};

inline QString qtext(std::u16string_view stored) {
    return QString::fromUtf16(stored.data(), qsizetype(stored.size()));
}
