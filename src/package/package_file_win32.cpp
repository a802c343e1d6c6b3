#include "package/package_file_win32.h"

#include "platform/win32_calls.h"

namespace package {

int64_t Win32PackageFile::Length() {
  LARGE_INTEGER length;
  length.QuadPart = 0;
  GetFileSizeEx(file_, &length);
  return length.QuadPart;
}

void Win32PackageFile::Seek(int64_t position) {
  LARGE_INTEGER distance;
  distance.QuadPart = position;
  SetFilePointerEx(file_, distance, nullptr, FILE_BEGIN);
}

uint32_t Win32PackageFile::Read(void* buffer, uint32_t count) {
  DWORD delivered = 0;
  platform::g_calls.ReadFile(file_, buffer, count, &delivered, nullptr);
  return delivered;
}

}  // namespace package
