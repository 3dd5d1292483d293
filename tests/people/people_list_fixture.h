// A store with its databases on a fresh device root, a stand-in for the main view that records
// what the people screens ask of it, and helpers that add people.
#pragma once

#include <QWidget>
#include <vector>

#include "app/main_view.h"
#include "qt/screen_test.h"
#include "store/record_store.h"
#include "strings/string_table.h"

class RecordingMainView : public MainView {
public:
    explicit RecordingMainView(CRecordStore& store) : store_(store) {
        widget.setGeometry(0, 26, 240, 268);
    }

    CRecordStore& store() override { return store_; }
    QWidget* viewWidget() override { return &widget; }
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
    void runCommand(int commandId) override { commands.push_back(commandId); }
    void RefreshMainScreens() override {
        ++refreshes;
        if (onRefresh) onRefresh();
    }

    QWidget widget;
    std::vector<int> commands;
    int refreshes = 0;
    std::function<void()> onRefresh;

private:
    CRecordStore& store_;
    QString name_;
    int personId_ = 0;
    int itemId_ = 0;
};

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
