// "자세히 보기" (32798) as the program wires it: the details popup of the current person over
// the view, and message 61220 for a current person that is no record.
#include <QTreeWidget>

#include "app/day_agenda.h"
#include "app/layout_app.h"
#include "app/layout_view.h"
#include "app/main_frame.h"
#include "app/program_screens.h"
#include "appointments/schedule_view.h"
#include "appointments/screen_hooks.h"
#include "people/people_list_wnd.h"
#include "qt/screen_test.h"
#include "running_program.h"
#include "sketch/details_wnd.h"
#include "store/record_store.h"
#include "strings/string_table.h"
#include "ui/resources.h"
#include "view_contract/commands.h"

namespace {

class DetailsRoute : public testsupport::RunningProgramTest {
protected:
    ::testing::AssertionResult tapRow(const QString& name) {
        auto* schedule = qobject_cast<CScheduleView*>(view().paneWindow(SchedulePane));
        QTreeWidget* tree = schedule->peopleList()->listControl();
        auto items = tree->findItems(name, Qt::MatchExactly);
        if (items.isEmpty()) return ::testing::AssertionFailure() << "no row";
        return testsupport::tap(tree->viewport(), tree->visualItemRect(items[0]).center());
    }
};

TEST_F(DetailsRoute, PersonDetailsOpenThePopupOfTheCurrentPerson) {
    RecordImage image{};
    image.kind = PersonKind;
    setText(image.name, u"김유신");
    setText(image.mobile, u"010-2222-3333");
    ASSERT_TRUE(view().store().AddRecord(image));
    view().RefreshMainScreens();
    ASSERT_TRUE(tapRow(QStringLiteral("김유신")));

    view().runCommand(cmd::PersonDetails);
    auto popups = view().viewWidget()->findChildren<sketch::CDetailsWnd*>();
    ASSERT_EQ(popups.size(), 1);
    EXPECT_TRUE(popups[0]->isVisible());
    EXPECT_EQ(popups[0]->pop()->text().values[1], QStringLiteral("김유신"));
    EXPECT_EQ(popups[0]->pop()->text().values[2], QStringLiteral("010-2222-3333"));
    // The schedule items' hook is the same popup.
    EXPECT_TRUE(bool(appointments::screenHooks().showItemDetails));
    EXPECT_TRUE(bool(appointments::screenHooks().chooseSketch));

    // A tap on its text closes it.
    ASSERT_TRUE(testsupport::tap(popups[0]->pop()->viewport(), {10, 10}));
    testsupport::processDeferredDeletes();
    EXPECT_TRUE(view().viewWidget()->findChildren<sketch::CDetailsWnd*>().isEmpty());

    // The view's current person as a row that is no person leaves it (the "No-Name.." row).
    view().setCurrentPerson(QStringLiteral("No-Name.."), -2);
    messages.expect(ui::loadString(res::IDS_NOT_A_PERSON));
    view().runCommand(cmd::PersonDetails);
}

}  // namespace
