// The person editor's and the group choice's tests: a main view stand-in over a real store on
// the test's own device root, with both databases created (and so the default categories).
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "recording_main_view.h"
#include "qt/screen_test.h"
#include "store/record_store.h"
#include "strings/string_table.h"

class PeopleScreenTest : public testsupport::ScreenTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(view.store().CreateDatabases());
        ASSERT_TRUE(view.store().OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    }

    std::vector<std::u16string> categories() {
        std::vector<std::u16string> list;
        view.store().RefreshCategories(list);
        return list;
    }

    // Every person record, in identifier order.
    std::vector<RecordImage> persons() {
        std::vector<int32_t> ids;
        view.store().walkRecords(PersonKind, {PropId}, [&](const RecordImage& r) {
            ids.push_back(r.id);
            return true;
        });
        std::vector<RecordImage> out;
        for (int32_t id : ids) {
            RecordImage r;
            r.kind = PersonKind;
            r.id = id;
            EXPECT_TRUE(view.store().ReadRecord(r));
            out.push_back(r);
        }
        return out;
    }

    CRecordStore store;
    RecordingMainView view{store};
};

inline QString qtext(std::u16string_view stored) {
    return QStringView(stored.data(), qsizetype(stored.size())).toString();
}
