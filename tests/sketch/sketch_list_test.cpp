// The sketch library: what it lists, picking, Select, Edit and Cancel, and the choice as the
// appointment editor's attach button receives it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTreeWidget>

#include "appointments/screen_hooks.h"
#include "sketch/dib_image.h"
#include "sketch/jpeg_codec.h"
#include "people/name_input_wnd.h"
#include "sketch/sketch_dlg.h"
#include "sketch/sketch_draw_wnd.h"
#include "sketch/sketch_list_dlg.h"
#include "sketch_fixture.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/resources.h"

namespace {

using sketch::CSketchDlg;
using sketch::CSketchListDlg;
using sketchtest::writeAll;

class SketchList : public sketchtest::SketchTest {
protected:
    std::filesystem::path folder() { return roots.device() / "Program Files" / "Quorin" / "RoughSketch"; }
    void addSketches(std::initializer_list<const char*> names) {
        for (const char* name : names) writeAll(folder() / name, {1, 2, 3});
    }
    void pick(CSketchListDlg& dlg, const QString& name) {
        QRect label = dlg.labelRect(name);
        ASSERT_FALSE(label.isEmpty()) << name.toStdString();
        ASSERT_TRUE(testsupport::tap(dlg.list()->viewport(), {label.left() + 8, label.center().y()}));
    }
    ui::BitmapButton* button(CSketchListDlg& dlg, int id) { return dlg.control<ui::BitmapButton>(id); }
};

TEST_F(SketchList, ListsTheBmpAndJpgFilesSortedAndNothingElse) {
    addSketches({"b.bmp", "a.jpg", "blank.jg", "notes.txt", "C.JPG", "park.jpeg"});
    CSketchListDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    EXPECT_EQ(dlg.names(), (QStringList{"a.jpg", "b.bmp", "C.JPG"}));
    EXPECT_TRUE(dlg.control<QTreeWidget>(CSketchListDlg::List)->isHeaderHidden());
    testsupport::screenshot(&dlg, "sketch_library");
}

TEST_F(SketchList, AnEmptyFolderNamesBothMissingKinds) {
    messages.expect(QStringLiteral(".BMP 파일이 없습니다.."));
    messages.expect(QStringLiteral(".JPG 파일이 없습니다.."));
    CSketchListDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    EXPECT_TRUE(dlg.names().isEmpty());
}

TEST_F(SketchList, SelectAsksAndReturnsTheName) {
    addSketches({"a.jpg", "b.bmp"});
    CSketchListDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    messages.expect(ui::loadString(res::IDS_NOTHING_SELECTED));
    ASSERT_TRUE(testsupport::tap(button(dlg, CSketchListDlg::SelectButton)));

    pick(dlg, QStringLiteral("b.bmp"));
    EXPECT_EQ(dlg.selectedName(), QStringLiteral("b.bmp"));
    // A press on the empty part of the list drops the pick.
    ASSERT_TRUE(testsupport::tap(dlg.list()->viewport(), {100, 150}));
    EXPECT_TRUE(dlg.selectedName().isEmpty());

    pick(dlg, QStringLiteral("a.jpg"));
    messages.expect(QStringLiteral("a.jpg 가 선택되었습니다 ..맞습니까?"), shell::IDNO);
    ASSERT_TRUE(testsupport::tap(button(dlg, CSketchListDlg::SelectButton)));
    EXPECT_TRUE(dlg.isVisible());
    messages.expect(QStringLiteral("a.jpg 가 선택되었습니다 ..맞습니까?"), shell::IDYES);
    ASSERT_TRUE(testsupport::tap(button(dlg, CSketchListDlg::SelectButton)));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(SketchList, SelectionCanBeDisabled) {
    addSketches({"a.jpg", "b.bmp"});
    CSketchListDlg dlg(true);
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    EXPECT_FALSE(button(dlg, CSketchListDlg::SelectButton)->isEnabled());
}

TEST_F(SketchList, EditOpensTheDrawingDialogAndRefillsAfterwards) {
    addSketches({"b.bmp"});
    ASSERT_EQ(sketch::WriteJpeg(folder() / "a.jpg", sketchtest::quarters(64, 48)).result, 1);
    CSketchListDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));

    // Nothing picked: asked whether to draw a new one. No only refills.
    messages.expect(ui::loadString(res::IDS_SKETCH_MISSING), shell::IDNO);
    ASSERT_TRUE(testsupport::tap(button(dlg, CSketchListDlg::EditButton)));

    // Yes: a new sketch, saved as "map", is listed when the drawing dialog closes.
    messages.expect(ui::loadString(res::IDS_SKETCH_MISSING), shell::IDYES);
    modals.expect<CSketchDlg>([&](CSketchDlg& draw) {
        EXPECT_TRUE(draw.filePath().isEmpty());
        messages.expect(QStringLiteral("저장하였습니다.."));
        ASSERT_TRUE(testsupport::tap(draw.control<ui::BitmapButton>(CSketchDlg::SaveButton)));
        draw.nameInput()->edit()->setText(QStringLiteral("map"));
        ASSERT_TRUE(testsupport::tap(ui::control<ui::BitmapButton>(draw.nameInput(), 235)));
        ASSERT_TRUE(testsupport::tap(draw.control<ui::BitmapButton>(CSketchDlg::ListButton)));
    });
    ASSERT_TRUE(testsupport::tap(button(dlg, CSketchListDlg::EditButton)));
    EXPECT_EQ(dlg.names(), (QStringList{"a.jpg", "b.bmp", "map.jpg"}));

    // A picked sketch opens on its own file.
    pick(dlg, QStringLiteral("a.jpg"));
    modals.expect<CSketchDlg>([&](CSketchDlg& draw) {
        EXPECT_TRUE(draw.filePath().endsWith(QStringLiteral("\\RoughSketch\\a.jpg")));
        EXPECT_EQ(draw.canvas()->picture().size(), QSize(64, 48));
        ASSERT_TRUE(testsupport::tap(draw.control<ui::BitmapButton>(CSketchDlg::CancelButton)));
    });
    ASSERT_TRUE(testsupport::tap(button(dlg, CSketchListDlg::EditButton)));
    EXPECT_EQ(dlg.selectedName(), QStringLiteral("a.jpg"));
}

TEST_F(SketchList, TheAttachHookReturnsTheChosenNameOrNothing) {
    addSketches({"a.jpg", "b.bmp"});
    const appointments::ScreenHooks saved = appointments::screenHooks();
    appointments::screenHooks().chooseSketch = sketch::ChooseSketch;
    QWidget parent;
    modals.expect<CSketchListDlg>([&](CSketchListDlg& dlg) {
        pick(dlg, QStringLiteral("b.bmp"));
        messages.expect(QStringLiteral("b.bmp 가 선택되었습니다 ..맞습니까?"), shell::IDYES);
        ASSERT_TRUE(testsupport::tap(button(dlg, CSketchListDlg::SelectButton)));
    });
    EXPECT_EQ(appointments::ChooseSketch(&parent), std::optional<QString>(QStringLiteral("b.bmp")));

    modals.expect<CSketchListDlg>([&](CSketchListDlg& dlg) {
        pick(dlg, QStringLiteral("b.bmp"));
        ASSERT_TRUE(testsupport::tap(button(dlg, CSketchListDlg::CancelButton)));
    });
    EXPECT_EQ(appointments::ChooseSketch(&parent), std::nullopt);
    appointments::screenHooks() = saved;
}

}  // namespace
