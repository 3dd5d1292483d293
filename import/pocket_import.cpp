#include "import/pocket_import.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "clock/clock.h"
#include "import/contact_mapping.h"
#include "people/category_rows.h"
#include "shell/message_box.h"
#include "shell/shell.h"
#include "strings/string_table.h"
#include "view_contract/main_view.h"

using namespace contactimport;

namespace {

const QString kAskImport = QStringLiteral("지금 데이타를 가져오시겠습니까?");
const QString kSucceeded = QStringLiteral("포팅이 성공적으로 끝났습니다..");
const QString kFailed =
    QStringLiteral("포팅에 실패하였습니다..데이타를 정리하고 다시 시도하세요..");
const QString kSaveError = QStringLiteral("저장하는 도중 에러가 발생했습니다..");
const QString kErrorCaption = QStringLiteral("Error");

QString qs(std::u16string_view s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

// Reads one text property and frees the string at once.
template <class Getter>
std::u16string take(pim::IPOutlookApp& app, pim::IContact& contact, Getter getter) {
    pim::BSTR s = nullptr;
    std::u16string out;
    if (pim::SUCCEEDED((contact.*getter)(&s)) && s) out = s;
    app.SysFreeString(s);
    return out;
}

// The small window that shows how far a long import has come.
class ImportProgressWnd : public QFrame {
public:
    explicit ImportProgressWnd(QWidget* parent)
        : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint) {
        setObjectName(QStringLiteral("importProgress"));
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setAttribute(Qt::WA_DeleteOnClose);
        setStyleSheet(QStringLiteral("background: white;"));
        setGeometry(20, 130, 200, 60);
        label_ = new QLabel(this);
        label_->setGeometry(8, 6, 184, 20);
        bar_ = new QProgressBar(this);
        bar_->setGeometry(8, 32, 184, 18);
        bar_->setTextVisible(false);
    }
    void set(int done, int total) {
        label_->setText(QStringLiteral("연락처를 가져오는 중... %1/%2").arg(done).arg(total));
        bar_->setRange(0, total);
        bar_->setValue(done);
    }

private:
    QLabel* label_;
    QProgressBar* bar_;
};

}  // namespace

namespace contactimport {

pim::ContactFields readContact(pim::IPOutlookApp& app, pim::IContact& c) {
    using I = pim::IContact;
    pim::ContactFields f;
    f.firstName = take(app, c, &I::get_FirstName);
    f.lastName = take(app, c, &I::get_LastName);
    f.companyName = take(app, c, &I::get_CompanyName);
    f.jobTitle = take(app, c, &I::get_JobTitle);
    f.businessAddressCountry = take(app, c, &I::get_BusinessAddressCountry);
    f.businessAddressState = take(app, c, &I::get_BusinessAddressState);
    f.businessAddressCity = take(app, c, &I::get_BusinessAddressCity);
    f.businessAddressStreet = take(app, c, &I::get_BusinessAddressStreet);
    f.mobileTelephoneNumber = take(app, c, &I::get_MobileTelephoneNumber);
    f.businessTelephoneNumber = take(app, c, &I::get_BusinessTelephoneNumber);
    f.homeTelephoneNumber = take(app, c, &I::get_HomeTelephoneNumber);
    f.businessFaxNumber = take(app, c, &I::get_BusinessFaxNumber);
    f.email1Address = take(app, c, &I::get_Email1Address);
    f.categories = take(app, c, &I::get_Categories);
    if (pim::FAILED(c.get_Birthday(&f.birthday))) f.birthday = 0;
    if (pim::FAILED(c.get_Anniversary(&f.anniversary))) f.anniversary = 0;
    return f;
}

}  // namespace contactimport

CPocketImport::CPocketImport(MainView& view) : view_(view), store_(view.store()) {}

CPocketImport::~CPocketImport() {
    batch_.reset();  // a batch still open here was not committed: it is rolled back
    ReleaseConnection();
    if (progress_) delete progress_.data();
}

int CPocketImport::ask(const QString& text, unsigned flags, const QString& caption) {
    // A question waits on the user: the store is not held meanwhile, nor the wait cursor shown.
    CommitBatch();
    const bool waiting = wait_ != nullptr;
    wait_.reset();
    const int answer = shell::messageBox(view_.viewWidget(), text, caption, flags);
    if (waiting) wait_ = std::make_unique<shell::WaitCursor>();
    return answer;
}

void CPocketImport::error(const QString& text) {
    ask(text, shell::MB_OK | shell::MB_ICONSTOP, kErrorCaption);
}

void CPocketImport::OnImportPocketContacts() {
    if (shell::messageBox(view_.viewWidget(), kAskImport, {}, shell::MB_YESNO) != shell::IDYES)
        return;
    const bool ok = ImportContacts();
    AddNewCategories();
    // The connection goes on every path, not only after a success: a failed import must not
    // keep the contact store's objects until the program ends.
    ReleaseConnection();
    if (!ok) {
        shell::messageBox(view_.viewWidget(), kFailed);
        return;
    }
    if (counts_.unreadable > 0) {
        shell::messageBox(view_.viewWidget(),
                          QStringLiteral("읽을 수 없는 연락처 %1개는 가져오지 않았습니다..")
                              .arg(counts_.unreadable),
                          {}, shell::MB_OK | shell::MB_ICONWARNING);
    }
    shell::messageBox(view_.viewWidget(), kSucceeded);
    view_.RefreshMainScreens();
}

bool CPocketImport::OpenConnection() {
    if (pim::FAILED(pim::CoInitializeEx(nullptr, 0))) {
        error(QStringLiteral("Error in call to CoInitializeEx "));
        return false;
    }
    comInitialized_ = true;
    if (pim::FAILED(pim::CreatePOutlookApp(&app_))) {
        app_ = nullptr;
        error(QStringLiteral("Error in call to CoCreateInstance"));
        return false;
    }
    if (pim::FAILED(app_->Logon(reinterpret_cast<intptr_t>(view_.viewWidget())))) {
        error(QStringLiteral("Failure to obtain Contact folder"));
        return false;
    }
    loggedOn_ = true;
    // The folder's items and their count belong to reaching the folder: without them there is
    // no folder to read.
    int count = 0;
    if (pim::FAILED(app_->GetDefaultFolder(pim::olFolderContacts, &folder_)) ||
        pim::FAILED(folder_->get_Items(&items_)) || pim::FAILED(items_->get_Count(&count))) {
        error(QStringLiteral("Failure to obtain Contact Folder"));
        return false;
    }
    return true;
}

void CPocketImport::ReleaseConnection() {
    if (items_) items_->Release();
    if (folder_) folder_->Release();
    if (app_) {
        if (loggedOn_) app_->Logoff();
        app_->Release();
    }
    if (comInitialized_) pim::CoUninitialize();
    items_ = nullptr;
    folder_ = nullptr;
    app_ = nullptr;
    loggedOn_ = false;
    comInitialized_ = false;
}

void CPocketImport::LoadKnownPeople() {
    knownNames_.clear();
    knownEmails_.clear();
    store_.walkRecords(PersonKind, {PropName, PropEmail}, [&](const RecordImage& r) {
        knownNames_.emplace_back(text(r.name));
        knownEmails_.emplace_back(text(r.email));
        return true;
    });
}

bool CPocketImport::CheckDuplicate(const RecordImage& person) {
    const std::u16string_view name = text(person.name);
    const std::u16string_view email = text(person.email);
    const bool named = name != kNoName;
    // A known person with the same name and e-mail is this contact already there. It is looked
    // for among all of them before any question: a Yes to a question about someone else with
    // the same name would otherwise add a real duplicate.
    if (named && !email.empty()) {
        for (size_t i = 0; i < knownNames_.size(); ++i)
            if (knownNames_[i] == name && knownEmails_[i] == email) return false;
    }
    const unsigned flags = shell::MB_YESNO | shell::MB_ICONSTOP;
    for (size_t i = 0; i < knownNames_.size(); ++i) {
        if (named && knownNames_[i] == name)
            return ask(qs(name) + qs(res::loadString(res::IDS_NAME_EXISTS)), flags) == shell::IDYES;
        if (!email.empty() && knownEmails_[i] == email)
            return ask(qs(email) + qs(res::loadString(res::IDS_EMAIL_EXISTS)), flags) ==
                   shell::IDYES;
    }
    return true;
}

bool CPocketImport::CommitBatch() {
    bool ok = true;
    if (batch_) {
        ok = batch_->commit();
        batch_.reset();
        if (!ok) {
            counts_.failed += inBatch_;
            counts_.added -= inBatch_;
            batchLost_ = true;
        }
        inBatch_ = 0;
    }
    // Only the groups of people who are surely stored become categories.
    if (ok)
        importedGroups_.insert(importedGroups_.end(), pendingGroups_.begin(), pendingGroups_.end());
    pendingGroups_.clear();
    return ok;
}

void CPocketImport::AddNewCategories() {
    // After the last batch: the category list is in the registry, which the open batch would
    // keep from being written.
    std::vector<std::u16string> categories;
    store_.RefreshCategories(categories);
    for (const std::u16string& groups : importedGroups_) {
        for (const QString& name : people::splitGroupList(qs(groups))) {
            const std::u16string n = name.toStdU16String();
            if (std::find(categories.begin(), categories.end(), n) != categories.end()) continue;
            if (store_.AddCategory(n)) categories.push_back(n);
        }
    }
    importedGroups_.clear();
}

bool CPocketImport::AddContact(const pim::ContactFields& contact) {
    const cedb::FileTime now = clk::toFileTime(clk::localTime()).value_or(cedb::FileTime{});
    // A person is stored with its anniversaries or not at all: a person whose birthday was
    // silently dropped would look imported and not be.
    CRecordStore::Batch one(store_);
    RecordImage person = personOf(contact, now);
    if (!store_.AddRecord(person)) return false;
    if (contact.birthday > 0) {
        RecordImage birthday = anniversaryOf(person, contact.birthday, kBirthdayContent, now);
        if (!store_.AddRecord(birthday)) return false;
    }
    if (contact.anniversary > 0) {
        RecordImage wedding = anniversaryOf(person, contact.anniversary, kWeddingContent, now);
        if (!store_.AddRecord(wedding)) return false;
    }
    if (one.begun() && !one.commit()) return false;
    if (person.groups[0]) pendingGroups_.emplace_back(text(person.groups));
    return true;
}

void CPocketImport::ShowProgress(int done, int total) {
    if (total < kProgressFrom) return;
    if (!progress_) {
        auto* w = new ImportProgressWnd(view_.viewWidget());
        const QPoint origin = view_.viewWidget()->window()->geometry().topLeft();
        w->move(origin + QPoint(20, 130));
        progress_ = w;
        w->set(done, total);
        w->show();
        // Shown before any batch is open; from then on it is painted directly, so that no
        // timer or tap is handled in the middle of the import.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    static_cast<ImportProgressWnd*>(progress_.data())->set(done, total);
    progress_->repaint();
}

bool CPocketImport::ImportContacts() {
    counts_ = {};
    batchLost_ = false;
    wait_ = std::make_unique<shell::WaitCursor>();
    const auto done = [&](bool ok) {
        wait_.reset();
        if (progress_) {
            progress_->close();
            progress_ = nullptr;
        }
        return ok;
    };
    if (!OpenConnection()) return done(false);
    LoadKnownPeople();
    int count = 0;
    items_->get_Count(&count);
    items_->get_Unreadable(&counts_.unreadable);

    for (int i = 1; i <= count; ++i) {
        // A batch committed before a question may have failed: the store is failing.
        if (batchLost_) {
            error(kSaveError);
            return done(false);
        }
        if ((i - 1) % 10 == 0) ShowProgress(i - 1, count);
        pim::IContact* item = nullptr;
        if (pim::FAILED(items_->Item(i, &item)) || !item) {
            // The contacts handled so far stay.
            CommitBatch();
            return done(false);
        }
        const pim::ContactFields contact = readContact(*app_, *item);
        item->Release();

        const RecordImage person = personOf(contact, {});
        if (!CheckDuplicate(person)) {
            ++counts_.skipped;
            continue;
        }
        if (!batch_) {
            // A store busy elsewhere takes the writes one at a time instead.
            batch_.emplace(store_);
            if (!batch_->begun()) batch_.reset();
        }
        if (!AddContact(contact)) {
            ++counts_.failed;
            error(kSaveError);
            continue;
        }
        ++counts_.added;
        if (batch_ && ++inBatch_ >= kBatchSize && !CommitBatch()) {
            error(kSaveError);
            return done(false);
        }
    }
    if (!CommitBatch() || batchLost_) {
        error(kSaveError);
        return done(false);
    }
    return done(true);
}
