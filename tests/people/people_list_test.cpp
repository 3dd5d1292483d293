// The people list: its rows in the three modes, the group filter, the sort, the search, taps
// and the Person menu.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "cedb/cedb.h"
#include "people/people_list_rows.h"
#include "people/people_list_wnd.h"
#include "people_list_fixture.h"
#include "shell/tap_and_hold.h"
#include "view_contract/commands.h"

namespace {

std::vector<int> idsOf(const PeopleRows& rows) {
    std::vector<int> ids;
    for (const PeopleRow& r : rows) ids.push_back(r.id);
    return ids;
}

QStringList namesOf(const PeopleRows& rows) {
    QStringList names;
    for (const PeopleRow& r : rows) names.push_back(r.name);
    return names;
}

PeopleRows rowsNamed(const QStringList& names) {
    PeopleRows rows;
    int id = 11;
    for (const QString& n : names) rows.push_back({n, {}, id += 10});
    return rows;
}

// ---- Rows without widgets ----------------------------------------------------------------------

TEST(GroupList, NamesJoinedByCommaAndBlankAreEachFound) {
    EXPECT_TRUE(inGroup(QStringLiteral("VIP, 동창생"), QStringLiteral("VIP")));
    EXPECT_TRUE(inGroup(QStringLiteral("VIP, 동창생"), QStringLiteral("동창생")));
    EXPECT_FALSE(inGroup(QStringLiteral("VIP, 동창생"), QStringLiteral("동창")));
    EXPECT_FALSE(inGroup(QStringLiteral("VIP, 동창생"), QStringLiteral(" 동창생")));
    EXPECT_FALSE(inGroup(QString(), QStringLiteral("VIP")));
    // A name of its own never loses its first letter to the joiner's blank.
    EXPECT_TRUE(inGroup(QStringLiteral("VIP,동창생"), QStringLiteral("동창생")));
}

TEST(GroupList, AGroupNameBeginningWithABlankMatchesInAnyPlace) {
    // " 모임" joined after "VIP" is stored "VIP,  모임": only the joiner's blank goes.
    EXPECT_TRUE(inGroup(QStringLiteral("VIP,  모임"), QStringLiteral(" 모임")));
    EXPECT_FALSE(inGroup(QStringLiteral("VIP,  모임"), QStringLiteral("모임")));
    EXPECT_TRUE(inGroup(QStringLiteral(" 모임, VIP"), QStringLiteral(" 모임")));
}

TEST(SortRows, GroupsThenPeopleByCodeUnitsWithNoNameLast) {
    PeopleRows rows = {{QStringLiteral("Zoe"), {}, 11},    {QStringLiteral("VIP"), {}, -3},
                       {QStringLiteral("bob"), {}, 21},    {QStringLiteral("김철수"), {}, 31},
                       {NoNameText, {}, NoNameId},         {QStringLiteral("Ann"), {}, 41},
                       {QStringLiteral("공급자"), {}, -4}, {QStringLiteral("Abe"), {}, 51}};
    // The builder puts "No-Name.." last; "Zoe", "bob" and Hangul all sort after it by name.
    std::rotate(rows.begin() + 4, rows.begin() + 5, rows.end());
    sortRows(rows);
    EXPECT_EQ(namesOf(rows),
              (QStringList{"VIP", "공급자", "Abe", "Ann", "Zoe", "bob", "김철수", NoNameText}));
    EXPECT_EQ(idsOf(rows), (std::vector<int>{-3, -4, 51, 41, 11, 21, 31, NoNameId}));
}

TEST(SortRows, TheLastPersonIsSortedTooWhenThereIsNoNoNameRow) {
    PeopleRows rows = rowsNamed({"Kim", "Lee", "Ahn"});
    sortRows(rows);
    EXPECT_EQ(namesOf(rows), (QStringList{"Ahn", "Kim", "Lee"}));
}

TEST(Search, PrefixesNarrowAndATextMatchingNothingKeepsThePreviousResult) {
    PeopleSearch search;
    search.reset(rowsNamed({"Kim", "Kiyoung", "Ko", "kim", "Lee"}));
    EXPECT_EQ(search.shown().size(), 5u);

    search.setText(QStringLiteral("K"));
    EXPECT_EQ(namesOf(search.shown()), (QStringList{"Kim", "Kiyoung", "Ko"}));
    search.setText(QStringLiteral("Ki"));
    EXPECT_EQ(namesOf(search.shown()), (QStringList{"Kim", "Kiyoung"}));
    search.setText(QStringLiteral("Kix"));
    EXPECT_EQ(namesOf(search.shown()), (QStringList{"Kim", "Kiyoung"}));
    // Longer than every name: nothing matches, nothing changes.
    search.setText(QStringLiteral("Kiyoung Park"));
    EXPECT_EQ(namesOf(search.shown()), (QStringList{"Kim", "Kiyoung"}));
    search.setText(QString());
    EXPECT_FALSE(search.isActive());
    EXPECT_EQ(search.shown().size(), 5u);
}

TEST(Search, AFirstTextMatchingNothingShowsAllRowsAndANewLoadIsSearchedAfresh) {
    PeopleSearch search;
    search.reset(rowsNamed({"Kim", "Lee"}));
    search.setText(QStringLiteral("x"));
    EXPECT_FALSE(search.isActive());
    EXPECT_EQ(search.shown().size(), 2u);

    search.setText(QStringLiteral("K"));
    search.reset(rowsNamed({"Kang", "Kim", "Lee"}), QStringLiteral("K"));
    EXPECT_EQ(namesOf(search.shown()), (QStringList{"Kang", "Kim"}));
    // The earlier result belonged to other rows: a load the text misses shows them all.
    search.reset(rowsNamed({"Lee"}), QStringLiteral("K"));
    EXPECT_EQ(namesOf(search.shown()), (QStringList{"Lee"}));
}

// ---- Loads from the store
// ------------------------------------------------------------------------

class PeopleListTest : public PeopleTest {
protected:
    CPeopleListWnd* makeList(int mode) {
        auto* list = new CPeopleListWnd(store, &view, &view.widget);
        if (mode == NameList) list->Create(QRect(10, 35, 80, 195), 102, NameList, 70);
        if (mode == NameAndPhone) list->Create(QRect(20, 25, 205, 180), 110, NameAndPhone, 70);
        if (mode == Picker) list->Create(QRect(5, 30, 230, 200), 2010, Picker, 70);
        list->Refresh();
        return list;
    }

    // Adds a person record that lacks `missing`, straight into the database.
    void addRecordLacking(uint32_t missing, int id, const QString& name) {
        RecordImage image{};
        image.kind = PersonKind;
        image.id = image.key = id;
        setText(image.name, name.toStdU16String());
        cedb::Record props;
        for (uint32_t prop : RecordProperties) {
            if (prop != missing) props.push_back(*propertyOf(image, prop));
        }
        cedb::Database db;
        ASSERT_TRUE(db.open(cedb::objectStore(), std::u16string(MainDatabaseName)));
        ASSERT_NE(db.addRecord(props), 0u);
    }

    QTreeWidgetItem* itemNamed(CPeopleListWnd* list, const QString& name) {
        auto items = list->listControl()->findItems(name, Qt::MatchExactly);
        return items.isEmpty() ? nullptr : items.front();
    }

    QPoint pointOf(CPeopleListWnd* list, const QString& name) {
        QTreeWidgetItem* item = itemNamed(list, name);
        EXPECT_TRUE(item) << name.toStdString();
        return item ? list->listControl()->visualItemRect(item).center() : QPoint();
    }

    ::testing::AssertionResult tapRow(CPeopleListWnd* list, const QString& name) {
        return testsupport::tap(list->listControl()->viewport(), pointOf(list, name));
    }
};

TEST_F(PeopleListTest, TheThreeModesListTheSameStoreEachInItsOwnWay) {
    const int lee =
        addPerson(QStringLiteral("이순신"), QStringLiteral("VIP"), QStringLiteral("02-123-4567"));
    const int kim = addPerson(QStringLiteral("김유신"), {}, QStringLiteral("None"));

    CPeopleListWnd* names = makeList(NameList);
    EXPECT_EQ(namesOf(names->shownRows()), (QStringList{"김유신", "이순신", NoNameText}));
    EXPECT_EQ(idsOf(names->shownRows()), (std::vector<int>{kim, lee, NoNameId}));
    QTreeWidget* list = names->listControl();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->columnCount(), 1);
    EXPECT_EQ(list->topLevelItem(2)->data(0, Qt::UserRole).toInt(), NoNameId);
    // Mode 1 has no image list.
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(list->topLevelItem(i)->icon(0).isNull()) << i;

    CPeopleListWnd* phones = makeList(NameAndPhone);
    EXPECT_EQ(idsOf(phones->shownRows()), (std::vector<int>{kim, lee}));
    list = phones->listControl();
    ASSERT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->columnWidth(0), 90);
    EXPECT_EQ(list->columnWidth(1), 270);
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("02-123-4567"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("None"));
    EXPECT_TRUE(list->topLevelItem(0)->icon(0).isNull());

    CPeopleListWnd* picker = makeList(Picker);
    const PeopleRows& rows = picker->shownRows();
    ASSERT_EQ(rows.size(), 11u);  // the nine default groups, then the two people
    // Groups sorted by name, each keeping the identifier of its place among the categories:
    // "VIP" is the third category, "개인 친분" the first.
    EXPECT_EQ(rows[0].name, QStringLiteral("VIP"));
    EXPECT_EQ(rows[0].id, -5);
    EXPECT_EQ(rows[1].name, QStringLiteral("개인 친분"));
    EXPECT_EQ(rows[1].id, -3);
    EXPECT_EQ(rows[0].phone, NoPhoneText);
    EXPECT_EQ(idsOf(PeopleRows(rows.end() - 2, rows.end())), (std::vector<int>{kim, lee}));
    list = picker->listControl();
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(list->topLevelItem(0)->icon(0).isNull());  // group image
    EXPECT_TRUE(list->topLevelItem(10)->icon(0).isNull());  // people have none
    picker->setChecked(10, true);
    EXPECT_TRUE(picker->isChecked(10));
}

TEST_F(PeopleListTest, WithoutPeopleTheFixedRowsStillShow) {
    // The load of an empty database ends at its first read; it must still list these.
    EXPECT_EQ(idsOf(makeList(NameList)->shownRows()), std::vector<int>{NoNameId});
    EXPECT_TRUE(makeList(NameAndPhone)->shownRows().empty());
    EXPECT_EQ(makeList(Picker)->shownRows().size(), 9u);

    RecordImage appointment{};
    appointment.kind = AppointmentKind;
    ASSERT_TRUE(store.AddRecord(appointment));
    EXPECT_EQ(idsOf(makeList(NameList)->shownRows()), std::vector<int>{NoNameId});
    EXPECT_EQ(makeList(Picker)->shownRows().size(), 9u);
}

TEST_F(PeopleListTest, APersonRecordLackingAPropertyIsLeftOutAndTheOthersListed) {
    const int kim = addPerson(QStringLiteral("김유신"));
    addRecordLacking(PropWorkPhone, 901, QStringLiteral("전화없음"));
    addRecordLacking(PropGroups, 911, QStringLiteral("그룹없음"));
    addRecordLacking(PropId, 0, QStringLiteral("번호없음"));
    const int lee = addPerson(QStringLiteral("이순신"));
    EXPECT_EQ(idsOf(makeList(NameList)->shownRows()), (std::vector<int>{kim, lee, NoNameId}));
    EXPECT_EQ(idsOf(makeList(NameAndPhone)->shownRows()), (std::vector<int>{kim, lee}));
}

TEST_F(PeopleListTest, AnUndecodableRecordHidesNoOneAfterItAndAddingStillWorks) {
    const int kim = addPerson(QStringLiteral("김유신"));
    const int broken = addPerson(QStringLiteral("망가짐"));
    const int lee = addPerson(QStringLiteral("이순신"));
    ASSERT_TRUE(testsupport::damageRecord(broken));
    EXPECT_EQ(idsOf(makeList(NameList)->shownRows()), (std::vector<int>{kim, lee, NoNameId}));
    const int park = addPerson(QStringLiteral("박문수"));
    EXPECT_GT(park, lee);
    EXPECT_EQ(idsOf(makeList(NameAndPhone)->shownRows()), (std::vector<int>{kim, park, lee}));
}

TEST_F(PeopleListTest, TheGroupFilterListsTheMembersOfTheGroupChosen) {
    ASSERT_TRUE(store.AddCategory(u" 모임"));
    const int a = addPerson(QStringLiteral("가"), QStringLiteral("VIP, 동창생"));
    const int b = addPerson(QStringLiteral("나"), QStringLiteral("동창생"));
    const int c = addPerson(QStringLiteral("다"), QStringLiteral("VIP,  모임"));
    const int d = addPerson(QStringLiteral("라"), QStringLiteral("VIP 동창생"));
    CPeopleListWnd* list = makeList(NameAndPhone);
    QComboBox* combo = list->groupCombo();
    ASSERT_EQ(combo->count(), 11);
    EXPECT_EQ(combo->itemText(0), NoGroupText);
    EXPECT_EQ(combo->itemData(0).toInt(), 0);
    EXPECT_EQ(combo->itemText(10), QStringLiteral(" 모임"));
    EXPECT_EQ(combo->itemData(10).toInt(), 10);
    EXPECT_EQ(combo->currentIndex(), 0);

    auto choose = [&](const QString& name) {
        const int index = combo->findText(name);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        return idsOf(list->shownRows());
    };
    EXPECT_EQ(choose(QStringLiteral("VIP")), (std::vector<int>{a, c}));
    EXPECT_EQ(choose(QStringLiteral("동창생")), (std::vector<int>{a, b}));
    EXPECT_EQ(choose(QStringLiteral(" 모임")), std::vector<int>{c});
    EXPECT_EQ(choose(QStringLiteral("공급자")), std::vector<int>{});
    EXPECT_EQ(choose(NoGroupText), (std::vector<int>{a, b, c, d}));
    EXPECT_TRUE(list->groupFilter().isEmpty());
}

TEST_F(PeopleListTest, ARefreshKeepsTheFilterOnShowAndDropsItWithItsGroup) {
    const int a = addPerson(QStringLiteral("가"), QStringLiteral("VIP"));
    addPerson(QStringLiteral("나"));
    CPeopleListWnd* list = makeList(NameList);
    QComboBox* combo = list->groupCombo();
    const int vip = combo->findText(QStringLiteral("VIP"));
    combo->setCurrentIndex(vip);
    emit combo->activated(vip);

    const int c = addPerson(QStringLiteral("다"), QStringLiteral("VIP"));
    list->Refresh();
    EXPECT_EQ(idsOf(list->shownRows()), (std::vector<int>{a, c, NoNameId}));
    EXPECT_EQ(combo->currentText(), QStringLiteral("VIP"));

    ASSERT_TRUE(store.DeleteCategory(u"VIP"));
    list->FillGroupFilter();
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(list->shownRows().size(), 4u);
}

TEST_F(PeopleListTest, TypingNarrowsTheListByPrefix) {
    for (const char* name : {"Kim", "Kiyoung", "Ko", "Lee"}) addPerson(QString::fromUtf8(name));
    addPerson(QStringLiteral("김유신"));
    CPeopleListWnd* list = makeList(NameList);
    ASSERT_TRUE(testsupport::showExposed(&view.widget));
    QLineEdit* edit = list->searchEdit();
    edit->setFocus();

    testsupport::commitText(edit, QStringLiteral("K"));
    EXPECT_EQ(namesOf(list->shownRows()), (QStringList{"Kim", "Kiyoung", "Ko"}));
    testsupport::commitText(edit, QStringLiteral("i"));
    EXPECT_EQ(namesOf(list->shownRows()), (QStringList{"Kim", "Kiyoung"}));
    testsupport::commitText(edit, QStringLiteral("z"));
    EXPECT_EQ(edit->text(), QStringLiteral("Kiz"));
    EXPECT_EQ(list->listControl()->topLevelItemCount(), 2);
    edit->clear();
    EXPECT_EQ(list->listControl()->topLevelItemCount(), 6);
    testsupport::commitText(edit, QStringLiteral("김"));
    EXPECT_EQ(namesOf(list->shownRows()), QStringList{"김유신"});
}

TEST_F(PeopleListTest, ATapMakesThePersonCurrentAndAHoldOpensThePersonMenu) {
    const int kim = addPerson(QStringLiteral("김유신"));
    const int lee = addPerson(QStringLiteral("이순신"));
    CPeopleListWnd* list = makeList(NameList);
    ASSERT_TRUE(testsupport::showExposed(&view.widget));
    QSignalSpy history(list, &CPeopleListWnd::historyRefreshRequested);

    EXPECT_EQ(list->GetCurrentId(), 0);
    ASSERT_TRUE(tapRow(list, QStringLiteral("이순신")));
    EXPECT_EQ(view.currentPersonId(), lee);
    EXPECT_EQ(view.currentName(), QStringLiteral("이순신"));
    EXPECT_EQ(list->GetCurrentId(), lee);
    EXPECT_EQ(list->GetCurrentName(), QStringLiteral("이순신"));
    EXPECT_EQ(history.count(), 1);

    // "No-Name.." becomes the list's current row for the history, never the view's person.
    ASSERT_TRUE(tapRow(list, NoNameText));
    EXPECT_EQ(history.count(), 2);
    EXPECT_EQ(list->GetCurrentId(), NoNameId);
    EXPECT_EQ(view.currentPersonId(), lee);

    menus.expectChoose(cmd::EditPerson);
    list->tapAndHold()->trigger(pointOf(list, QStringLiteral("김유신")));
    EXPECT_EQ(view.currentPersonId(), kim);
    EXPECT_EQ(view.commands, std::vector<int>{cmd::EditPerson});
    ASSERT_EQ(menus.shown().size(), 1u);
    EXPECT_EQ(menus.shown()[0].title, QStringLiteral("Person"));

    // No menu on the "No-Name.." row.
    list->tapAndHold()->trigger(pointOf(list, NoNameText));
    EXPECT_EQ(menus.shown().size(), 1u);
}

TEST_F(PeopleListTest, ATapSurvivesAHistoryRefreshThatReloadsTheList) {
    addPerson(QStringLiteral("김유신"));
    const int lee = addPerson(QStringLiteral("이순신"));
    CPeopleListWnd* list = makeList(NameList);
    ASSERT_TRUE(testsupport::showExposed(&view.widget));
    // The history's modal loop may refresh the main screens, and so this list.
    QObject::connect(list, &CPeopleListWnd::historyRefreshRequested, list,
                     &CPeopleListWnd::Refresh);
    ASSERT_TRUE(tapRow(list, QStringLiteral("이순신")));
    EXPECT_EQ(view.currentPersonId(), lee);
    EXPECT_EQ(view.currentName(), QStringLiteral("이순신"));
}

TEST_F(PeopleListTest, ArrowKeysMoveTheCurrentRowButNotTheViewsPerson) {
    const int kim = addPerson(QStringLiteral("김유신"));
    const int lee = addPerson(QStringLiteral("이순신"));
    CPeopleListWnd* list = makeList(NameList);
    ASSERT_TRUE(testsupport::showExposed(&view.widget));
    QSignalSpy history(list, &CPeopleListWnd::historyRefreshRequested);
    ASSERT_TRUE(tapRow(list, QStringLiteral("김유신")));
    ASSERT_EQ(view.currentPersonId(), kim);

    QTest::keyClick(list->listControl(), Qt::Key_Down);
    EXPECT_EQ(list->GetCurrentId(), lee);
    EXPECT_EQ(history.count(), 2);
    EXPECT_EQ(view.currentPersonId(), kim);
}

TEST(PeopleListPaint, Mode2HasTheTitleBandAboveTheList) {
    const QSize size(205, 180);
    const PeopleListLayout layout = peopleListLayout(NameAndPhone, size);
    EXPECT_EQ(layout.list, QRect(QPoint(1, 52), QPoint(204, 179)));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::gray);
    {
        QPainter p(&image);
        paintPeopleListBackground(p, NameAndPhone, size, layout.list);
    }
    EXPECT_EQ(image.pixelColor(1, 27), QColor(Qt::black));    // frame corner
    EXPECT_EQ(image.pixelColor(204, 40), QColor(Qt::black));  // right side
    EXPECT_EQ(image.pixelColor(3, 50), QColor(255, 204, 0));  // band
    EXPECT_EQ(image.pixelColor(3, 51), QColor(255, 204, 0));  // runs over the frame's bottom
    EXPECT_EQ(image.pixelColor(3, 10), QColor(Qt::white));
}

}  // namespace
