// The length limit of a multi-line edit, as a one-line edit has its maxLength: typing or
// pasting past it keeps only what fits, so the edit never shows more than can be kept.
#pragma once

class QPlainTextEdit;

namespace ui {

// `edit` holds at most `units` UTF-16 units from now on; text already past it is cut at the
// end. A surrogate pair is never split: the whole character goes. Set once per edit.
void setMaxLength(QPlainTextEdit* edit, int units);

}  // namespace ui
