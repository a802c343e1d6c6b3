// The payload of the end-to-end tests: it writes what it was started with
// (command line, current directory) into invocation.txt, then the files it
// carries, all into its current directory.
#include <windows.h>

#include "carried_files.h"

namespace {

constexpr char kRecordName[] = "invocation.txt";
constexpr int kPathSize = 260;

int WriteAll(HANDLE file, const char* text) {
  DWORD written = 0;
  const DWORD length = static_cast<DWORD>(lstrlenA(text));
  return WriteFile(file, text, length, &written, nullptr) && written == length;
}

// Line 1: the whole command line between brackets; line 2: the current
// directory.
int RecordInvocation() {
  char directory[kPathSize];
  if (GetCurrentDirectoryA(kPathSize, directory) == 0) return 0;
  const HANDLE file =
      CreateFileA(kRecordName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  const int ok = WriteAll(file, "[") && WriteAll(file, GetCommandLineA()) && WriteAll(file, "]\r\n") &&
                 WriteAll(file, directory) && WriteAll(file, "\r\n");
  return CloseHandle(file) && ok;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return RecordInvocation() && WriteCarriedFiles() ? 0 : 1;
}
