// The person editor's and the group choice's tests: a main view stand-in over a real store on
// the test's own device root, with both databases created (and so the default categories).
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "app/main_view.h"
#include "qt/screen_test.h"
#include "store/record_store.h"
#include "strings/string_table.h"

class StandInView : public MainView {
public:
    CRecordStore& store() override { return store_; }
    QWidget* viewWidget() override { return &widget_; }
    void ShowPane(int, int) override {}
    void ShowFrontPane() override {}
    QWidget* paneWindow(int) const override { return nullptr; }
    QWidget* OpenPane(int) override { return nullptr; }
    void setCurrentPerson(const QString& name, int personId) override {
        name_ = name;
        personId_ = personId;
    }
    QString currentName() const override { return name_; }
    int currentPersonId() const override { return personId_; }
    void setCurrentItemId(int itemId) override { itemId_ = itemId; }
    int currentItemId() const override { return itemId_; }
    void runCommand(int) override {}
    void RefreshMainScreens() override { ++refreshes; }

    int refreshes = 0;

private:
    CRecordStore store_;
    QWidget widget_;
    QString name_;
    int personId_ = 0;
    int itemId_ = 0;
};

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

    StandInView view;
};

inline QString qtext(std::u16string_view stored) {
    return QStringView(stored.data(), qsizetype(stored.size())).toString();
}
