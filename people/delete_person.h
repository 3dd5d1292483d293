// Deleting a person, as the Person menu's "삭제" and the people panel's delete button both do
// it: the one rule that the document and the panel call.
#pragma once

#include <QString>
#include <QWidget>

#include "resources/strings/string_table.h"
#include "shell/message_box.h"
#include "store/record_store.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace people {

// Asks "정말 이 사람을 삭제하시겠습니까?" over `parent`. On Yes the person record `personId` is
// deleted and the main screens reload; the view's current person is cleared when it was this
// one, so that no later command acts on a person who is gone. A failed delete says string
// 61214 and changes nothing. True when the person was deleted.
inline bool DeletePerson(MainView& view, QWidget* parent, int personId) {
    if (shell::messageBox(parent, QStringLiteral("정말 이 사람을 삭제하시겠습니까?"), {},
                          shell::MB_YESNO | shell::MB_ICONQUESTION) != shell::IDYES)
        return false;
    RecordImage image{};
    image.kind = PersonKind;
    image.id = personId;
    if (!view.store().DeleteRecord(image)) {
        shell::messageBox(parent, ui::loadString(res::IDS_DELETE_FAILED));
        return false;
    }
    if (view.currentPersonId() == personId) view.setCurrentPerson(QString(), 0);
    view.RefreshMainScreens();
    return true;
}

}  // namespace people
