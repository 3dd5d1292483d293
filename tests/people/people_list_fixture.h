// A store with its databases on a fresh device root, a stand-in for the main view that records
// what the people screens ask of it, and helpers that add people.
#pragma once

#include <QWidget>
#include <vector>

#include "recording_main_view.h"
#include "qt/screen_test.h"
#include "store/record_store.h"
#include "strings/string_table.h"

class PeopleTest : public testsupport::ScreenTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    }

    // Adds a person; returns the new identifier.
    int addPerson(const QString& name, const QString& groups = {},
                  const QString& workPhone = QStringLiteral("None")) {
        RecordImage image{};
        image.kind = PersonKind;
        setText(image.name, name.toStdU16String());
        setText(image.groups, groups.toStdU16String());
        setText(image.workPhone, workPhone.toStdU16String());
        for (auto* field : {image.mobile, image.homePhone, image.fax}) {
            setText(std::span<char16_t>(field, 20), u"None");
        }
        EXPECT_TRUE(store.AddRecord(image));
        return image.id;
    }

    CRecordStore store;
    RecordingMainView view{store};
};
