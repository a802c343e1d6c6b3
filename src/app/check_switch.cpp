#include "app/check_switch.h"

#include <string.h>

namespace app {

const char* ArgumentText(const char* commandLine) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p > ' ') ++p;
  }
  while (*p != '\0' && *p <= ' ') ++p;
  return reinterpret_cast<const char*>(p);
}

void ParseCheckSwitch(const char* argumentText, int* checksEnabled) {
  *checksEnabled = 1;
  if (argumentText[0] != '\0' && strstr(argumentText, kNoCheckSwitch) != nullptr) *checksEnabled = 0;
}

}  // namespace app
