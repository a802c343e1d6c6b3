// Stands in for a DLL that an attacker leaves beside a downloaded program; built
// as comctl32.dll and copied under other names by the tests. It does nothing
// but leave "<its own path>.loaded" behind when a process loads it, so a test
// can tell whether the loader ever took it.
#include "platform/windows_api.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char marker[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameA(self, marker, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcpyA(marker + length, ".loaded");
  const HANDLE file =
      CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
