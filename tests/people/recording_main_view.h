// A stand-in for the main view over a given store: it records what the screens ask of it
// (commands, refreshes, the current person) instead of running them.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "store/record_store.h"
#include "view_contract/main_view.h"

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
