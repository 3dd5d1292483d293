// The contact store: vCard files in the device's Contacts folder read into contact fields, and
// the object model over them.
#include "pim/pim.h"

#include <gtest/gtest.h>

#include <fstream>

#include "device_root.h"
#include "fs/devfs.h"

using namespace pim;

namespace {

ContactFields only(std::string_view bytes) {
    VCardFile f = readVCards(bytes);
    EXPECT_EQ(f.contacts.size(), 1u);
    EXPECT_EQ(f.unreadable, 0);
    return f.contacts.empty() ? ContactFields{} : f.contacts.front();
}

TEST(VCardTest, Version21WithQuotedPrintableEucKrAndTypedNumbers) {
    // "홍길동" in EUC-KR, quoted-printable, with a soft line break inside it.
    const ContactFields c = only(
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=EUC-KR;ENCODING=QUOTED-PRINTABLE:=C8=AB;=B1=E6=\r\n=B5=BF;;;\r\n"
        "TEL;CELL:010-1234-5678\r\nTEL;WORK;FAX:02-999-0000\r\nTEL;HOME:02-111-2222\r\n"
        "TEL;WORK;VOICE:02-333-4444\r\nTEL;CELL:010-0000-0000\r\n"
        "ADR;HOME:;;집;서울;;;한국\r\nADR;WORK:;;테헤란로 1;강남구;서울;06000;대한민국\r\n"
        "EMAIL;INTERNET:hong@example.com\r\nEMAIL;INTERNET:second@example.com\r\n"
        "BDAY:19800517\r\nEND:VCARD\r\n");
    EXPECT_EQ(c.lastName, u"홍");
    EXPECT_EQ(c.firstName, u"길동");
    EXPECT_EQ(c.mobileTelephoneNumber, u"010-1234-5678") << "the first of each type";
    EXPECT_EQ(c.businessFaxNumber, u"02-999-0000");
    EXPECT_EQ(c.homeTelephoneNumber, u"02-111-2222");
    EXPECT_EQ(c.businessTelephoneNumber, u"02-333-4444");
    EXPECT_EQ(c.businessAddressStreet, u"테헤란로 1");
    EXPECT_EQ(c.businessAddressCity, u"강남구");
    EXPECT_EQ(c.businessAddressState, u"서울");
    EXPECT_EQ(c.businessAddressPostalCode, u"06000");
    EXPECT_EQ(c.businessAddressCountry, u"대한민국");
    EXPECT_EQ(c.email1Address, u"hong@example.com");
    EXPECT_EQ(c.birthday, oleDate(1980, 5, 17));
    EXPECT_EQ(c.anniversary, 0);
}

TEST(VCardTest, Version30EscapesFoldingCategoriesAndUntypedValues) {
    const ContactFields c = only(
        "BEGIN:VCARD\nVERSION:3.0\nN:Kim;Chul\\;su;;;\nFN:Kim Chulsu\n"
        "ORG:Acme\\, Inc;Research\nTITLE:Lead\\nEngineer\n"
        "ADR:;;1 Long Street Name That Goes\n  On;Springfield;;;\n"
        "TEL:111\nTEL;TYPE=VOICE:222\nTEL;TYPE=work,voice:333\nTEL:444\n"
        "CATEGORIES:친구,가족\\,회사\nX-MS-ANNIVERSARY:2005-10-09\nEND:VCARD\n");
    EXPECT_EQ(c.lastName, u"Kim");
    EXPECT_EQ(c.firstName, u"Chul;su");
    EXPECT_EQ(c.companyName, u"Acme, Inc");
    EXPECT_EQ(c.jobTitle, u"Lead Engineer") << "a line break becomes a blank";
    EXPECT_EQ(c.businessAddressStreet, u"1 Long Street Name That Goes On") << "the only address";
    EXPECT_EQ(c.businessAddressCity, u"Springfield");
    EXPECT_EQ(c.mobileTelephoneNumber, u"111") << "untyped numbers fill the free slots";
    EXPECT_EQ(c.homeTelephoneNumber, u"222");
    EXPECT_EQ(c.businessTelephoneNumber, u"333");
    EXPECT_EQ(c.categories, u"친구, 가족，회사") << "an escaped comma stays inside its category";
    EXPECT_EQ(c.anniversary, oleDate(2005, 10, 9));
}

TEST(VCardTest, Version40UriNumbersYearlessDatesAndLabelledAnniversaries) {
    const ContactFields c = only(
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:이순신\r\n"
        "TEL;VALUE=uri;TYPE=\"cell,voice\":tel:+82-10-5555-6666\r\n"
        "ADR;TYPE=home:;;A;B;;;\r\nADR;TYPE=home:;;C;D;;;\r\n"
        "BDAY:--0229\r\nANNIVERSARY:20000101T120000+0900\r\nEND:VCARD\r\n");
    EXPECT_EQ(c.lastName, u"이순신") << "the formatted name when there is no N";
    EXPECT_EQ(c.firstName, u"");
    EXPECT_EQ(c.mobileTelephoneNumber, u"+82-10-5555-6666");
    EXPECT_EQ(c.businessAddressStreet, u"") << "two addresses, neither of them work";
    EXPECT_EQ(c.birthday, oleDate(kNoYear, 2, 29));
    EXPECT_EQ(c.anniversary, oleDate(2000, 1, 1)) << "read literally, the zone ignored";

    const ContactFields apple = only(
        "BEGIN:VCARD\nVERSION:3.0\nN:Park;;;;\nBDAY;X-APPLE-OMIT-YEAR=1604:1604-03-01\n"
        "item1.X-ABDATE:2010-06-12\nitem1.X-ABLabel:_$!<Anniversary>!$_\n"
        "item2.X-ABDATE:2011-01-01\nitem2.X-ABLabel:Other\nEND:VCARD\n");
    EXPECT_EQ(apple.birthday, oleDate(kNoYear, 3, 1));
    EXPECT_EQ(apple.anniversary, oleDate(2010, 6, 12));
}

TEST(VCardTest, DatesAreReadLiterallyAndInvalidOnesAreNone) {
    EXPECT_EQ(oleDate(1899, 12, 31), 1);
    EXPECT_EQ(oleDate(1900, 3, 1), 61);
    EXPECT_EQ(readVCardDate("1980-05-17"), oleDate(1980, 5, 17));
    EXPECT_EQ(readVCardDate("19800517"), oleDate(1980, 5, 17));
    EXPECT_EQ(readVCardDate(" 1980-05-17T23:59:59Z"), oleDate(1980, 5, 17));
    EXPECT_EQ(readVCardDate("--02-29"), oleDate(1904, 2, 29));
    EXPECT_EQ(readVCardDate("2000-02-29"), oleDate(2000, 2, 29));
    EXPECT_EQ(readVCardDate("1899-12-30"), 0) << "the zero date is no date";
    EXPECT_LT(readVCardDate("1850-01-01"), 0);
    EXPECT_EQ(readVCardDate("2001-02-29"), 0);
    EXPECT_EQ(readVCardDate("1980-13-01"), 0);
    EXPECT_EQ(readVCardDate("--1340"), 0);
    EXPECT_EQ(readVCardDate("1980-05"), 0);
    EXPECT_EQ(readVCardDate("abcdefgh"), 0);
    EXPECT_EQ(readVCardDate(""), 0);
}

TEST(VCardTest, ABrokenCardCostsOnlyItselfAndByteOrderMarksLoseNothing) {
    const std::string good = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:A;;;;\r\nEND:VCARD\r\n";
    const std::string other = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:B;;;;\r\nEND:VCARD\r\n";
    VCardFile f = readVCards(
        "\xEF\xBB\xBF" + good + "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Never;Ended\r\n" + other +
        "BEGIN:VCARD\r\nVERSION:3.0\r\nEND:VCARD\r\n" + good + "BEGIN:VCARD\r\nN:Cut;Off\r\n");
    ASSERT_EQ(f.contacts.size(), 3u);
    EXPECT_EQ(f.contacts[0].lastName, u"A") << "the card after the byte-order mark";
    EXPECT_EQ(f.contacts[1].lastName, u"B");
    EXPECT_EQ(f.contacts[2].lastName, u"A");
    EXPECT_EQ(f.unreadable, 3);

    // UTF-16 with its mark, as some desktop address books write it.
    std::string utf16 = "\xFF\xFE";
    for (char16_t ch :
         std::u16string(u"BEGIN:VCARD\r\nVERSION:3.0\r\nN:박;지성;;;\r\nEND:VCARD\r\n")) {
        utf16 += char(ch & 0xFF);
        utf16 += char(ch >> 8);
    }
    EXPECT_EQ(only(utf16).firstName, u"지성");

    // A phone writing its own code page without a CHARSET: "김" in CP949.
    EXPECT_EQ(only("BEGIN:VCARD\nVERSION:2.1\nN:\xB1\xE8;;;;\nEND:VCARD\n").lastName, u"김");
    // Raw 8-bit text with its CHARSET named.
    EXPECT_EQ(only("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=EUC-KR;ENCODING=8BIT:\xB1\xE8;;;;\n"
                   "END:VCARD\n")
                  .lastName,
              u"김");
}

TEST(VCardTest, CardsInWesternGreekAndCyrillicCodePagesReadInTheCharsetTheyName) {
    // Windows-1252, named on the name's line only: the address is no CP949 (M秤litz).
    const ContactFields western = only(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=Windows-1252:M\xFCller;J\xFCrgen\r\n"
        "ADR;WORK:;;Hauptstra\xDF"
        "e 5;M\xF6\xDFlitz;;01234;Deutschland\r\nEND:VCARD\r\n");
    EXPECT_EQ(western.lastName, u"Müller");
    EXPECT_EQ(western.firstName, u"Jürgen");
    EXPECT_EQ(western.businessAddressStreet, u"Hauptstraße 5");
    EXPECT_EQ(western.businessAddressCity, u"Mößlitz");

    // Windows-1253 named on a quoted-printable name: a raw address and a quoted-printable
    // title that name none are Greek as well.
    const ContactFields greek = only(
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=windows-1253;ENCODING=QUOTED-PRINTABLE:=D0=E1=F0=E1=E4=FC=F0=EF=F5=EB=EF=F2;\r\n"
        "TITLE;ENCODING=QUOTED-PRINTABLE:=C4=E9=E5=F5=E8=F5=ED=F4=DE=F2\r\n"
        "ADR;WORK:;;;\xC1\xE8\xDE\xED\xE1;;;\r\nEND:VCARD\r\n");
    EXPECT_EQ(greek.lastName, u"Παπαδόπουλος");
    EXPECT_EQ(greek.jobTitle, u"Διευθυντής");
    EXPECT_EQ(greek.businessAddressCity, u"Αθήνα");

    // Windows-1251: "Київ" is not 褐욋, and a folded line keeps its property's charset.
    const ContactFields cyrillic = only(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=windows-1251:\xD8\xE5\xE2\xF7\xE5\xED\xEA\xEE;"
        "\xD2\xE0\xF0\xE0\xF1\r\n"
        "ORG:\xCA\xE8\xBF\xE2\xF1\xFC\xEA\xE0\r\n  \xF4\xE0\xE1\xF0\xE8\xEA\xE0\r\n"
        "ADR;WORK:;;\xE2\xF3\xEB. \xD5\xF0\xE5\xF9\xE0\xF2\xE8\xEA;\xCA\xE8\r\n \xBF\xE2;;;\r\n"
        "END:VCARD\r\n");
    EXPECT_EQ(cyrillic.lastName, u"Шевченко");
    EXPECT_EQ(cyrillic.firstName, u"Тарас");
    EXPECT_EQ(cyrillic.companyName, u"Київська фабрика");
    EXPECT_EQ(cyrillic.businessAddressStreet, u"вул. Хрещатик");
    EXPECT_EQ(cyrillic.businessAddressCity, u"Київ");

    // Undeclared text: UTF-8 where it is UTF-8, CP949 where every byte decodes, and otherwise
    // no text at all: the card is counted, not imported with replacement characters.
    EXPECT_EQ(only("BEGIN:VCARD\nVERSION:2.1\nN:M\xC3\xBCller;\nEND:VCARD\n").lastName, u"Müller");
    EXPECT_EQ(only("BEGIN:VCARD\nVERSION:2.1\nN:\xB1\xE8;\nEND:VCARD\n").lastName, u"김");
    for (const char* undecodable :
         {"BEGIN:VCARD\nVERSION:2.1\nN:Caf\xE9;\nEND:VCARD\n",
          "BEGIN:VCARD\nVERSION:2.1\nN;ENCODING=QUOTED-PRINTABLE:Caf=E9;\nEND:VCARD\n",
          "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=UTF-8:Caf\xE9;\nEND:VCARD\n"}) {
        const VCardFile f =
            readVCards(std::string(undecodable) + "BEGIN:VCARD\nN:Next;\nEND:VCARD\n");
        EXPECT_EQ(f.unreadable, 1) << undecodable;
        ASSERT_EQ(f.contacts.size(), 1u);
        EXPECT_EQ(f.contacts[0].lastName, u"Next");
    }
}

TEST(VCardTest, ASoftBreakBeforeTheEndAndAnEscapedSemicolonInACategoryStayInTheirPlace) {
    const VCardFile f = readVCards(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE:Kim;Min=\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;;;;\r\nCATEGORIES:Sales\\;Marketing,VIP\r\n"
        "END:VCARD\r\n");
    EXPECT_EQ(f.unreadable, 0);
    ASSERT_EQ(f.contacts.size(), 2u);
    EXPECT_EQ(f.contacts[0].firstName, u"Min") << "the END line is no part of the value";
    EXPECT_EQ(f.contacts[1].categories, u"Sales;Marketing, VIP");
}

// ---- The object model ----

class ContactStoreTest : public testsupport::DeviceTest {
protected:
    void SetUp() override { faults::clear(); }
    void TearDown() override { faults::clear(); }

    void writeFile(const std::string& name, const std::string& bytes) {
        const auto folder = devfs::toHost(kContactsFolder);
        std::filesystem::create_directories(folder);
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }

    static std::string card(const std::string& last) {
        return "BEGIN:VCARD\nVERSION:3.0\nN:" + last + ";;;;\nBDAY:1990-01-02\nEND:VCARD\n";
    }
};

TEST_F(ContactStoreTest, ItemsAreEveryCardOfEveryFileInOrderAndEveryObjectIsReleased) {
    writeFile("b.vcf", card("B1") + card("B2"));
    writeFile("a.VCF", card("A1") + "BEGIN:VCARD\nN:broken\n");
    writeFile("notes.txt", card("X"));
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    IPOutlookApp* app = nullptr;
    ASSERT_EQ(CreatePOutlookApp(&app), S_OK);
    IFolder* folder = nullptr;
    EXPECT_EQ(app->GetDefaultFolder(olFolderContacts, &folder), E_UNEXPECTED) << "before logon";
    ASSERT_EQ(app->Logon(0), S_OK);
    EXPECT_EQ(app->GetDefaultFolder(9, &folder), E_INVALIDARG);
    ASSERT_EQ(app->GetDefaultFolder(olFolderContacts, &folder), S_OK);
    IPOutlookItemCollection* items = nullptr;
    ASSERT_EQ(folder->get_Items(&items), S_OK);
    int count = 0, unreadable = 0;
    ASSERT_EQ(items->get_Count(&count), S_OK);
    ASSERT_EQ(items->get_Unreadable(&unreadable), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(unreadable, 1);
    std::vector<std::u16string> names;
    for (int i = 1; i <= count; ++i) {
        IContact* contact = nullptr;
        ASSERT_EQ(items->Item(i, &contact), S_OK);
        BSTR last = nullptr;
        ASSERT_EQ(contact->get_LastName(&last), S_OK);
        names.emplace_back(last);
        app->SysFreeString(last);
        DATE birthday = 0;
        ASSERT_EQ(contact->get_Birthday(&birthday), S_OK);
        EXPECT_EQ(birthday, oleDate(1990, 1, 2));
        contact->Release();
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A1", u"B1", u"B2"}));
    IContact* none = nullptr;
    EXPECT_EQ(items->Item(0, &none), E_INVALIDARG);
    EXPECT_EQ(items->Item(4, &none), E_INVALIDARG);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(liveObjects(), 3);
    items->Release();
    folder->Release();
    EXPECT_EQ(app->Logoff(), S_OK);
    app->Release();
    CoUninitialize();
    EXPECT_EQ(liveObjects(), 0);
    EXPECT_EQ(liveStrings(), 0);
    EXPECT_EQ(comInitializations(), 0);
}

TEST_F(ContactStoreTest, AMissingFolderIsMadeAndEveryCheckedCallFailsOnCommand) {
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    IPOutlookApp* app = nullptr;
    ASSERT_EQ(CreatePOutlookApp(&app), S_OK);
    ASSERT_EQ(app->Logon(0), S_OK);
    IFolder* folder = nullptr;
    ASSERT_EQ(app->GetDefaultFolder(olFolderContacts, &folder), S_OK);
    EXPECT_TRUE(std::filesystem::is_directory(devfs::toHost(kContactsFolder)));
    IPOutlookItemCollection* items = nullptr;
    ASSERT_EQ(folder->get_Items(&items), S_OK);
    int count = -1;
    ASSERT_EQ(items->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);

    using faults::Op;
    for (Op op : {Op::CoInitialize, Op::CreateApp, Op::Logon, Op::GetDefaultFolder, Op::GetItems,
                  Op::GetCount, Op::Item}) {
        faults::arm({op, E_OUTOFMEMORY});
    }
    IPOutlookApp* second = nullptr;
    IFolder* secondFolder = nullptr;
    IPOutlookItemCollection* secondItems = nullptr;
    IContact* contact = nullptr;
    EXPECT_EQ(CoInitializeEx(nullptr, 0), E_OUTOFMEMORY);
    EXPECT_EQ(CreatePOutlookApp(&second), E_OUTOFMEMORY);
    EXPECT_EQ(app->Logon(0), E_OUTOFMEMORY);
    EXPECT_EQ(app->GetDefaultFolder(olFolderContacts, &secondFolder), E_OUTOFMEMORY);
    EXPECT_EQ(folder->get_Items(&secondItems), E_OUTOFMEMORY);
    EXPECT_EQ(items->get_Count(&count), E_OUTOFMEMORY);
    EXPECT_EQ(items->Item(1, &contact), E_OUTOFMEMORY);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(secondFolder, nullptr);
    EXPECT_EQ(secondItems, nullptr);
    EXPECT_EQ(items->get_Count(&count), S_OK) << "each rule is spent after one failure";
    items->Release();
    folder->Release();
    app->Logoff();
    app->Release();
    CoUninitialize();
    EXPECT_EQ(liveObjects(), 0);
}

}  // namespace
