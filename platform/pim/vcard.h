// Reading the vCard files of the handheld's contact store into contact fields. The cards are
// parsed by Evolution's libebook-contacts (EVCard): vCard 2.1 with quoted-printable and CHARSET
// parameters, 3.0 escapes and folded lines, 4.0. Everything here is outside input: nothing a
// file holds can make the reader fail other than by counting the card as unreadable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pim {

// An OLE date: days since 1899-12-30 (the time of day as the fraction); 0 means no date.
using DATE = double;

// A date without a year is kept on this leap year, so that 29 February survives.
inline constexpr int kNoYear = 1904;

// What a "," inside one category becomes, so that the joined list splits where the card's
// categories do: the full-width comma, which reads the same.
inline constexpr char16_t kCommaInCategory = u'\uFF0C';

// The contact fields the store offers, as the handheld's contact items carry them. Texts are
// single lines (line breaks and other control characters become blanks).
struct ContactFields {
    std::u16string firstName;
    std::u16string lastName;
    std::u16string companyName;
    std::u16string jobTitle;
    std::u16string businessAddressStreet;
    std::u16string businessAddressCity;
    std::u16string businessAddressState;
    std::u16string businessAddressPostalCode;
    std::u16string businessAddressCountry;
    std::u16string mobileTelephoneNumber;
    std::u16string businessTelephoneNumber;
    std::u16string homeTelephoneNumber;
    std::u16string businessFaxNumber;
    std::u16string email1Address;
    std::u16string categories;  // joined with ", "; a "," inside a category is kCommaInCategory
    DATE birthday = 0;
    DATE anniversary = 0;  // the wedding anniversary
};

struct VCardFile {
    std::vector<ContactFields> contacts;  // the readable cards, in file order
    int unreadable = 0;                   // cards skipped: unterminated, or nothing in them
};

// Reads every card of one file's bytes. A byte-order mark (UTF-8 or UTF-16) is honoured. Text
// that names no CHARSET is read in the charset its card names on another line, else as UTF-8,
// else as the handheld's code page (CP949), each only where every byte of it decodes; a card
// with text that decodes in none of them is counted unreadable.
VCardFile readVCards(std::string_view bytes);

// The OLE date of a calendar date; 0 for an invalid one. Dates up to 1899-12-30 give 0 or less.
DATE oleDate(int year, int month, int day);
// Reads a vCard date literally, with no time zone: "1980-05-17", "19800517", a time or zone
// after it ignored; "--05-17", "--0517" or `omitYear` for a date without a year (kept on
// kNoYear). 0 when it is no date.
DATE readVCardDate(std::string_view value, bool omitYear = false);

}  // namespace pim
