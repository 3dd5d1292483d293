// Hangul syllables composed from jamo keys by the desktop's Korean input engine (libhangul),
// on the two-set (두벌식) keyboard: a key is the Latin letter at the jamo's place on that
// keyboard ('r' ㄱ, 'R' ㄲ, 'k' ㅏ, ...). After each key the engine hands back the text it has
// finished (commit) and the syllable still growing (preedit).
#pragma once

#include <QString>

struct _HangulInputContext;

namespace ui {

class HangulComposer {
public:
    HangulComposer();
    ~HangulComposer();
    HangulComposer(const HangulComposer&) = delete;
    HangulComposer& operator=(const HangulComposer&) = delete;

    // Feeds one key. True when it was a jamo key the engine took; false for any other key,
    // which the engine leaves alone (finish the syllable with flush() first).
    bool process(char key);
    // Takes back the last jamo of the syllable. False when nothing is being composed.
    bool backspace();
    // Ends the syllable: returns it as finished text and leaves nothing composing.
    QString flush();
    void reset();

    // The text finished by the last process() call.
    QString commitText() const;
    // The syllable being composed.
    QString preeditText() const;
    bool isComposing() const;

private:
    _HangulInputContext* context_;
};

}  // namespace ui
