#include "person_edit_form.h"

namespace people {
namespace {

size_t indexOf(uint32_t propId) {
    for (size_t i = 0; i < PersonFields.size(); ++i) {
        if (PersonFields[i].propId == propId) return i;
    }
    Q_ASSERT_X(false, "PersonForm", "not a field of the person form");
    return 0;
}

}  // namespace

QString& PersonForm::operator[](uint32_t propId) {
    return texts[indexOf(propId)];
}
const QString& PersonForm::operator[](uint32_t propId) const {
    return texts[indexOf(propId)];
}

FormRefusal checkPersonForm(const PersonForm& form) {
    if (form[PropName].isEmpty()) return FormRefusal::EmptyName;
    if (form[PropName].contains(u';')) return FormRefusal::NameHasSemicolon;
    if (form[PropGroups].contains(u';')) return FormRefusal::GroupsHaveSemicolon;
    if (form[PropGroups].size() > fieldLimit(PropGroups)) return FormRefusal::GroupsTooLong;
    return FormRefusal::None;
}

QString refusalMessage(FormRefusal refusal) {
    switch (refusal) {
        case FormRefusal::None:
            return {};
        case FormRefusal::EmptyName:
            return QStringLiteral("이름을 입력하여 주십시오..");
        case FormRefusal::NameHasSemicolon:
            return QStringLiteral("이름에는 < ; > 특수문자를 사용하실수 없습니다.");
        case FormRefusal::GroupsHaveSemicolon:
            return QStringLiteral("그룹 이름에는 < ; > 특수문자를 사용하실수 없습니다.");
        case FormRefusal::GroupsTooLong:
            return QStringLiteral(
                       "선택하신 그룹이 너무 많습니다.. 그룹은 모두 %1자까지 저장할 수 "
                       "있습니다.")
                .arg(fieldLimit(PropGroups));
    }
    return {};
}

RecordImage personRecord(const PersonForm& form) {
    RecordImage r;
    r.kind = PersonKind;
    for (size_t i = 0; i < PersonFields.size(); ++i) {
        QString value = form.texts[i];
        if (PersonFields[i].telephone && value.isEmpty()) value = NoTelephone.toString();
        setText(textField(r, PersonFields[i].propId), value.toStdU16String());
    }
    return r;
}

PersonForm personFormOf(const RecordImage& record) {
    PersonForm form;
    for (size_t i = 0; i < PersonFields.size(); ++i) {
        const std::u16string_view stored = text(textField(record, PersonFields[i].propId));
        form.texts[i] = QStringView(stored.data(), qsizetype(stored.size())).toString();
    }
    return form;
}

}  // namespace people
