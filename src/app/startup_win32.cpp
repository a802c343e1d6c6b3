// The program's own start-up in place of the C runtime's. It runs the static
// constructors, WinMain, then the exit list in reverse order, and ends the
// process with WinMain's result. The runtime's start-up code and the unwind
// tables it brings would take a third of the program's size budget while doing
// nothing this program needs: no argument vector, no stdio, no threads, no
// floating-point set-up, no data imported from DLLs (the link refuses those).
#include "platform/windows_api.h"

extern "C" void __main();  // runs the static constructors, in priority order

namespace app {
namespace {

using ExitFunction = void (*)();
constexpr int kExitListSize = 16;
ExitFunction g_exitList[kExitListSize];
int g_exitCount;

}  // namespace
}  // namespace app

// Static objects register their destructors here.
extern "C" int atexit(app::ExitFunction function) {
  if (app::g_exitCount == app::kExitListSize) return -1;
  app::g_exitList[app::g_exitCount++] = function;
  return 0;
}

extern "C" void WINAPI UnpackerStart() {
  __main();
  const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);
  while (app::g_exitCount > 0) app::g_exitList[--app::g_exitCount]();
  ExitProcess(static_cast<UINT>(exitCode));
}
