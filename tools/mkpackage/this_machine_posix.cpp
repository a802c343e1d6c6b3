// WMI and SetupAPI exist only on Windows: the packager's Linux machine has no
// such reads, and guessing them from elsewhere would not be what the unpacker sees.
#include "this_machine.h"

namespace mkpackage {

bool ReadThisMachine(ThisMachine*, std::string* error) {
  *error = "\"machine\" needs Windows: it reads WMI and SetupAPI as the unpacker does (run mkpackage.exe)";
  return false;
}

}  // namespace mkpackage
