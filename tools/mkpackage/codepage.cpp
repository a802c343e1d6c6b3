#include "codepage.h"

namespace mkpackage {

namespace {

bool NoLeadBytes(unsigned char) { return false; }

// Code page 932's lead bytes: 0x81 to 0x9F and 0xE0 to 0xFC.
bool IsLeadByteIn932(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

LeadByteTest LeadByteTestFor(int codePage) {
  return codePage == kJapaneseCodePage ? IsLeadByteIn932 : NoLeadBytes;
}

bool IsSupportedCodePage(int codePage) {
  return codePage == kWesternCodePage || codePage == kJapaneseCodePage;
}

}  // namespace mkpackage
