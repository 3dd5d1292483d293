// The document: owns the record store and carries out the menu commands that act on the
// current person.
#pragma once

#include <memory>

#include "store/record_store.h"

class MainView;
struct Screens;

class CLayoutDoc {
public:
    // Creates the record store, creates the databases on a first run and opens "Quorin
    // Database". Failures are not reported here: each later record operation fails instead.
    CLayoutDoc();
    // Closes the main database when it was opened.
    ~CLayoutDoc();

    CRecordStore& store() { return *store_; }
    bool isOpened() const { return opened_; }

    // Carries out a document command on `view`; false for a command the document does not
    // handle.
    bool OnCommand(int commandId, MainView& view, const Screens& screens);
    // Hides the window of every created pane other than `target`.
    void HideOtherPanes(MainView& view, int target);

private:
    std::unique_ptr<CRecordStore> store_;
    bool opened_ = false;
};
