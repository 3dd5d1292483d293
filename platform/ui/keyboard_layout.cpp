#include "keyboard_layout.h"

namespace ui {

namespace {

constexpr int kKeyWidth = 24;
constexpr int kWideKey = 36;  // Shift and Backspace
constexpr int kSwitchKey = 40;

// The two-set keyboard sits on the Latin letters: each jamo is the key of its letter.
constexpr char16_t kKoreanRows[3][11] = {
    u"ㅂㅈㄷㄱㅅㅛㅕㅑㅐㅔ",
    u"ㅁㄴㅇㄹㅎㅗㅓㅏㅣ",
    u"ㅋㅌㅊㅍㅠㅜㅡ",
};
// With Shift the five doubled consonants and the two extra vowels; the rest stay.
constexpr char16_t kKoreanShiftedRow0[11] = u"ㅃㅉㄸㄲㅆㅛㅕㅑㅒㅖ";
constexpr const char* kLatinRows[3] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
constexpr const char16_t* kSymbolRows[3] = {u"1234567890", u"-/:;()@&\"", u".,?!'_*#"};

void addRow(std::vector<PanelKey>& keys, int row, int left, const std::vector<PanelKey>& row_) {
    int x = left;
    for (PanelKey key : row_) {
        const int w = key.rect.width();
        key.rect = QRect(x, row * kPanelKeyHeight, w, kPanelKeyHeight);
        x += w;
        keys.push_back(key);
    }
}

PanelKey key(PanelKey::Kind kind, const QString& label, int width, const QString& text = {}) {
    return PanelKey{kind, label, text, QRect(0, 0, width, kPanelKeyHeight)};
}

// The letter rows of the Korean or the English layout.
std::vector<PanelKey> letterRow(KeyboardLayout layout, bool shift, int row) {
    std::vector<PanelKey> out;
    const char* latin = kLatinRows[row];
    for (int i = 0; latin[i]; ++i) {
        const QChar letter = QLatin1Char(latin[i]);
        if (layout == KeyboardLayout::Korean) {
            const char16_t jamo = shift && row == 0 ? kKoreanShiftedRow0[i] : kKoreanRows[row][i];
            // Shift gives the engine the capital, which it reads as the doubled jamo where
            // there is one and as the plain jamo elsewhere.
            const QString keyText = shift ? QString(letter.toUpper()) : QString(letter);
            out.push_back(key(PanelKey::Character, QString(QChar(jamo)), kKeyWidth, keyText));
        } else {
            const QString text = shift ? QString(letter.toUpper()) : QString(letter);
            out.push_back(key(PanelKey::Character, text, kKeyWidth, text));
        }
    }
    return out;
}

std::vector<PanelKey> symbolRow(int row) {
    std::vector<PanelKey> out;
    const QString chars = QString::fromUtf16(kSymbolRows[row]);
    for (int i = 0; i < chars.size(); ++i) {
        // The first key of the third row is wide, under the letters' Shift.
        const int w = row == 2 && i == 0 ? kWideKey : kKeyWidth;
        out.push_back(key(PanelKey::Character, chars.mid(i, 1), w, chars.mid(i, 1)));
    }
    return out;
}

}  // namespace

std::vector<PanelKey> panelKeys(KeyboardLayout layout, bool shift, KeyboardLayout letters) {
    std::vector<PanelKey> keys;
    const bool symbols = layout == KeyboardLayout::Symbols;
    if (symbols) {
        addRow(keys, 0, 0, symbolRow(0));
        addRow(keys, 1, 12, symbolRow(1));
        std::vector<PanelKey> third = symbolRow(2);
        third.push_back(key(PanelKey::Backspace, QStringLiteral("←"), kWideKey));
        addRow(keys, 2, 0, third);
    } else {
        addRow(keys, 0, 0, letterRow(layout, shift, 0));
        addRow(keys, 1, 12, letterRow(layout, shift, 1));
        std::vector<PanelKey> third{key(PanelKey::Shift, QStringLiteral("⇧"), kWideKey)};
        for (const PanelKey& k : letterRow(layout, shift, 2)) third.push_back(k);
        third.push_back(key(PanelKey::Backspace, QStringLiteral("←"), kWideKey));
        addRow(keys, 2, 0, third);
    }
    const QString lettersName =
        letters == KeyboardLayout::English ? QStringLiteral("abc") : QStringLiteral("가");
    addRow(keys, 3, 0,
           {key(PanelKey::Language, QStringLiteral("한/영"), kSwitchKey),
            key(PanelKey::Symbols, symbols ? lettersName : QStringLiteral("123"), kSwitchKey),
            key(PanelKey::Space, QString(), 240 - 3 * kSwitchKey, QStringLiteral(" ")),
            key(PanelKey::Return, QStringLiteral("↵"), kSwitchKey)});
    return keys;
}

const PanelKey* keyAt(const std::vector<PanelKey>& keys, const QPoint& point) {
    for (const PanelKey& k : keys) {
        if (k.rect.contains(point)) return &k;
    }
    return nullptr;
}

}  // namespace ui
