// The destination examination's path operations answered by the shell itself
// (shlwapi) and the file search. The end-to-end tests run the same texts
// through this and through PortablePathRules to show that both agree.
#pragma once

#include "platform/windows_api.h"

#include <shlwapi.h>

#include "ui/destination_examination.h"

namespace ui {

class ShellPathOperations final : public PathOperations {
 public:
  int IsFileSpec(const char* text) const override { return PathIsFileSpecA(text); }
  int StripToRoot(char* text) const override { return PathStripToRootA(text); }
  int GetDriveNumber(const char* text) const override { return PathGetDriveNumberA(text); }
  void RemoveBackslash(char* text) const override { PathRemoveBackslashA(text); }
  int Exists(const char* name) const override {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(name, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return 1;
  }
};

}  // namespace ui
