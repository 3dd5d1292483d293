// The handheld's contact store and its small object model, in the minimal COM shape of the
// device's own: an application object, the contacts folder, its item collection and the
// contacts, each reference counted and released by its user; texts returned as strings that
// the caller frees through the application object.
//
// The contacts are the cards of every "*.vcf" file in the device folder "\Contacts" (files in
// name order, cards in file order), read when the folder's items are asked for. A person drops
// the file their phone or address book exported into that folder and imports it.
//
// Calls report failure by an HRESULT; `faults` makes each checked call fail on command.
#pragma once

#include <cstdint>
#include <string>

#include "pim/vcard.h"

namespace pim {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = int32_t(0x80004005);
inline constexpr HRESULT E_POINTER = int32_t(0x80004003);
inline constexpr HRESULT E_INVALIDARG = int32_t(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = int32_t(0x8007000E);
inline constexpr HRESULT E_UNEXPECTED = int32_t(0x8000FFFF);
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// A string handed out by the store: zero-terminated UTF-16, freed with
// IPOutlookApp::SysFreeString (never with delete).
using BSTR = char16_t*;

// GetDefaultFolder's folder for contacts.
inline constexpr int olFolderContacts = 10;

// The device folder the contact store reads.
inline constexpr char16_t kContactsFolder[] = u"\\Contacts";

class IUnknown {
public:
    virtual uint32_t AddRef() = 0;
    // Frees the object with its last reference.
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// One contact. The text getters return S_OK and a new string (empty when the card has none);
// the dates return S_OK and the OLE date, 0 when the card has none.
class IContact : public IUnknown {
public:
    virtual HRESULT get_FirstName(BSTR* out) = 0;
    virtual HRESULT get_LastName(BSTR* out) = 0;
    virtual HRESULT get_CompanyName(BSTR* out) = 0;
    virtual HRESULT get_JobTitle(BSTR* out) = 0;
    virtual HRESULT get_BusinessAddressStreet(BSTR* out) = 0;
    virtual HRESULT get_BusinessAddressCity(BSTR* out) = 0;
    virtual HRESULT get_BusinessAddressState(BSTR* out) = 0;
    virtual HRESULT get_BusinessAddressPostalCode(BSTR* out) = 0;
    virtual HRESULT get_BusinessAddressCountry(BSTR* out) = 0;
    virtual HRESULT get_MobileTelephoneNumber(BSTR* out) = 0;
    virtual HRESULT get_BusinessTelephoneNumber(BSTR* out) = 0;
    virtual HRESULT get_HomeTelephoneNumber(BSTR* out) = 0;
    virtual HRESULT get_BusinessFaxNumber(BSTR* out) = 0;
    virtual HRESULT get_Email1Address(BSTR* out) = 0;
    virtual HRESULT get_Categories(BSTR* out) = 0;
    virtual HRESULT get_Birthday(DATE* out) = 0;
    virtual HRESULT get_Anniversary(DATE* out) = 0;

protected:
    ~IContact() = default;
};

class IPOutlookItemCollection : public IUnknown {
public:
    virtual HRESULT get_Count(int* count) = 0;
    // The contact at `index`, 1 to the count; E_INVALIDARG outside that range.
    virtual HRESULT Item(int index, IContact** contact) = 0;
    // How many cards could not be read and are not among the items.
    virtual HRESULT get_Unreadable(int* count) = 0;

protected:
    ~IPOutlookItemCollection() = default;
};

class IFolder : public IUnknown {
public:
    // Reads the contact files now; the collection keeps what it read.
    virtual HRESULT get_Items(IPOutlookItemCollection** items) = 0;

protected:
    ~IFolder() = default;
};

class IPOutlookApp : public IUnknown {
public:
    virtual HRESULT Logon(intptr_t window) = 0;
    virtual HRESULT Logoff() = 0;
    // olFolderContacts only (E_INVALIDARG otherwise); E_UNEXPECTED before Logon. Creates the
    // contacts folder in the device root when it is missing, so a person sees where to put
    // their files.
    virtual HRESULT GetDefaultFolder(int folder, IFolder** out) = 0;
    virtual void SysFreeString(BSTR text) = 0;

protected:
    ~IPOutlookApp() = default;
};

// The thread's COM initialisation; balanced by CoUninitialize.
HRESULT CoInitializeEx(void* reserved, uint32_t flags);
void CoUninitialize();
// Creates the application object (in-process), with one reference.
HRESULT CreatePOutlookApp(IPOutlookApp** app);

// For tests: objects and strings handed out and not yet released or freed, and the COM
// initialisations not yet balanced. All three are 0 when every path cleaned up after itself.
int liveObjects();
int liveStrings();
int comInitializations();

namespace faults {
enum class Op {
    CoInitialize,
    CreateApp,
    Logon,
    GetDefaultFolder,
    GetItems,
    GetCount,
    Item,
};
struct Rule {
    Op op = Op::Item;
    HRESULT error = E_FAIL;
    int skip = 0;   // matching calls let through first
    int times = 1;  // failures before the rule is spent; -1 for ever
};
void arm(const Rule& rule);
// Removes every rule and zeroes the counters above (a test's leftovers never reach the next).
void clear();
}  // namespace faults

}  // namespace pim
