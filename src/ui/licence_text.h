// The licence text shown by the licence agreement dialog.
#pragma once

namespace ui {

constexpr int kLicenceTextSize = 10000;  // the joined text and its NUL

// Writes the licence text of the language that `languageLetter` names ('j' or
// 'J': Japanese; anything else, NUL included: English) with its NUL from the
// start of `text`.
void BuildLicenceText(char languageLetter, char (&text)[kLicenceTextSize]);

}  // namespace ui
