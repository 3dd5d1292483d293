#include "appointments/item_commands.h"

#include <QString>

#include "appointments/screen_hooks.h"
#include "people/anniversary_dlg.h"
#include "resources/strings/string_table.h"
#include "shell/message_box.h"
#include "store/record_store.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace appointments {
namespace {

// The screen's own list first, then every list of the main screens that may show the record.
void refreshAfterChange(MainView& view, const ItemCommandScreen& screen) {
    if (screen.refresh) screen.refresh();
    view.RefreshMainScreens();
}

void deleteItem(MainView& view, const ItemCommandScreen& screen, uint32_t kind, int key,
                const QString& question) {
    if (shell::messageBox(screen.parent, question, {}, shell::MB_YESNO | shell::MB_ICONQUESTION) !=
        shell::IDYES)
        return;
    RecordImage image{};
    image.kind = kind;
    image.key = key;
    if (!view.store().DeleteRecord(image)) {
        shell::messageBox(screen.parent, ui::loadString(res::IDS_DELETE_FAILED));
        return;
    }
    refreshAfterChange(view, screen);
}

}  // namespace

bool RunItemCommand(MainView& view, int commandId, const ItemCommandScreen& screen) {
    const int item = view.currentItemId();
    switch (commandId) {
        case DeleteAppointmentCommand:
            deleteItem(view, screen, AppointmentKind, item,
                       QStringLiteral("정말 이 약속을 삭제하시겠습니까?"));
            return true;
        case DeleteAnniversaryCommand:
            deleteItem(view, screen, AnniversaryKind, -item,
                       QStringLiteral("정말 이 기념일을 삭제하시겠습니까?"));
            return true;
        case EditAppointmentCommand:
            if (screen.beforeEdit) screen.beforeEdit();
            OpenAppointmentEditor(view, item, screen.returnToAgenda);
            return true;
        case ItemDetailsCommand:
            ShowItemDetails(view, screen.parent, item);
            return true;
        case EditAnniversaryCommand:
            people::RunAnniversaryDlg(view, screen.parent, view.currentName(), 0, -item,
                                      people::AnniversarySingleMode);
            refreshAfterChange(view, screen);
            return true;
        default:
            return false;
    }
}

}  // namespace appointments
