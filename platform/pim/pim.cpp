#include "pim/pim.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#include "fs/devfs.h"

namespace pim {
namespace {

std::atomic<int> g_liveObjects{0};
std::atomic<int> g_liveStrings{0};
std::atomic<int> g_comInits{0};

struct FaultState {
    std::mutex mutex;
    std::vector<faults::Rule> rules;
};

FaultState& faultState() {
    static FaultState s;
    return s;
}

// The error an armed rule imposes on this call, or S_OK.
HRESULT checkFault(faults::Op op) {
    FaultState& s = faultState();
    std::lock_guard lock(s.mutex);
    for (faults::Rule& r : s.rules) {
        if (r.op != op || r.times == 0) continue;
        if (r.skip > 0) {
            --r.skip;
            continue;
        }
        if (r.times > 0) --r.times;
        return r.error;
    }
    return S_OK;
}

// Reference counting shared by every object; each counts itself live until its last release.
template <class Interface>
class Object : public Interface {
public:
    Object() { ++g_liveObjects; }
    virtual ~Object() { --g_liveObjects; }
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        const uint32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<uint32_t> refs_{1};
};

BSTR newString(const std::u16string& text) {
    auto* s = new char16_t[text.size() + 1];
    std::copy(text.begin(), text.end(), s);
    s[text.size()] = 0;
    ++g_liveStrings;
    return s;
}

class Contact final : public Object<IContact> {
public:
    explicit Contact(ContactFields fields) : f_(std::move(fields)) {}

    HRESULT get_FirstName(BSTR* out) override { return give(f_.firstName, out); }
    HRESULT get_LastName(BSTR* out) override { return give(f_.lastName, out); }
    HRESULT get_CompanyName(BSTR* out) override { return give(f_.companyName, out); }
    HRESULT get_JobTitle(BSTR* out) override { return give(f_.jobTitle, out); }
    HRESULT get_BusinessAddressStreet(BSTR* out) override {
        return give(f_.businessAddressStreet, out);
    }
    HRESULT get_BusinessAddressCity(BSTR* out) override { return give(f_.businessAddressCity, out); }
    HRESULT get_BusinessAddressState(BSTR* out) override {
        return give(f_.businessAddressState, out);
    }
    HRESULT get_BusinessAddressPostalCode(BSTR* out) override {
        return give(f_.businessAddressPostalCode, out);
    }
    HRESULT get_BusinessAddressCountry(BSTR* out) override {
        return give(f_.businessAddressCountry, out);
    }
    HRESULT get_MobileTelephoneNumber(BSTR* out) override {
        return give(f_.mobileTelephoneNumber, out);
    }
    HRESULT get_BusinessTelephoneNumber(BSTR* out) override {
        return give(f_.businessTelephoneNumber, out);
    }
    HRESULT get_HomeTelephoneNumber(BSTR* out) override {
        return give(f_.homeTelephoneNumber, out);
    }
    HRESULT get_BusinessFaxNumber(BSTR* out) override { return give(f_.businessFaxNumber, out); }
    HRESULT get_Email1Address(BSTR* out) override { return give(f_.email1Address, out); }
    HRESULT get_Categories(BSTR* out) override { return give(f_.categories, out); }
    HRESULT get_Birthday(DATE* out) override { return date(f_.birthday, out); }
    HRESULT get_Anniversary(DATE* out) override { return date(f_.anniversary, out); }

private:
    static HRESULT give(const std::u16string& text, BSTR* out) {
        if (!out) return E_POINTER;
        *out = newString(text);
        return S_OK;
    }
    static HRESULT date(DATE value, DATE* out) {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }

    ContactFields f_;
};

class ItemCollection final : public Object<IPOutlookItemCollection> {
public:
    ItemCollection(std::vector<ContactFields> contacts, int unreadable)
        : contacts_(std::move(contacts)), unreadable_(unreadable) {}

    HRESULT get_Count(int* count) override {
        if (!count) return E_POINTER;
        if (HRESULT hr = checkFault(faults::Op::GetCount); FAILED(hr)) return hr;
        *count = int(contacts_.size());
        return S_OK;
    }
    HRESULT Item(int index, IContact** contact) override {
        if (!contact) return E_POINTER;
        *contact = nullptr;
        if (HRESULT hr = checkFault(faults::Op::Item); FAILED(hr)) return hr;
        if (index < 1 || size_t(index) > contacts_.size()) return E_INVALIDARG;
        *contact = new Contact(contacts_[size_t(index) - 1]);
        return S_OK;
    }
    HRESULT get_Unreadable(int* count) override {
        if (!count) return E_POINTER;
        *count = unreadable_;
        return S_OK;
    }

private:
    std::vector<ContactFields> contacts_;
    int unreadable_;
};

class ContactsFolder final : public Object<IFolder> {
public:
    HRESULT get_Items(IPOutlookItemCollection** items) override {
        if (!items) return E_POINTER;
        *items = nullptr;
        if (HRESULT hr = checkFault(faults::Op::GetItems); FAILED(hr)) return hr;
        std::vector<ContactFields> contacts;
        int unreadable = 0;
        const std::filesystem::path folder = devfs::toHost(kContactsFolder);
        for (const std::u16string& name : devfs::findFiles(kContactsFolder, u"*.vcf")) {
            std::ifstream in(folder / devfs::toUtf8(name), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            if (!in) {
                ++unreadable;  // a file that cannot be read counts as one card lost
                continue;
            }
            VCardFile file = readVCards(bytes.view());
            unreadable += file.unreadable;
            std::move(file.contacts.begin(), file.contacts.end(), std::back_inserter(contacts));
        }
        *items = new ItemCollection(std::move(contacts), unreadable);
        return S_OK;
    }
};

class Application final : public Object<IPOutlookApp> {
public:
    HRESULT Logon(intptr_t) override {
        if (HRESULT hr = checkFault(faults::Op::Logon); FAILED(hr)) return hr;
        loggedOn_ = true;
        return S_OK;
    }
    HRESULT Logoff() override {
        if (!loggedOn_) return E_UNEXPECTED;
        loggedOn_ = false;
        return S_OK;
    }
    HRESULT GetDefaultFolder(int folder, IFolder** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (HRESULT hr = checkFault(faults::Op::GetDefaultFolder); FAILED(hr)) return hr;
        if (!loggedOn_) return E_UNEXPECTED;
        if (folder != olFolderContacts) return E_INVALIDARG;
        devfs::createFolder(kContactsFolder);
        *out = new ContactsFolder;
        return S_OK;
    }
    void SysFreeString(BSTR text) override {
        if (!text) return;
        delete[] text;
        --g_liveStrings;
    }

private:
    bool loggedOn_ = false;
};

}  // namespace

HRESULT CoInitializeEx(void*, uint32_t) {
    if (HRESULT hr = checkFault(faults::Op::CoInitialize); FAILED(hr)) return hr;
    ++g_comInits;
    return S_OK;
}

void CoUninitialize() {
    if (g_comInits > 0) --g_comInits;
}

HRESULT CreatePOutlookApp(IPOutlookApp** app) {
    if (!app) return E_POINTER;
    *app = nullptr;
    if (g_comInits == 0) return E_UNEXPECTED;  // CO_E_NOTINITIALIZED on the device
    if (HRESULT hr = checkFault(faults::Op::CreateApp); FAILED(hr)) return hr;
    *app = new Application;
    return S_OK;
}

int liveObjects() { return g_liveObjects; }
int liveStrings() { return g_liveStrings; }
int comInitializations() { return g_comInits; }

namespace faults {

void arm(const Rule& rule) {
    std::lock_guard lock(faultState().mutex);
    faultState().rules.push_back(rule);
}

void clear() {
    std::lock_guard lock(faultState().mutex);
    faultState().rules.clear();
    g_liveObjects = 0;
    g_liveStrings = 0;
    g_comInits = 0;
}

}  // namespace faults

}  // namespace pim
