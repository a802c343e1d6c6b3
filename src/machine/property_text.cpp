#include "machine/property_text.h"

namespace machine {

void ConvertToPropertyText(const char16_t* value, char (&text)[kPropertyTextSize]) {
  int length = 0;
  while (length < kPropertyTextSize - 1 && value[length] != 0 && value[length] < 256) {
    text[length] = static_cast<char>(value[length]);
    ++length;
  }
  text[length] = '\0';
}

}  // namespace machine
