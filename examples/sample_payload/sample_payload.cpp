// A payload for the unpacker. Started with the command line " -s" it writes the
// files it carries into its current directory and ends; started any other way
// it only says what it is for.
#include <windows.h>

#include "carried_files.h"

namespace {

constexpr char kUsage[] =
    "This program is the payload of a self-extracting package.\n\n"
    "Started with -s, it writes the files it carries into its current directory. "
    "It is meant to be started by the package, not by hand.";

// The argument text after the program's own name: a quoted name ends at the
// closing quote, any other at the first blank or control character.
const char* ArgumentText(const char* commandLine) {
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (static_cast<unsigned char>(*p) > ' ') ++p;
  }
  while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') ++p;
  return p;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (lstrcmpA(ArgumentText(GetCommandLineA()), "-s") != 0) {
    MessageBoxA(nullptr, kUsage, "Payload", MB_ICONINFORMATION);
    return 2;
  }
  return WriteCarriedFiles() ? 0 : 1;
}
