#include <windows.h>

#include "carried_files.h"

namespace {

constexpr int kPathSize = 260;

// Creates each folder named on the way to the file; folders that already
// exist are fine.
void CreateParentFolders(const char* path) {
  char partial[kPathSize];
  for (int i = 0; path[i] != '\0' && i < kPathSize - 1; ++i) {
    if (path[i] == '\\') {
      partial[i] = '\0';
      CreateDirectoryA(partial, nullptr);
    }
    partial[i] = path[i];
  }
}

int WriteFileBytes(const CarriedFile& carried) {
  CreateParentFolders(carried.path);
  const HANDLE file =
      CreateFileA(carried.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, carried.bytes, carried.size, &written, nullptr) && written == carried.size;
  return CloseHandle(file) && ok;
}

}  // namespace

int WriteCarriedFiles() {
  int allWritten = 1;
  for (unsigned i = 0; i < kCarriedFileCount; ++i) allWritten &= WriteFileBytes(kCarriedFiles[i]);
  return allWritten;
}
