#include "string_table.h"

#include <algorithm>
#include <iterator>

namespace res {
namespace {

struct Entry {
    unsigned id;
    const char16_t* text;
};

// Sorted by id.
constexpr Entry kStrings[] = {
    {IDS_UPDATE_FAILED, u"수정되지 않았습니다..다시 시도하여 주십시오.."},
    {IDS_DELETE_FAILED, u"삭제되지 않았습니다. 다시 시도하여 주십시오.."},
    {IDS_SAVE_DATA_FAILED, u"데이타를 저장하지 못했습니다."},
    {IDS_NOT_A_PERSON, u"선택하신 아이템은 개인 정보를 보여줄 수 없습니다.."},
    {IDS_NOTHING_SELECTED, u"선택하신 데이타가 없습니다. 선택하여 주십시오."},
    {IDS_SAVE_FAILED, u"저장되지 않았습니다.. 다시 시도하여 주십시오.."},
    {IDS_SKETCH_NO_NAME, u"파일 이름이 없으므로 저장되지 않습니다...저장하지 않습니까?"},
    {IDS_SKETCH_UNSAVED, u"저장하지 않은 그림이 있습니다..저장하시겠습니까?"},
    {IDS_MAIN_DATABASE, u"Quorin Database"},
    {IDS_COUNT_DATABASE, u"Count Database"},
    {IDS_SKETCH_MISSING, u"선택하신 약도 파일이 없습니다.새로운 약도 파일을 만드시겠습니까?"},
    {IDS_NAME_EXISTS, u"(이)라는 이름이 이미 존재합니다. 이 DATA를 추가하시겠습니까?"},
    {IDS_EMAIL_EXISTS, u"(이)라는 전자 메일 주소가 이미 존재합니다. 이 DATA를 추가하시겠습니까?"},
};

const Entry* find(unsigned id) {
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const Entry& e, unsigned v) { return e.id < v; });
    return it != std::end(kStrings) && it->id == id ? it : nullptr;
}

}  // namespace

std::u16string loadString(unsigned id) {
    const Entry* e = find(id);
    return e ? std::u16string(e->text) : std::u16string();
}

bool hasString(unsigned id) { return find(id) != nullptr; }

}  // namespace res
