// A payload that copies its own file, as the unpacker wrote it into the
// temporary folder, into its current directory as payload-copy.bin. Delivered
// into the destination, that copy shows byte for byte what the unpacker took
// from the package as the payload.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return 1;
  return CopyFileA(self, "payload-copy.bin", FALSE) ? 0 : 1;
}
