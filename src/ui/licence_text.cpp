#include "ui/licence_text.h"

#include "ui/licence_pieces.h"

namespace ui {

void BuildLicenceText(char languageLetter, char (&text)[kLicenceTextSize]) {
  const bool japanese = languageLetter == 'j' || languageLetter == 'J';
  const char* const* pieces = japanese ? kJapaneseLicencePieces : kEnglishLicencePieces;
  const int pieceCount = japanese ? kJapaneseLicencePieceCount : kEnglishLicencePieceCount;

  // The build refuses texts that do not fit; the bound keeps a longer one from
  // running past the buffer all the same.
  int used = 0;
  for (int piece = 0; piece < pieceCount; ++piece) {
    for (const char* byte = pieces[piece]; *byte != '\0' && used < kLicenceTextSize - 1; ++byte) {
      text[used++] = *byte;
    }
  }
  text[used] = '\0';
}

}  // namespace ui
