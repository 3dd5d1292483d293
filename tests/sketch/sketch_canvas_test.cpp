// The drawing dialog: tools, strokes at scroll positions, the text tool, LOAD and Save in each
// format, names, and loads and saves that fail.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "fs/devfs.h"
#include "people/name_input_wnd.h"
#include "shell/shell.h"
#include "sketch/dib_image.h"
#include "sketch/jpeg_codec.h"
#include "sketch/sketch_dlg.h"
#include "sketch/sketch_draw_wnd.h"
#include "sketch_fixture.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/input_panel.h"
#include "ui/resources.h"

namespace {

using sketch::CSketchDlg;
using sketch::CSketchDrawWnd;
using sketch::SketchFormat;
using sketch::SketchTool;
using sketchtest::readAll;
using sketchtest::writeAll;

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// A press at `from`, moves through `via`, a release at `to`.
void stroke(QWidget* w, QPoint from, std::initializer_list<QPoint> via, QPoint to) {
    mouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (QPoint p : via) mouse(w, QEvent::MouseMove, p, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

int countNotWhite(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++n;
    return n;
}

class SketchCanvas : public sketchtest::SketchTest {
protected:
    std::filesystem::path sketchFile(const std::string& name) {
        return roots.device() / "Program Files" / "Quorin" / "RoughSketch" / name;
    }
    QLabel* icon(CSketchDlg& dlg, int id) { return dlg.control<QLabel>(id); }
    // Saves a new sketch under `name` through the name popup.
    void saveAs(CSketchDlg& dlg, const QString& name) {
        ASSERT_TRUE(testsupport::tap(dlg.control<ui::BitmapButton>(CSketchDlg::SaveButton)));
        ASSERT_TRUE(dlg.nameInput()->isVisible());
        dlg.nameInput()->edit()->setText(name);
        ASSERT_TRUE(testsupport::tap(
            ui::control<ui::BitmapButton>(dlg.nameInput(), people::CNameInputWnd::OkButton)));
    }
    void chooseFile(const QString& devicePath) {
        shell::setFileChooser([devicePath](const shell::FileOpenRequest& request) {
            EXPECT_EQ(request.initialName, QStringLiteral("*.jpg"));
            return std::optional<std::u16string>(devicePath.toStdU16String());
        });
    }
};

TEST_F(SketchCanvas, ToolsStrokesAndTheEraserLandAtTheScrolledPosition) {
    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    CSketchDrawWnd* canvas = dlg.canvas();
    QWidget* view = canvas->viewport();
    ASSERT_EQ(canvas->picture().size(), QSize(640, 480));
    EXPECT_EQ(canvas->horizontalScrollBar()->pageStep(), view->width() * 8 / 10);

    // No tool yet: a drag draws nothing.
    stroke(view, {10, 10}, {{40, 40}}, {60, 60});
    EXPECT_EQ(countNotWhite(canvas->picture(), canvas->picture().rect()), 0);

    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::PenIcon)));
    EXPECT_EQ(dlg.tool(), SketchTool::Pen);
    EXPECT_EQ(canvas->tool(), SketchTool::Pen);
    EXPECT_EQ(icon(dlg, CSketchDlg::PenIcon)->frameShadow(), QFrame::Sunken);

    canvas->horizontalScrollBar()->setValue(300);
    canvas->verticalScrollBar()->setValue(200);
    ASSERT_EQ(canvas->horizontalScrollBar()->value(), 300);
    // A drag that leaves the window keeps drawing and ends at the release point.
    stroke(view, {10, 20}, {{50, 20}}, {50, 400});
    const QImage& pic = canvas->picture();
    EXPECT_EQ(pic.pixel(310, 220), qRgb(0, 0, 0));
    EXPECT_EQ(pic.pixel(330, 220), qRgb(0, 0, 0));
    EXPECT_EQ(pic.pixel(350, 470), qRgb(0, 0, 0));  // past the window, inside the canvas
    EXPECT_EQ(pic.pixel(10, 20), qRgb(255, 255, 255));
    EXPECT_EQ(countNotWhite(pic, {0, 0, 300, 480}), 0);

    // The eraser: a 10-pixel white line, and its icon takes the sunken frame.
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::EraserIcon)));
    EXPECT_EQ(icon(dlg, CSketchDlg::PenIcon)->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(icon(dlg, CSketchDlg::EraserIcon)->frameShadow(), QFrame::Sunken);
    stroke(view, {20, 10}, {}, {40, 30});
    EXPECT_EQ(canvas->picture().pixel(330, 220), qRgb(255, 255, 255));
    EXPECT_EQ(canvas->picture().pixel(310, 220), qRgb(0, 0, 0));
    // Tapping the current tool again changes nothing.
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::EraserIcon)));
    EXPECT_EQ(dlg.tool(), SketchTool::Eraser);

    stroke(view, {5, 100}, {}, {100, 100});
    testsupport::screenshot(&dlg, "sketch_canvas_drawn");
}

TEST_F(SketchCanvas, TextIsTypedWhereClickedAndDrawnWhenThePenLeaves) {
    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    CSketchDrawWnd* canvas = dlg.canvas();
    QWidget* view = canvas->viewport();
    canvas->verticalScrollBar()->setValue(100);
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::TextIcon)));
    ASSERT_TRUE(testsupport::tap(view, {20, 60}));
    QLineEdit* edit = canvas->textEdit();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(ui::controlId(edit), CSketchDrawWnd::TextEdit);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->geometry(), QRect(20, 51, 100, 18));
    testsupport::commitText(
        edit, QStringLiteral("공원 정문 WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"));
    // A press elsewhere (here: the Pen icon) ends the typing and draws the text.
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::PenIcon)));
    EXPECT_FALSE(canvas->isTextOpen());
    EXPECT_FALSE(edit->isVisible());
    EXPECT_TRUE(edit->text().isEmpty());
    const QImage& pic = canvas->picture();
    EXPECT_GT(countNotWhite(pic, {20, 151, 100, 18}), 20);
    // Clipped to its 100 x 18 box.
    EXPECT_EQ(countNotWhite(pic, {120, 140, 200, 40}), 0);
    EXPECT_EQ(countNotWhite(pic, {0, 0, 640, 151}), 0);

    // A rough map around the text, for people to look at.
    stroke(view, {10, 90}, {{200, 90}}, {200, 92});
    stroke(view, {90, 10}, {{90, 160}}, {92, 160});
    stroke(view, {130, 110}, {{170, 110}, {170, 140}, {130, 140}}, {130, 110});
    testsupport::screenshot(&dlg, "sketch_canvas_text");
}

TEST_F(SketchCanvas, TheInputPanelTypesIntoTheTextBoxAndItsKeysDoNotCloseIt) {
    ui::InputPanel panel;
    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    CSketchDrawWnd* canvas = dlg.canvas();
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::TextIcon)));
    ASSERT_TRUE(testsupport::tap(canvas->viewport(), {20, 60}));
    QLineEdit* edit = canvas->textEdit();
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->hasFocus());
    shell::raiseInputPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.windowHandle()));

    // Taps on the panel's keys, through its window as the stylus does.
    auto keys = [&](std::initializer_list<const char*> labels) {
        for (const char* label : labels) {
            const ui::PanelKey* key = panel.keyLabelled(QString::fromUtf8(label));
            ASSERT_NE(key, nullptr) << "no key " << label;
            QTest::mouseClick(panel.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                              key->rect.center());
        }
    };
    keys({"ㄱ", "ㅗ", "ㅇ", "ㅇ", "ㅜ", "ㅓ", "ㄴ"});
    EXPECT_TRUE(canvas->isTextOpen()) << "a key of the panel is no press elsewhere";
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text(), "공");
    EXPECT_EQ(panel.preedit(), "원");
    keys({"한/영", "⇧", "A"});
    EXPECT_EQ(edit->text(), "공원A");

    // The syllable still being composed is drawn with the rest.
    keys({"한/영", "ㅁ", "ㅜ", "ㄴ"});
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::PenIcon)));
    EXPECT_FALSE(canvas->isTextOpen());
    EXPECT_EQ(canvas->lastText(), "공원A문");
    EXPECT_GT(countNotWhite(canvas->picture(), {20, 51, 100, 18}), 20);
    shell::lowerInputPanel();
}

TEST_F(SketchCanvas, LoadAndSaveKeepTheFormatOfTheLoadedPicture) {
    // An 8-bit BMP with a grey palette, copied in from elsewhere on the device.
    BitmapInfoHeader h;
    h.biWidth = 640;
    h.biHeight = 480;
    h.biBitCount = 8;
    std::vector<uint32_t> grey(256);
    for (uint32_t i = 0; i < 256; ++i) grey[i] = i * 0x010101;
    CDibImage source;
    ASSERT_TRUE(source.Create(h, grey, std::vector<uint8_t>(640 * 480, 200)));
    std::filesystem::create_directories(file("My Documents"));
    ASSERT_TRUE(source.WriteBMP(file("My Documents/plan.BMP")));

    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    chooseFile(QStringLiteral("\\My Documents\\plan.BMP"));
    ASSERT_TRUE(testsupport::tap(dlg.control<QPushButton>(CSketchDlg::LoadButton)));
    EXPECT_EQ(dlg.format(), SketchFormat::Bmp);
    EXPECT_EQ(dlg.canvas()->picture().pixel(5, 5), qRgb(200, 200, 200));
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::PenIcon)));
    stroke(dlg.canvas()->viewport(), {10, 10}, {}, {60, 10});

    messages.expect(QStringLiteral("저장하였습니다.."));
    saveAs(dlg, QStringLiteral("park"));
    CDibImage saved;
    ASSERT_TRUE(saved.ReadBMP(sketchFile("park.bmp")));
    EXPECT_EQ(saved.header().biBitCount, 8);
    EXPECT_EQ(saved.colourCount(), 256);
    EXPECT_EQ(saved.toImage().pixel(30, 10), qRgb(0, 0, 0));
    EXPECT_EQ(saved.toImage().pixel(30, 11), qRgb(200, 200, 200));
    // The file path stays empty: the next Save asks for a name again.
    EXPECT_TRUE(dlg.filePath().isEmpty());

    // A JPEG picture saves as JPEG.
    ASSERT_EQ(sketch::WriteJpeg(file("photo.JPG"), sketchtest::quarters(640, 480)).result, 1);
    chooseFile(QStringLiteral("\\photo.JPG"));
    ASSERT_TRUE(testsupport::tap(dlg.control<QPushButton>(CSketchDlg::LoadButton)));
    EXPECT_EQ(dlg.format(), SketchFormat::Jpeg);
    messages.expect(QStringLiteral("저장하였습니다.."));
    saveAs(dlg, QStringLiteral("park"));
    QImage back;
    ASSERT_EQ(sketch::ReadJpeg(sketchFile("park.jpg"), back).result, 1);
    EXPECT_TRUE(sketchtest::near(back.pixel(100, 100), qRgb(220, 20, 20), 12));

    // Cancelling the file dialog changes nothing.
    shell::setFileChooser([](const shell::FileOpenRequest&) { return std::nullopt; });
    ASSERT_TRUE(testsupport::tap(dlg.control<QPushButton>(CSketchDlg::LoadButton)));
    EXPECT_EQ(dlg.format(), SketchFormat::Jpeg);
}

TEST_F(SketchCanvas, AnOpenedSketchIsSavedToItsOwnPathInItsOwnFormat) {
    std::filesystem::create_directories(sketchFile(""));
    CDibImage plan;
    ASSERT_TRUE(plan.CreateFromImage(sketchtest::quarters(640, 480)));
    ASSERT_TRUE(plan.WriteBMP(sketchFile("plan.BMP")));

    CSketchDlg dlg(QStringLiteral("plan.BMP"));
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    EXPECT_EQ(dlg.format(), SketchFormat::Bmp);
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::PenIcon)));
    stroke(dlg.canvas()->viewport(), {100, 100}, {}, {150, 100});
    // ".BMP" in capitals is a BMP as well.
    messages.expect(QStringLiteral("저장하였습니다.."));
    ASSERT_TRUE(testsupport::tap(dlg.control<ui::BitmapButton>(CSketchDlg::SaveButton)));
    CDibImage saved;
    ASSERT_TRUE(saved.ReadBMP(sketchFile("plan.BMP")));
    EXPECT_EQ(saved.toImage().pixel(120, 100), qRgb(0, 0, 0));
    EXPECT_FALSE(dlg.nameInput()->isVisible());

    // A failed save says so and keeps the old file.
    const std::vector<uint8_t> before = readAll(sketchFile("plan.BMP"));
    stroke(dlg.canvas()->viewport(), {100, 120}, {}, {150, 120});
    devfs::writefaults::arm(devfs::writefaults::Op::DiskFull);
    messages.expect(ui::loadString(res::IDS_SAVE_FAILED));
    ASSERT_TRUE(testsupport::tap(dlg.control<ui::BitmapButton>(CSketchDlg::SaveButton)));
    EXPECT_EQ(readAll(sketchFile("plan.BMP")), before);

    // A JPEG sketch whose write fails shows the library's word first.
    ASSERT_EQ(sketch::WriteJpeg(sketchFile("walk.jpg"), sketchtest::quarters(640, 480)).result, 1);
    const std::vector<uint8_t> jpegBefore = readAll(sketchFile("walk.jpg"));
    CSketchDlg jpegDlg(QStringLiteral("walk.jpg"));
    ASSERT_TRUE(testsupport::showExposed(&jpegDlg));
    devfs::writefaults::arm(devfs::writefaults::Op::Rename);
    messages.expect(QStringLiteral("Output file write error --- out of disk space?"));
    messages.expect(ui::loadString(res::IDS_SAVE_FAILED));
    ASSERT_TRUE(testsupport::tap(jpegDlg.control<ui::BitmapButton>(CSketchDlg::SaveButton)));
    EXPECT_EQ(readAll(sketchFile("walk.jpg")), jpegBefore);
}

TEST_F(SketchCanvas, AFailedLoadKeepsThePicture) {
    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::PenIcon)));
    stroke(dlg.canvas()->viewport(), {10, 10}, {}, {60, 10});
    const QImage drawn = dlg.canvas()->picture();

    writeAll(file("bad.bmp"), {'B', 'M', 0, 0});
    chooseFile(QStringLiteral("\\bad.bmp"));
    messages.expect(QStringLiteral("BMP 파일을 읽는데 실패했습니다."));
    ASSERT_TRUE(testsupport::tap(dlg.control<QPushButton>(CSketchDlg::LoadButton)));
    EXPECT_EQ(dlg.canvas()->picture(), drawn);

    writeAll(file("bad.jpg"), {0xFF, 0xD8, 0xFF, 0xC0, 0x00});
    chooseFile(QStringLiteral("\\bad.jpg"));
    // The library's own words: its warning that the data ended, then its error.
    messages.expect(QStringLiteral("Premature end of JPEG file"));
    messages.expect(QStringLiteral("Bogus marker length"));
    messages.expect(QStringLiteral("JPEG 파일을 읽는데 실패했습니다."));
    ASSERT_TRUE(testsupport::tap(dlg.control<QPushButton>(CSketchDlg::LoadButton)));
    EXPECT_EQ(dlg.canvas()->picture(), drawn);
    EXPECT_EQ(messages.shown()[1].caption, QStringLiteral("JPEG Library Error"));

    // A PNG is read as BMP and refused; ".jpeg" is a JPEG.
    EXPECT_FALSE(sketch::ReadsAsJpeg(QStringLiteral("photo.png")));
    EXPECT_TRUE(sketch::ReadsAsJpeg(QStringLiteral("photo.jpeg")));
    EXPECT_TRUE(sketch::ReadsAsJpeg(QStringLiteral("\\RoughSketch\\blank.jg")));
    writeAll(file("photo.png"), {0x89, 'P', 'N', 'G', 13, 10, 26, 10});
    chooseFile(QStringLiteral("\\photo.png"));
    messages.expect(QStringLiteral("BMP 파일을 읽는데 실패했습니다."));
    ASSERT_TRUE(testsupport::tap(dlg.control<QPushButton>(CSketchDlg::LoadButton)));
    EXPECT_EQ(dlg.canvas()->picture(), drawn);
}

TEST_F(SketchCanvas, NewNamesAreCheckedAndAnExistingFileIsReplacedOnlyWhenAllowed) {
    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    // Names that would leave the folder or that the device refuses.
    for (const QString& bad :
         {QStringLiteral("a\\b"), QStringLiteral("../up"), QStringLiteral("x:y"),
          QStringLiteral("tab\there"), QStringLiteral("dots.")}) {
        messages.expectContaining(QStringLiteral("파일 이름"));
        saveAs(dlg, bad);
    }
    EXPECT_FALSE(std::filesystem::exists(sketchFile("")));
    // The popup's own refusals.
    messages.expect(QStringLiteral("< ! > 와 < , > 등의 특수문자를 사용하실수 없습니다."));
    saveAs(dlg, QStringLiteral("a,b"));
    dlg.nameInput()->DestroyWindow();
    // A name as long as the record can hold, and no longer.
    EXPECT_EQ(dlg.nameInput()->edit()->maxLength(), 251);

    messages.expect(QStringLiteral("저장하였습니다.."));
    saveAs(dlg, QStringLiteral("park"));
    const std::vector<uint8_t> first = readAll(sketchFile("park.jpg"));
    ASSERT_FALSE(first.empty());

    ASSERT_TRUE(testsupport::tap(icon(dlg, CSketchDlg::PenIcon)));
    stroke(dlg.canvas()->viewport(), {10, 10}, {}, {100, 10});
    messages.expect(QStringLiteral("park.jpg 파일이 이미 있습니다. 바꾸시겠습니까?"), shell::IDNO);
    saveAs(dlg, QStringLiteral("park"));
    EXPECT_EQ(readAll(sketchFile("park.jpg")), first);
    messages.expect(QStringLiteral("park.jpg 파일이 이미 있습니다. 바꾸시겠습니까?"), shell::IDYES);
    messages.expect(QStringLiteral("저장하였습니다.."));
    saveAs(dlg, QStringLiteral("park"));
    EXPECT_NE(readAll(sketchFile("park.jpg")), first);
}

TEST_F(SketchCanvas, EveryNameThePopupTakesIsSavedAndOneTooLongForTheHostIsRefused) {
    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    // 82 and 83 Hangul characters and ".jpg" take 250 and 253 of the host's 255 bytes; the
    // temporary file of the save must fit as well.
    for (int n : {82, 83}) {
        messages.expect(QStringLiteral("저장하였습니다.."));
        saveAs(dlg, QString(n, u'길'));
        EXPECT_GT(readAll(sketchFile((QString(n, u'길') + ".jpg").toStdString())).size(), 100u)
            << n;
    }
    // 84 take 256: refused before anything is written, with the popup's own word for it.
    messages.expect(QStringLiteral("파일 이름이 너무 깁니다.."));
    saveAs(dlg, QString(84, u'길'));
    dlg.nameInput()->DestroyWindow();
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sketchFile(""))) {
        EXPECT_EQ(entry.path().extension(), ".jpg") << "no temporary file is left";
        ++files;
    }
    EXPECT_EQ(files, 2);
}

TEST_F(SketchCanvas, ANamedPipeCalledLikeASketchIsNeitherListedNorWaitedOn) {
    // Pipes named as sketches, watched should a reader wait on one.
    std::filesystem::create_directories(sketchFile(""));
    const std::vector<std::filesystem::path> pipes = {sketchFile("x.jpg"), sketchFile("y.bmp")};
    for (const auto& pipe : pipes) ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    ASSERT_EQ(sketch::WriteJpeg(sketchFile("a.jpg"), sketchtest::quarters(64, 48)).result, 1);
    testsupport::PipeWatchdog watchdog(pipes);

    EXPECT_EQ(devfs::findFiles(sketch::SketchFolder().toStdU16String(), u"*.*"),
              std::vector<std::u16string>{u"a.jpg"});
    // Opened by name, as an appointment's sketch or a LOAD would: refused at once.
    messages.expect(QStringLiteral("JPEG 파일을 읽는데 실패했습니다."));
    CSketchDlg jpeg(QStringLiteral("x.jpg"));
    ASSERT_TRUE(testsupport::showExposed(&jpeg));
    messages.expect(QStringLiteral("BMP 파일을 읽는데 실패했습니다."));
    CSketchDlg bmp(QStringLiteral("y.bmp"));
    ASSERT_TRUE(testsupport::showExposed(&bmp));
    QImage picture;
    EXPECT_EQ(sketch::ReadJpeg(sketchFile("x.jpg"), picture).result, -1);
    CDibImage dib;
    EXPECT_FALSE(dib.ReadBMP(sketchFile("y.bmp")));
    EXPECT_FALSE(watchdog.stop()) << "a reader waited on the pipe";
}

TEST_F(SketchCanvas, ANewSketchStartsFromTheBlankPictureOrWhite) {
    {
        CSketchDlg dlg;
        ASSERT_TRUE(testsupport::showExposed(&dlg));
        EXPECT_EQ(countNotWhite(dlg.canvas()->picture(), {0, 0, 640, 480}), 0);
        EXPECT_EQ(dlg.format(), SketchFormat::None);
    }
    QImage yellow(640, 480, QImage::Format_RGB32);
    yellow.fill(qRgb(250, 250, 0));
    std::filesystem::create_directories(sketchFile(""));
    ASSERT_EQ(sketch::WriteJpeg(sketchFile("blank.jg"), yellow).result, 1);
    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    EXPECT_TRUE(sketchtest::near(dlg.canvas()->picture().pixel(300, 300), qRgb(250, 250, 0), 6));
    EXPECT_EQ(dlg.format(), SketchFormat::Jpeg);
}

}  // namespace

namespace {

TEST_F(SketchCanvas, TheInstallStepWritesAWhiteBlankPictureOnce) {
    ASSERT_TRUE(sketch::InstallBlankPicture());
    const auto blank = sketchFile("blank.jg");
    QImage image;
    ASSERT_EQ(sketch::ReadJpeg(blank, image).result, 1);
    EXPECT_EQ(image.size(), QSize(640, 480));
    EXPECT_TRUE(sketchtest::near(image.pixel(320, 240), qRgb(255, 255, 255), 2));
    // One that is there is kept.
    writeAll(blank, {1, 2, 3});
    ASSERT_TRUE(sketch::InstallBlankPicture());
    EXPECT_EQ(readAll(blank), (std::vector<uint8_t>{1, 2, 3}));
    // A blank picture that cannot be read: the canvas says so and starts white.
    messages.expect(QStringLiteral("Not a JPEG file: starts with 0x01 0x02"));
    messages.expect(QStringLiteral("JPEG 파일을 읽는데 실패했습니다."));
    CSketchDlg dlg;
    ASSERT_TRUE(testsupport::showExposed(&dlg));
    EXPECT_EQ(countNotWhite(dlg.canvas()->picture(), {0, 0, 640, 480}), 0);
}

}  // namespace

namespace {

TEST(SketchNames, FitTheRecordAndStayInTheFolder) {
    const QString ext = QStringLiteral(".jpg");
    EXPECT_TRUE(sketch::SketchNameProblem(QString(251, u'a'), ext).isEmpty());
    EXPECT_FALSE(sketch::SketchNameProblem(QString(252, u'a'), ext).isEmpty());
    // The host counts the bytes of UTF-8: three for each Hangul character.
    EXPECT_TRUE(sketch::SketchNameProblem(QString(83, u'가'), ext).isEmpty());
    EXPECT_FALSE(sketch::SketchNameProblem(QString(84, u'가'), ext).isEmpty());
    EXPECT_TRUE(sketch::SketchNameProblem(QStringLiteral("시청 앞 약도"), ext).isEmpty());
    for (const char* bad : {"", "  ", "a/b", "a\\b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b",
                            "a|b", "a\x01", "a\x7f", "end.", "end "}) {
        EXPECT_FALSE(sketch::SketchNameProblem(QString::fromLatin1(bad), ext).isEmpty()) << bad;
    }
    EXPECT_EQ(sketch::SaveFormatOf(QStringLiteral("\\a\\plan.bmp")), SketchFormat::Bmp);
    EXPECT_EQ(sketch::SaveFormatOf(QStringLiteral("\\a\\plan.Bmp")), SketchFormat::Bmp);
    EXPECT_EQ(sketch::SaveFormatOf(QStringLiteral("\\a\\plan.jpg")), SketchFormat::Jpeg);
    EXPECT_EQ(sketch::SketchFolder(), QStringLiteral("\\Program Files\\Quorin\\RoughSketch"));
}

}  // namespace
