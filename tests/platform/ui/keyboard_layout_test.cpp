// The input panel's keyboards: every key inside the 240 x 80 panel, none over another, and
// each layout with the keys it promises.
#include "ui/keyboard_layout.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

using ui::KeyboardLayout;
using ui::PanelKey;

TEST(PanelKeyboard, EveryLayoutFillsThePanelWithoutOverlapsAndFindsEachKeyAtItsCentre) {
    for (KeyboardLayout layout :
         {KeyboardLayout::Korean, KeyboardLayout::English, KeyboardLayout::Symbols}) {
        for (bool shift : {false, true}) {
            const std::vector<PanelKey> keys = ui::panelKeys(layout, shift);
            int area = 0;
            for (size_t i = 0; i < keys.size(); ++i) {
                EXPECT_TRUE(QRect(0, 0, 240, 80).contains(keys[i].rect))
                    << keys[i].label.toStdString();
                EXPECT_GE(keys[i].rect.width(), 24) << "narrower than a stylus tap";
                for (size_t j = i + 1; j < keys.size(); ++j) {
                    EXPECT_FALSE(keys[i].rect.intersects(keys[j].rect));
                }
                EXPECT_EQ(ui::keyAt(keys, keys[i].rect.center()), &keys[i]);
                area += keys[i].rect.width() * keys[i].rect.height();
            }
            // The two short rows leave 12 pixels at each end; nothing else is a gap.
            EXPECT_EQ(area, 240 * 80 - 2 * 12 * 20);
            int kinds = 0;
            for (auto kind : {PanelKey::Backspace, PanelKey::Space, PanelKey::Return,
                              PanelKey::Language, PanelKey::Symbols}) {
                kinds += int(std::count_if(keys.begin(), keys.end(),
                                           [&](const PanelKey& k) { return k.kind == kind; }));
            }
            EXPECT_EQ(kinds, 5);
        }
    }
    EXPECT_EQ(ui::keyAt(ui::panelKeys(KeyboardLayout::Korean, false), QPoint(5, 25)), nullptr);
}

QString labels(const std::vector<PanelKey>& keys) {
    QString out;
    for (const PanelKey& k : keys) {
        if (k.kind == PanelKey::Character) out += k.label;
    }
    return out;
}

TEST(PanelKeyboard, TwoSetShiftGivesTheDoubledConsonantsAndTheExtraVowels) {
    const auto plain = ui::panelKeys(KeyboardLayout::Korean, false);
    const auto shifted = ui::panelKeys(KeyboardLayout::Korean, true);
    EXPECT_EQ(labels(plain), "ㅂㅈㄷㄱㅅㅛㅕㅑㅐㅔㅁㄴㅇㄹㅎㅗㅓㅏㅣㅋㅌㅊㅍㅠㅜㅡ");
    EXPECT_EQ(labels(shifted), "ㅃㅉㄸㄲㅆㅛㅕㅑㅒㅖㅁㄴㅇㄹㅎㅗㅓㅏㅣㅋㅌㅊㅍㅠㅜㅡ");
    // The engine reads the two-set keys: ㄱ is r, ㄲ is R.
    EXPECT_EQ(plain[3].text, "r");
    EXPECT_EQ(shifted[3].text, "R");
    EXPECT_EQ(labels(ui::panelKeys(KeyboardLayout::English, true)), "QWERTYUIOPASDFGHJKLZXCVBNM");
    EXPECT_TRUE(labels(ui::panelKeys(KeyboardLayout::Symbols, false)).startsWith("1234567890"));
    // From the digits the switch goes back to the letters that were in use.
    auto back = [](KeyboardLayout letters) {
        for (const PanelKey& k : ui::panelKeys(KeyboardLayout::Symbols, false, letters)) {
            if (k.kind == PanelKey::Symbols) return k.label;
        }
        return QString();
    };
    EXPECT_EQ(back(KeyboardLayout::Korean), "가");
    EXPECT_EQ(back(KeyboardLayout::English), "abc");
}

}  // namespace
