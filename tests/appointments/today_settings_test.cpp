// The briefing settings dialog against the registry: the key created with its defaults, the
// stored values shown, the empty name stored as "Quorin", long names cut, No writing nothing,
// an hour out of range read as 0 and a failed write keeping the dialog open.
#include <QComboBox>
#include <QLineEdit>

#include "appointments/today_set_dlg.h"
#include "qt/screen_test.h"
#include "registry/registry.h"
#include "registry/registry_faults.h"
#include "ui/bitmap_button.h"

namespace {

const QString kAsk = QStringLiteral("저장하고 끝내시겠습니까?");

class TodaySettingsTest : public testsupport::ScreenTest {
protected:
    void TearDown() override {
        reg::faults::clear();
        testsupport::ScreenTest::TearDown();
    }
    static std::optional<reg::Key> key() {
        return reg::Key::open(reg::Hive::CurrentUser, u"Quorin");
    }
    static void store(const std::u16string& name, uint32_t hour) {
        auto k = reg::Key::create(reg::Hive::CurrentUser, u"Quorin");
        ASSERT_TRUE(k);
        k->setString(u"NAME", name);
        k->setDword(u"TIME", hour);
    }
    QLineEdit* nameEdit(CTodaySetDlg& d) { return d.control<QLineEdit>(CTodaySetDlg::NameEditId); }
    QComboBox* hourCombo(CTodaySetDlg& d) {
        return d.control<QComboBox>(CTodaySetDlg::HourComboId);
    }
    ::testing::AssertionResult tapSave(CTodaySetDlg& d) {
        return testsupport::tap(d.control<ui::BitmapButton>(CTodaySetDlg::SaveButtonId));
    }
};

TEST_F(TodaySettingsTest, AMissingKeyIsCreatedWithItsDefaultsAndAnEmptyNameIsStoredAsQuorin) {
    ASSERT_FALSE(key());
    CTodaySetDlg d;
    ASSERT_TRUE(testsupport::showExposed(&d));
    EXPECT_TRUE(d.keyCreated());
    ASSERT_TRUE(key());
    EXPECT_EQ(key()->queryString(u"NAME"), u"");
    EXPECT_EQ(key()->queryDword(u"TIME"), 0u);
    ASSERT_EQ(hourCombo(d)->count(), 24);
    EXPECT_EQ(hourCombo(d)->itemText(0), QStringLiteral("0시 00분"));
    EXPECT_EQ(hourCombo(d)->itemText(23), QStringLiteral("23시 00분"));
    EXPECT_EQ(hourCombo(d)->itemData(7).toInt(), 7);
    EXPECT_EQ(hourCombo(d)->currentIndex(), 0);
    testsupport::screenshot(&d, QStringLiteral("today_settings"));
    hourCombo(d)->setCurrentIndex(8);
    messages.expect(kAsk, shell::IDYES);
    ASSERT_TRUE(tapSave(d));
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(key()->queryString(u"NAME"), u"Quorin");
    EXPECT_EQ(key()->queryDword(u"TIME"), 8u);
    EXPECT_EQ(d.saved().hour, 8);
}

TEST_F(TodaySettingsTest, StoredValuesAreShownLongNamesCutAndBadHoursReadAsZero) {
    store(u"가나다라마바사아자차카타파하가나다라마바사", 30);  // 21 characters
    CTodaySetDlg d;
    ASSERT_TRUE(testsupport::showExposed(&d));
    EXPECT_FALSE(d.keyCreated());
    EXPECT_EQ(nameEdit(d)->text(), QStringLiteral("가나다라마바사아자차카타파하가나다라마"));
    EXPECT_EQ(hourCombo(d)->currentIndex(), 0);
    messages.expect(kAsk, shell::IDYES);
    ASSERT_TRUE(tapSave(d));
    EXPECT_EQ(key()->queryString(u"NAME"), u"가나다라마바사아자차카타파하가나다라마");
    EXPECT_EQ(key()->queryDword(u"TIME"), 0u);
    EXPECT_EQ(settings::briefingHourOf(23u), 23);
    EXPECT_EQ(settings::briefingHourOf(24u), 0);
    EXPECT_EQ(settings::briefingHourOf(0xFFFFFFFFu), 0);
    EXPECT_EQ(settings::briefingHourOf(std::nullopt), 0);
}

TEST_F(TodaySettingsTest, NoWritesNothingAndAFailedWriteKeepsTheDialogOpen) {
    store(u"홍길동", 7);
    {
        CTodaySetDlg d;
        ASSERT_TRUE(testsupport::showExposed(&d));
        EXPECT_EQ(nameEdit(d)->text(), QStringLiteral("홍길동"));
        EXPECT_EQ(hourCombo(d)->currentIndex(), 7);
        nameEdit(d)->setText(QStringLiteral("다른 이름"));
        messages.expect(kAsk, shell::IDNO);
        ASSERT_TRUE(tapSave(d));
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_EQ(key()->queryString(u"NAME"), u"홍길동");
    }
    CTodaySetDlg d;
    ASSERT_TRUE(testsupport::showExposed(&d));
    hourCombo(d)->setCurrentIndex(9);
    reg::faults::arm(reg::faults::Op::Set);
    messages.expect(kAsk, shell::IDYES);
    messages.expect(QStringLiteral("데이타를 저장하지 못했습니다."));
    ASSERT_TRUE(tapSave(d));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(key()->queryDword(u"TIME"), 7u);
    messages.expect(kAsk, shell::IDYES);
    ASSERT_TRUE(tapSave(d));
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(key()->queryDword(u"TIME"), 9u);
}

TEST_F(TodaySettingsTest, AnUnreachableRegistryLeavesTheDefaultsOnScreen) {
    store(u"홍길동", 7);
    reg::faults::arm(reg::faults::Op::Create);
    CTodaySetDlg d;
    ASSERT_TRUE(testsupport::showExposed(&d));
    EXPECT_EQ(nameEdit(d)->text(), QString());
    EXPECT_EQ(hourCombo(d)->currentIndex(), 0);
}

}  // namespace
