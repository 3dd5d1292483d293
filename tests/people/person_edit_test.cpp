// The person editor: new and stored persons, its messages, the group choice from it, the
// refusals, the Return key and the scrolling form under the input panel.
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <map>

#include "cedb/faults.h"
#include "people/anniversary_hook.h"
#include "people/category_dlg.h"
#include "people/person_edit_dlg.h"
#include "person_edit_fixture.h"
#include "shell/shell.h"
#include "ui/bitmap_button.h"

using namespace people;
using namespace people::person_edit;
using testsupport::commitText;
using testsupport::tap;

namespace {

const QString kSavedAsk = QStringLiteral("저장 되었습니다. 기념일 정보를 추가하시겠습니까? ");

ui::BitmapButton* button(const CPersonEditDlg& dlg, int id) {
    return dlg.control<ui::BitmapButton>(id);
}

// Restores the anniversary opener when the test ends.
struct OpenerGuard {
    explicit OpenerGuard(AnniversaryOpener o) : previous(setAnniversaryOpener(std::move(o))) {}
    ~OpenerGuard() { setAnniversaryOpener(previous); }
    AnniversaryOpener previous;
};

class PersonEditTest : public PeopleScreenTest {
protected:
    int addStoredPerson(const QString& name, const QString& company) {
        RecordImage r;
        r.kind = PersonKind;
        setText(r.name, name.toStdU16String());
        setText(r.company, company.toStdU16String());
        setText(r.mobile, u"010-1234-5678");
        setText(r.workPhone, u"None");
        setText(r.homePhone, u"None");
        setText(r.fax, u"None");
        setText(r.groups, u"VIP");
        EXPECT_TRUE(view.store().AddRecord(r));
        return r.id;
    }
};

TEST_F(PersonEditTest, NewPersonWithoutTelephonesStoresNoneAndShowsItAgain) {
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        commitText(dlg.edit(NameEdit), QStringLiteral("김민수"));
        commitText(dlg.edit(EmailEdit), QStringLiteral("minsu@example.kr"));
        messages.expect(kSavedAsk, shell::IDNO);
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
    });
    RunPersonEditor(view, 0, true);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].buttons, shell::Buttons::YesNo);

    const std::vector<RecordImage> stored = persons();
    ASSERT_EQ(stored.size(), 1u);
    const RecordImage& p = stored[0];
    EXPECT_EQ(text(p.name), u"김민수");
    EXPECT_EQ(text(p.email), u"minsu@example.kr");
    for (auto* phone : {&p.mobile, &p.workPhone, &p.homePhone, &p.fax}) {
        EXPECT_EQ(text(*phone), u"None");
    }
    EXPECT_EQ(text(p.company), u"");
    EXPECT_EQ(text(p.groups), u"");

    // Edited again, the form shows what is stored, "None" included, and Done stores nothing.
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        EXPECT_EQ(dlg.edit(NameEdit)->text(), QStringLiteral("김민수"));
        for (int id : {MobileEdit, WorkPhoneEdit, HomePhoneEdit, FaxEdit}) {
            EXPECT_EQ(dlg.edit(id)->text(), QStringLiteral("None")) << id;
        }
        commitText(dlg.edit(CompanyEdit), QStringLiteral("한빛상사"));
        ASSERT_TRUE(tap(button(dlg, DoneButton)));
    });
    RunPersonEditor(view, p.id, false);
    EXPECT_EQ(text(persons()[0].company), u"");
}

TEST_F(PersonEditTest, YesAfterTheFirstSaveOpensTheAnniversariesOfThePersonJustAdded) {
    addStoredPerson(QStringLiteral("먼저 온 사람"), {});  // the new one cannot be the first id
    struct Call {
        QString name;
        int personId;
        QWidget* parent;
    };
    std::vector<Call> calls;
    OpenerGuard guard([&](MainView& v, QWidget* parent, const QString& name, int personId) {
        EXPECT_EQ(&v, &view);
        calls.push_back({name, personId, parent});
    });
    CPersonEditDlg* editor = nullptr;
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        editor = &dlg;
        commitText(dlg.edit(NameEdit), QStringLiteral("이영희"));
        messages.expect(kSavedAsk, shell::IDYES);
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
    });
    RunPersonEditor(view, 0, true);

    const std::vector<RecordImage> stored = persons();
    ASSERT_EQ(stored.size(), 2u);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].personId, stored[1].id);
    EXPECT_EQ(calls[0].name, QStringLiteral("이영희"));
    EXPECT_EQ(calls[0].parent, editor);
}

TEST_F(PersonEditTest, RefusesWhatItCannotStoreAndStoresNothing) {
    ASSERT_TRUE(view.store().AddCategory(u"친구;동료"));
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        messages.expect(QStringLiteral("이름을 입력하여 주십시오.."));
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));

        // ";" ends each name in an appointment's participant names.
        commitText(dlg.edit(NameEdit), QStringLiteral("박;철수"));
        messages.expect(QStringLiteral("이름에는 < ; > 특수문자를 사용하실수 없습니다."));
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));

        dlg.edit(NameEdit)->setText(QStringLiteral("박철수"));
        modals.expect<CCategoryDlg>([&](CCategoryDlg& groups) {
            QTreeWidget* list = groups.list();
            QTreeWidgetItem* item =
                list->findItems(QStringLiteral("친구;동료"), Qt::MatchExactly)[0];
            ASSERT_TRUE(tap(list->viewport(),
                            groups.checkBoxRect(list->indexOfTopLevelItem(item)).center()));
            ASSERT_TRUE(tap(groups.control<ui::BitmapButton>(CCategoryDlg::CloseButton)));
        });
        ASSERT_TRUE(tap(button(dlg, GroupsButton)));
        EXPECT_EQ(dlg.edit(GroupsEdit)->text(), QStringLiteral("친구;동료"));
        messages.expect(QStringLiteral("그룹 이름에는 < ; > 특수문자를 사용하실수 없습니다."));
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
        EXPECT_TRUE(dlg.isVisible());
        ASSERT_TRUE(tap(button(dlg, DoneButton)));
    });
    RunPersonEditor(view, 0, true);
    EXPECT_TRUE(persons().empty());
}

TEST_F(PersonEditTest, EditsHoldNoMoreThanTheirFieldsSoNothingIsCutOnSaving) {
    const std::map<int, int> limits = {
        {NameEdit, 19},      {CompanyEdit, 19}, {TitleEdit, 29},
        {AddressEdit, 49},   {MobileEdit, 19},  {WorkPhoneEdit, 19},
        {HomePhoneEdit, 19}, {FaxEdit, 19},     {EmailEdit, 29},
    };
    std::map<int, QString> shown;
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        for (const auto& [id, limit] : limits) {
            commitText(dlg.edit(id), QString(60, QChar(u'가' + id % 50)));
            shown[id] = dlg.edit(id)->text();
            EXPECT_EQ(shown[id].size(), limit) << id;
        }
        messages.expect(kSavedAsk, shell::IDNO);
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
    });
    RunPersonEditor(view, 0, true);
    ASSERT_EQ(persons().size(), 1u);
    RecordImage stored = persons()[0];
    for (const PersonField& f : PersonFields) {
        if (f.propId == PropGroups) continue;
        EXPECT_EQ(qtext(text(textField(stored, f.propId))), shown[f.editId]) << f.editId;
    }
}

TEST_F(PersonEditTest, GroupChoiceFillsTheGroupEditOnlyWhenItFits) {
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        QLineEdit* groups = dlg.edit(GroupsEdit);
        auto checkRows = [&](std::vector<int> rows) {
            return [&, rows](CCategoryDlg& choice) {
                for (int row : rows) {
                    ASSERT_TRUE(tap(choice.list()->viewport(), choice.checkBoxRect(row).center()));
                }
                ASSERT_TRUE(tap(choice.control<ui::BitmapButton>(CCategoryDlg::CloseButton)));
            };
        };
        // The default categories: 개인 친분, 공급자, VIP, ...
        modals.expect<CCategoryDlg>(checkRows({1, 2}));
        ASSERT_TRUE(tap(button(dlg, GroupsButton)));
        EXPECT_EQ(groups->text(), QStringLiteral("공급자, VIP"));

        // Seven groups take 43 units; cut to the field's 29 one name would lose its end.
        modals.expect<CCategoryDlg>(checkRows({0, 3, 4, 5, 6}));
        messages.expectContaining(QStringLiteral("선택하신 그룹이 너무 많습니다"));
        ASSERT_TRUE(tap(button(dlg, GroupsButton)));
        EXPECT_EQ(groups->text(), QStringLiteral("공급자, VIP"));

        // Leaving the choice without Close keeps the groups.
        modals.expect<CCategoryDlg>([](CCategoryDlg& choice) { choice.reject(); });
        ASSERT_TRUE(tap(button(dlg, GroupsButton)));
        EXPECT_EQ(groups->text(), QStringLiteral("공급자, VIP"));

        // No group checked empties the edit.
        modals.expect<CCategoryDlg>(checkRows({1, 2}));
        ASSERT_TRUE(tap(button(dlg, GroupsButton)));
        EXPECT_EQ(groups->text(), QString());
        ASSERT_TRUE(tap(button(dlg, DoneButton)));
    });
    RunPersonEditor(view, 0, true);
}

TEST_F(PersonEditTest, UpdatingAStoredPersonReportsSuccessAndFailure) {
    const int id = addStoredPerson(QStringLiteral("최지훈"), QStringLiteral("한빛상사"));
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        EXPECT_EQ(dlg.edit(CompanyEdit)->text(), QStringLiteral("한빛상사"));
        EXPECT_EQ(dlg.edit(GroupsEdit)->text(), QStringLiteral("VIP"));
        dlg.edit(CompanyEdit)->clear();
        commitText(dlg.edit(CompanyEdit), QStringLiteral("누리전자"));

        cedb::faults::arm({.op = cedb::faults::Op::Update});
        messages.expect(QStringLiteral("수정되지 않았습니다..다시 시도하여 주십시오.."));
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.edit(CompanyEdit)->text(), QStringLiteral("누리전자"));
        EXPECT_EQ(text(persons()[0].company), u"한빛상사");

        messages.expect(QStringLiteral("업데이트 되었습니다.."));
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
    });
    RunPersonEditor(view, id, false);
    const std::vector<RecordImage> stored = persons();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(text(stored[0].company), u"누리전자");
    EXPECT_EQ(text(stored[0].mobile), u"010-1234-5678");
}

TEST_F(PersonEditTest, AFailedAddKeepsTheFormOpen) {
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        commitText(dlg.edit(NameEdit), QStringLiteral("정수빈"));
        cedb::faults::arm({.op = cedb::faults::Op::Add});
        messages.expect(QStringLiteral("저장되지 않았습니다.. 다시 시도하여 주십시오.."));
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.edit(NameEdit)->text(), QStringLiteral("정수빈"));
        messages.expect(kSavedAsk, shell::IDNO);
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
    });
    RunPersonEditor(view, 0, true);
    ASSERT_EQ(persons().size(), 1u);
}

TEST_F(PersonEditTest, OpenedWithoutAPersonItSaysSo) {
    // No person chosen: the form stays empty and Update does nothing.
    messages.expect(QStringLiteral("선택해 주세요"));
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        EXPECT_EQ(dlg.edit(NameEdit)->text(), QString());
        commitText(dlg.edit(NameEdit), QStringLiteral("한가람"));
        ASSERT_TRUE(tap(button(dlg, UpdateButton)));
        EXPECT_TRUE(dlg.isVisible());
        ASSERT_TRUE(tap(button(dlg, DoneButton)));
    });
    RunPersonEditor(view, -1, false);
    EXPECT_TRUE(persons().empty());

    messages.expect(QStringLiteral("데이터를 찾을 수가 없습니다..데이터가 올바른지 확인하세요."));
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        EXPECT_EQ(dlg.edit(NameEdit)->text(), QString());
        ASSERT_TRUE(tap(button(dlg, DoneButton)));
    });
    RunPersonEditor(view, 41, false);
}

TEST_F(PersonEditTest, ReturnGoesToTheFocusedControlAndPressesNoButton) {
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        QLineEdit* name = dlg.edit(NameEdit);
        commitText(name, QStringLiteral("윤서연"));
        QSignalSpy returned(name, &QLineEdit::returnPressed);
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        EXPECT_EQ(returned.count(), 1);
        for (int id : {UpdateButton, DoneButton}) {
            button(dlg, id)->setFocus();
            QTest::keyClick(button(dlg, id), Qt::Key_Return);
            QTest::keyClick(button(dlg, id), Qt::Key_Enter, Qt::KeypadModifier);
        }
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(persons().empty());
        ASSERT_TRUE(tap(button(dlg, DoneButton)));
    });
    RunPersonEditor(view, 0, true);
}

TEST_F(PersonEditTest, FormScrollsUnderTheInputPanelAndComesBackWhenItIsLowered) {
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        std::map<int, QRect> placed;
        for (int id : CPersonEditDlg::ScrollingControls) {
            ASSERT_NE(dlg.control(id), nullptr) << id;
            placed[id] = dlg.control(id)->geometry();
        }
        auto shiftedBy = [&](int up) {
            for (int id : CPersonEditDlg::ScrollingControls) {
                if (dlg.control(id)->geometry() != placed[id].translated(0, -up)) return false;
            }
            return true;
        };
        EXPECT_FALSE(dlg.scrollBar()->isVisible());

        shell::raiseInputPanel();
        // The form ends where the panel begins: 106 of its 294 pixels are out of sight.
        const int visible = shell::inputPanelRect().top() - 26;
        ASSERT_EQ(dlg.height(), visible);
        const int excess = 294 - visible;
        EXPECT_EQ(dlg.maxScrollPosition(), excess);
        EXPECT_TRUE(dlg.scrollBar()->isVisible());
        EXPECT_EQ(dlg.scrollBar()->maximum(), excess);

        // Line by line (one pixel a step) down to the last control, through the bar itself.
        dlg.scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_TRUE(shiftedBy(1));
        EXPECT_EQ(dlg.scrollBar()->value(), 1);
        for (int i = 1; i < excess + 5; ++i) dlg.OnVScroll(CPersonEditDlg::SB_LINEDOWN);
        EXPECT_EQ(dlg.scrollPosition(), excess);
        EXPECT_TRUE(shiftedBy(excess));
        EXPECT_LE(dlg.control(DoneButton)->geometry().bottom(), visible);
        dlg.OnVScroll(CPersonEditDlg::SB_LINEUP);
        EXPECT_TRUE(shiftedBy(excess - 1));

        dlg.scrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        EXPECT_TRUE(shiftedBy(0));
        EXPECT_EQ(dlg.scrollBar()->value(), 0);
        dlg.OnVScroll(CPersonEditDlg::SB_PAGEDOWN);
        EXPECT_TRUE(shiftedBy(excess));
        dlg.OnVScroll(CPersonEditDlg::SB_TOP);
        EXPECT_TRUE(shiftedBy(0));
        dlg.OnVScroll(CPersonEditDlg::SB_BOTTOM);
        EXPECT_TRUE(shiftedBy(excess));
        dlg.scrollBar()->setSliderPosition(40);  // dragging the thumb
        EXPECT_TRUE(shiftedBy(40));
        EXPECT_EQ(dlg.scrollPosition(), 40);
        dlg.OnVScroll(CPersonEditDlg::SB_THUMBPOSITION, 90);
        EXPECT_TRUE(shiftedBy(40));

        shell::lowerInputPanel();
        EXPECT_EQ(dlg.height(), 294);
        EXPECT_TRUE(shiftedBy(0));
        EXPECT_EQ(dlg.scrollPosition(), 0);
        EXPECT_FALSE(dlg.scrollBar()->isVisible());
        dlg.OnVScroll(CPersonEditDlg::SB_LINEDOWN);
        EXPECT_TRUE(shiftedBy(0));
        ASSERT_TRUE(tap(button(dlg, DoneButton)));
    });
    RunPersonEditor(view, 0, true);
}

TEST_F(PersonEditTest, Screenshot) {
    const int id = addStoredPerson(QStringLiteral("김민수"), QStringLiteral("한빛상사"));
    modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
        const std::pair<int, const char*> texts[] = {
            {EmailEdit, "minsu.kim@hanbit.co.kr"},
            {TitleEdit, "영업부 과장"},
            {AddressEdit, "서울시 중구 세종대로 110"},
            {WorkPhoneEdit, "02-312-4567"},
        };
        for (const auto& [edit, t] : texts) dlg.edit(edit)->setText(QString::fromUtf8(t));
        EXPECT_FALSE(testsupport::screenshot(&dlg, QStringLiteral("person_edit")).isEmpty());
        shell::raiseInputPanel();
        for (int i = 0; i < 60; ++i) dlg.OnVScroll(CPersonEditDlg::SB_LINEDOWN);
        EXPECT_FALSE(
            testsupport::screenshot(&dlg, QStringLiteral("person_edit_input_panel")).isEmpty());
        shell::lowerInputPanel();
        ASSERT_TRUE(tap(button(dlg, DoneButton)));
    });
    RunPersonEditor(view, id, false);
}

}  // namespace
