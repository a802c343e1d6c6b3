// The two licence texts as the runs of pieces that BuildLicenceText joins. The
// pieces are generated from res/licence/*.txt at build time; where one piece
// ends carries no meaning, only the joined text counts.
#pragma once

namespace ui {

constexpr int kEnglishLicencePieceCount = 9;   // ASCII
constexpr int kJapaneseLicencePieceCount = 5;  // code page 932

extern const char* const kEnglishLicencePieces[kEnglishLicencePieceCount];
extern const char* const kJapaneseLicencePieces[kJapaneseLicencePieceCount];

}  // namespace ui
