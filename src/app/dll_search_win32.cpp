// A self-extractor is started from download folders, where a planted DLL of a
// well-known name waits to be loaded from beside the executable. Before any other
// static object runs (COM start-up among them), DLLs are looked for in the system
// directory only.
#include "platform/windows_api.h"

namespace app {
namespace {

struct DllSearchRestriction {
  DllSearchRestriction() {
    // Present from Windows 8 and on Windows 7 with its loader update; looked up
    // by name so that older systems still start.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Takes the current directory out of the search order everywhere.
    SetDllDirectoryA("");
  }
};

__attribute__((init_priority(101))) DllSearchRestriction g_dllSearchRestriction;

}  // namespace
}  // namespace app
