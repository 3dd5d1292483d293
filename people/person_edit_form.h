// The person editor's form apart from its widgets: which edit carries which field of the
// person record, what is stored for an empty telephone, and what the form refuses to store.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "store/record_image.h"

namespace people {

// Control ids of the person editor (dialog template 133).
namespace person_edit {
inline constexpr int TemplateId = 133;
inline constexpr int GroupsEdit = 1053;
inline constexpr int GroupsButton = 1028;
inline constexpr int NameEdit = 1044;
inline constexpr int MobileEdit = 1049;
inline constexpr int EmailEdit = 1045;
inline constexpr int CompanyEdit = 1046;
inline constexpr int TitleEdit = 1047;
inline constexpr int AddressEdit = 1048;
inline constexpr int WorkPhoneEdit = 1050;
inline constexpr int HomePhoneEdit = 1051;
inline constexpr int FaxEdit = 1052;
inline constexpr int UpdateButton = 1006;
inline constexpr int DoneButton = 1017;
inline constexpr int GroupsLabel = 1093;
inline constexpr int NameLabel = 1094;
inline constexpr int MobileLabel = 1095;
inline constexpr int EmailLabel = 1096;
inline constexpr int CompanyLabel = 1097;
inline constexpr int TitleLabel = 1098;
inline constexpr int AddressLabel = 1099;
inline constexpr int WorkPhoneLabel = 1100;
inline constexpr int HomePhoneLabel = 1101;
inline constexpr int FaxLabel = 1102;
}  // namespace person_edit

// A telephone left empty is stored as this, and shown as stored.
inline constexpr QStringView NoTelephone = u"None";

// One edit of the form and the person field it carries.
struct PersonField {
    int editId;
    int labelId;
    const char16_t* label;
    uint32_t propId;
    bool telephone;  // stored as "None" when empty
};
// In the order the edits stand on the form, top to bottom.
inline constexpr std::array<PersonField, 10> PersonFields = {{
    {person_edit::GroupsEdit, person_edit::GroupsLabel, u"그룹:", PropGroups, false},
    {person_edit::NameEdit, person_edit::NameLabel, u"이름:", PropName, false},
    {person_edit::MobileEdit, person_edit::MobileLabel, u"휴대폰:", PropMobile, true},
    {person_edit::EmailEdit, person_edit::EmailLabel, u"전자메일:", PropEmail, false},
    {person_edit::CompanyEdit, person_edit::CompanyLabel, u"회사:", PropCompany, false},
    {person_edit::TitleEdit, person_edit::TitleLabel, u"직함:", PropTitle, false},
    {person_edit::AddressEdit, person_edit::AddressLabel, u"주소:", PropAddress, false},
    {person_edit::WorkPhoneEdit, person_edit::WorkPhoneLabel, u"회사전화:", PropWorkPhone, true},
    {person_edit::HomePhoneEdit, person_edit::HomePhoneLabel, u"자택전화:", PropHomePhone, true},
    {person_edit::FaxEdit, person_edit::FaxLabel, u"팩스:", PropFax, true},
}};

// The texts of the form, by property.
struct PersonForm {
    std::array<QString, PersonFields.size()> texts;
    QString& operator[](uint32_t propId);
    const QString& operator[](uint32_t propId) const;
};

// Why the form cannot be stored; None when it can.
enum class FormRefusal {
    None,
    EmptyName,
    NameHasSemicolon,  // ";" ends a name in an appointment's participant names
    GroupsHaveSemicolon,
    GroupsTooLong,  // more than the group field holds; it would be cut mid-name
};
FormRefusal checkPersonForm(const PersonForm& form);
// The message that tells the user; empty for None.
QString refusalMessage(FormRefusal refusal);

// The person record of the form: kind PersonKind, the texts of the form (an empty telephone as
// "None"), everything else zero. Texts are cut to fit; checkPersonForm refuses what would be.
RecordImage personRecord(const PersonForm& form);
// The form showing a stored person, texts exactly as stored.
PersonForm personFormOf(const RecordImage& record);

}  // namespace people
