// The keys of the input panel's keyboard, laid out in the panel's 240 x 80 pixels: four rows
// of 20 pixels. Three layouts share the rows: Korean two-set (두벌식), English letters, and
// digits with symbols. The last row holds the language switch (한/영), the switch to and from
// the digits, Space and Return; Backspace ends the third row.
#pragma once

#include <QRect>
#include <QString>
#include <vector>

namespace ui {

enum class KeyboardLayout { Korean, English, Symbols };

struct PanelKey {
    enum Kind { Character, Shift, Backspace, Space, Return, Language, Symbols };
    Kind kind = Character;
    QString label;  // as drawn
    // Character keys: in Korean the two-set key ('r' for ㄱ, 'R' for ㄲ) that the composer
    // takes; otherwise the text typed.
    QString text;
    QRect rect;  // in the panel
};

inline constexpr int kPanelKeyHeight = 20;

// The keys of `layout` with Shift held or not, left to right and top to bottom. In the
// digits, `letters` names the layout that the switch key goes back to.
std::vector<PanelKey> panelKeys(KeyboardLayout layout, bool shift,
                                KeyboardLayout letters = KeyboardLayout::Korean);

// The key under `point`, or nullptr between keys or outside the panel.
const PanelKey* keyAt(const std::vector<PanelKey>& keys, const QPoint& point);

}  // namespace ui
