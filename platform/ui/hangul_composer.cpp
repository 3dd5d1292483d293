#include "hangul_composer.h"

#include <hangul.h>

namespace ui {

namespace {

QString fromUcs(const ucschar* text) {
    if (!text) return {};
    qsizetype n = 0;
    while (text[n]) ++n;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(text), n);
}

}  // namespace

HangulComposer::HangulComposer() : context_(hangul_ic_new("2")) {}

HangulComposer::~HangulComposer() {
    hangul_ic_delete(context_);
}

bool HangulComposer::process(char key) {
    return hangul_ic_process(context_, static_cast<unsigned char>(key));
}

bool HangulComposer::backspace() {
    return hangul_ic_backspace(context_);
}

QString HangulComposer::flush() {
    return fromUcs(hangul_ic_flush(context_));
}

void HangulComposer::reset() {
    hangul_ic_reset(context_);
}

QString HangulComposer::commitText() const {
    return fromUcs(hangul_ic_get_commit_string(context_));
}

QString HangulComposer::preeditText() const {
    return fromUcs(hangul_ic_get_preedit_string(context_));
}

bool HangulComposer::isComposing() const {
    return !hangul_ic_is_empty(context_);
}

}  // namespace ui
