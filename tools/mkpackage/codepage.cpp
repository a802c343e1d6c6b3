#include "codepage.h"

namespace mkpackage {

bool IsSupportedCodePage(int codePage) {
  return codePage == kWesternCodePage || codePage == kJapaneseCodePage;
}

}  // namespace mkpackage
