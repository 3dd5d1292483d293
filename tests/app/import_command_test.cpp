// The contact import as the program runs it: the command from the main view, a contact file in
// the device's Contacts folder, and the people list showing the imported people afterwards.
#include <QTreeWidget>
#include <fstream>

#include "app/day_agenda.h"
#include "app/layout_app.h"
#include "app/layout_view.h"
#include "app/main_frame.h"
#include "app/program_screens.h"
#include "appointments/schedule_view.h"
#include "fs/devfs.h"
#include "people/people_list_wnd.h"
#include "pim/pim.h"
#include "qt/screen_test.h"
#include "running_program.h"
#include "store/record_store.h"
#include "view_contract/commands.h"

namespace {

using ImportCommandTest = testsupport::RunningProgramTest;

TEST_F(ImportCommandTest, ImportedPeopleAndTheirAnniversariesAreInTheStoreAndTheListAtOnce) {
    const auto folder = devfs::toHost(pim::kContactsFolder);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "phone.vcf", std::ios::binary)
        << "BEGIN:VCARD\r\nVERSION:2.1\r\n"
           "N;CHARSET=EUC-KR;ENCODING=QUOTED-PRINTABLE:=C8=AB;=B1=E6=B5=BF;;;\r\n"
           "TEL;CELL:010-1234-5678\r\nBDAY:1980-05-17\r\nX-ANNIVERSARY:2005-10-09\r\n"
           "CATEGORIES:가족\r\nEND:VCARD\r\n";
    messages.expect(QStringLiteral("지금 데이타를 가져오시겠습니까?"), shell::IDYES)
        .expect(QStringLiteral("포팅이 성공적으로 끝났습니다.."));
    view().runCommand(cmd::ImportPocketContacts);
    messages.verify();

    auto* schedule = qobject_cast<CScheduleView*>(view().paneWindow(SchedulePane));
    ASSERT_TRUE(schedule);
    QTreeWidget* tree = schedule->peopleList()->listControl();
    EXPECT_FALSE(tree->findItems(QStringLiteral("홍길동"), Qt::MatchExactly).isEmpty())
        << "the list was reloaded after the import";
    testsupport::screenshot(app_->frame(), QStringLiteral("import_people_list"));

    std::vector<std::u16string> contents;
    view().store().walkRecords(AnniversaryKind, {PropContent, PropParticipantIds},
                               [&](const RecordImage& r) {
                                   EXPECT_EQ(text(r.participantIds), u"11");
                                   contents.emplace_back(text(r.content));
                                   return true;
                               });
    EXPECT_EQ(contents, (std::vector<std::u16string>{u"생일", u"결혼 기념일"}));
}

}  // namespace
