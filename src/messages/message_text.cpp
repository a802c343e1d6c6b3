#include "messages/message_text.h"

#include <string.h>

namespace messages {
namespace {

constexpr char kPlaceholder[] = "%s";
constexpr char kEllipsis[] = "...";

// Length of the longest run of whole characters at the start of `text` that
// takes at most `budget` bytes.
size_t WholeCharactersWithin(const char* text, size_t length, size_t budget, LeadByteTest isLeadByte) {
  size_t taken = 0;
  while (taken < length) {
    const size_t width = isLeadByte(static_cast<unsigned char>(text[taken])) && taken + 1 < length ? 2 : 1;
    if (taken + width > budget) break;
    taken += width;
  }
  return taken;
}

}  // namespace

void FormatMessageText(const char* loaded, const char* fill, LeadByteTest isLeadByte,
                       char (&out)[kFilledTextSize]) {
  constexpr size_t kCapacity = kFilledTextSize - 1;
  const char* placeholder = strstr(loaded, kPlaceholder);
  const size_t headLength = placeholder ? static_cast<size_t>(placeholder - loaded) : strlen(loaded);
  const char* tail = placeholder ? placeholder + 2 : "";
  const char* fillText = placeholder ? fill : "";

  size_t used = 0;
  auto append = [&](const char* text, size_t length) {
    const size_t room = kCapacity - used;
    const size_t taken = WholeCharactersWithin(text, length, room, isLeadByte);
    memcpy(out + used, text, taken);
    used += taken;
  };

  append(loaded, headLength);
  const size_t tailLength = strlen(tail);
  const size_t fillLength = strlen(fillText);
  const size_t roomForFill = kCapacity - used > tailLength ? kCapacity - used - tailLength : 0;
  if (fillLength <= roomForFill) {
    append(fillText, fillLength);
  } else if (roomForFill >= sizeof kEllipsis - 1) {
    const size_t kept =
        WholeCharactersWithin(fillText, fillLength, roomForFill - (sizeof kEllipsis - 1), isLeadByte);
    append(fillText, kept);
    append(kEllipsis, sizeof kEllipsis - 1);
  }
  append(tail, tailLength);
  out[used] = '\0';
}

}  // namespace messages
