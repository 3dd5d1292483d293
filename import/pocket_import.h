// "포켓 아웃룩 주소록" (command 32818): the handheld's own contacts become people, with their
// birthdays and wedding anniversaries as yearly anniversaries.
#pragma once

#include <QPointer>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pim/pim.h"
#include "store/record_image.h"
#include "store/record_store.h"

class MainView;
class QLabel;
class QProgressBar;
class QWidget;

namespace shell {
class WaitCursor;
}

// The document's import: the connection to the contact store, the known-people table and the
// duplicate questions. One object serves one command.
class CPocketImport {
public:
    explicit CPocketImport(MainView& view);
    // Releases whatever of the connection is still held.
    ~CPocketImport();
    CPocketImport(const CPocketImport&) = delete;
    CPocketImport& operator=(const CPocketImport&) = delete;

    // The whole command: the question, the import, its closing message, the refresh.
    void OnImportPocketContacts();

    // Reads every contact and adds those the duplicate check lets through. True on success
    // (including an empty contact store); false, after saying why, when the contact store
    // cannot be reached, a contact cannot be fetched or the store fails to keep a batch.
    // The contacts handled before a failure stay stored, each whole with its anniversaries.
    bool ImportContacts();

    // What the last ImportContacts did.
    struct Counts {
        int added = 0;       // persons stored
        int skipped = 0;     // duplicates skipped (silently or by the user's No)
        int failed = 0;      // contacts the store could not keep
        int unreadable = 0;  // cards the contact store could not read
    };
    const Counts& counts() const { return counts_; }

    // Contacts from this many on show a progress window while they are read.
    static constexpr int kProgressFrom = 200;
    // Contacts written in one durable transaction.
    static constexpr int kBatchSize = 100;

private:
    bool OpenConnection();
    void ReleaseConnection();
    void LoadKnownPeople();
    // True when the contact is to be added; asks the user about a likely duplicate.
    bool CheckDuplicate(const RecordImage& person);
    int ask(const QString& text, unsigned flags, const QString& caption = {});
    void error(const QString& text);
    // Adds the person and its anniversaries as one: all of them or none.
    bool AddContact(const pim::ContactFields& contact);
    bool CommitBatch();
    // Adds the imported people's groups that are not categories yet to the category list.
    void AddNewCategories();
    void ShowProgress(int done, int total);

    MainView& view_;
    CRecordStore& store_;
    bool comInitialized_ = false;
    bool loggedOn_ = false;
    pim::IPOutlookApp* app_ = nullptr;
    pim::IFolder* folder_ = nullptr;
    pim::IPOutlookItemCollection* items_ = nullptr;

    std::vector<std::u16string> knownNames_;
    std::vector<std::u16string> knownEmails_;
    std::vector<std::u16string> importedGroups_;  // the group lists of the people stored
    std::vector<std::u16string> pendingGroups_;   // and of those in the open batch

    std::optional<CRecordStore::Batch> batch_;
    int inBatch_ = 0;         // contacts added in the open batch
    bool batchLost_ = false;  // a batch failed to commit: none of it is stored
    std::unique_ptr<shell::WaitCursor> wait_;
    QPointer<QWidget> progress_;
    Counts counts_;
};

namespace contactimport {
// Reads every field of a contact, freeing each string at once through the application object.
pim::ContactFields readContact(pim::IPOutlookApp& app, pim::IContact& contact);
}  // namespace contactimport
