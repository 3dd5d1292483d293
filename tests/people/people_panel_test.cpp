// The people management panel: its buttons, the delete with the Person menu's question, and
// its picture.
#include <QTreeWidget>

#include "cedb/faults.h"
#include "people/people_list_wnd.h"
#include "people/people_panel_dlg.h"
#include "people_list_fixture.h"
#include "shell/shell.h"
#include "ui/bitmap_button.h"

namespace {

const QString kAskDelete = QStringLiteral("정말 이 사람을 삭제하시겠습니까?");

class PeoplePanelTest : public PeopleTest {
protected:
    void SetUp() override {
        PeopleTest::SetUp();
        view.onRefresh = [this] {
            if (panel) panel->Refresh();
        };
    }

    void open() {
        panel = new CPeoplePanelDlg(
            view,
            [this](MainView&, int personId, bool isNew) {
                editorRuns.push_back({personId, isNew});
            },
            &view.widget);
        ASSERT_TRUE(testsupport::showExposed(panel));
    }

    ::testing::AssertionResult tapRow(const QString& name) {
        QTreeWidget* list = panel->peopleList()->listControl();
        auto items = list->findItems(name, Qt::MatchExactly);
        if (items.isEmpty()) return ::testing::AssertionFailure() << "no row";
        return testsupport::tap(list->viewport(), list->visualItemRect(items[0]).center());
    }

    ::testing::AssertionResult press(int buttonId) {
        return testsupport::tap(panel->control<ui::BitmapButton>(buttonId));
    }

    bool stored(int id) {
        RecordImage image{};
        image.kind = PersonKind;
        image.id = id;
        return store.ReadRecord(image);
    }

    CPeoplePanelDlg* panel = nullptr;
    std::vector<std::pair<int, bool>> editorRuns;
};

TEST_F(PeoplePanelTest, NewAndEditRunTheEditorThenTheMainScreensReload) {
    const int kim = addPerson(QStringLiteral("김유신"));
    open();
    ASSERT_TRUE(press(CPeoplePanelDlg::NewButtonId));
    ASSERT_TRUE(press(CPeoplePanelDlg::EditButtonId));  // no row tapped: the editor says so
    ASSERT_TRUE(tapRow(QStringLiteral("김유신")));
    ASSERT_TRUE(press(CPeoplePanelDlg::EditButtonId));
    EXPECT_EQ(editorRuns, (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {kim, false}}));
    EXPECT_EQ(view.refreshes, 3);
}

TEST_F(PeoplePanelTest, DeleteAsksAsThePersonMenuDoesAndWantsARowTapped) {
    const int kim = addPerson(QStringLiteral("김유신"));
    const int lee = addPerson(QStringLiteral("이순신"));
    open();
    const QString noRow = QStringLiteral("선택하신 데이타가 없습니다. 선택하여 주십시오.");
    messages.expect(noRow);
    ASSERT_TRUE(press(CPeoplePanelDlg::DeleteButtonId));
    EXPECT_TRUE(stored(kim) && stored(lee));

    // One tap on 삭제 loses nobody: No keeps the person and the list as they were.
    ASSERT_TRUE(tapRow(QStringLiteral("이순신")));
    ASSERT_EQ(view.currentPersonId(), lee);
    messages.expect(kAskDelete, shell::IDNO);
    ASSERT_TRUE(press(CPeoplePanelDlg::DeleteButtonId));
    EXPECT_TRUE(stored(lee));
    EXPECT_EQ(view.refreshes, 0);
    EXPECT_EQ(panel->peopleList()->GetCurrentId(), lee);

    messages.expect(kAskDelete, shell::IDYES);
    ASSERT_TRUE(press(CPeoplePanelDlg::DeleteButtonId));
    EXPECT_FALSE(stored(lee));
    EXPECT_TRUE(stored(kim));
    EXPECT_EQ(view.refreshes, 1);
    ASSERT_EQ(panel->peopleList()->shownRows().size(), 1u);
    // The person is gone, so the menu's commands no longer act on it.
    EXPECT_EQ(view.currentPersonId(), 0);

    // The reload leaves no row current: a second press must not take the next person.
    messages.expect(noRow);
    ASSERT_TRUE(press(CPeoplePanelDlg::DeleteButtonId));
    EXPECT_TRUE(stored(kim));
}

TEST_F(PeoplePanelTest, AFailedDeleteIsReportedAndTheListStays) {
    const int kim = addPerson(QStringLiteral("김유신"));
    open();
    ASSERT_TRUE(tapRow(QStringLiteral("김유신")));
    cedb::faults::arm({cedb::faults::Op::Delete});
    messages.expect(kAskDelete, shell::IDYES)
        .expect(QStringLiteral("삭제되지 않았습니다. 다시 시도하여 주십시오.."));
    ASSERT_TRUE(press(CPeoplePanelDlg::DeleteButtonId));
    EXPECT_TRUE(stored(kim));
    EXPECT_EQ(view.refreshes, 0);
    EXPECT_EQ(panel->peopleList()->GetCurrentId(), kim);
    EXPECT_EQ(view.currentPersonId(), kim);
}

TEST_F(PeoplePanelTest, ATapOnThePanelLowersTheInputPanel) {
    open();
    shell::raiseInputPanel();
    ASSERT_TRUE(testsupport::tap(panel, QPoint(5, 250)));
    EXPECT_FALSE(shell::isInputPanelOn());
}

TEST_F(PeoplePanelTest, Screenshot) {
    addPerson(QStringLiteral("김유신"), QStringLiteral("VIP"), QStringLiteral("02-555-0101"));
    addPerson(QStringLiteral("이순신"), {}, QStringLiteral("031-700-1234"));
    addPerson(QStringLiteral("장보고"), {}, QStringLiteral("None"));
    addPerson(QStringLiteral("Park Jiyoung"), {}, QStringLiteral("010-2222-3333"));
    open();
    ASSERT_TRUE(tapRow(QStringLiteral("이순신")));
    EXPECT_FALSE(testsupport::screenshot(&view.widget, QStringLiteral("people_panel")).isEmpty());
}

}  // namespace
