#include "platform/win32_calls.h"

namespace platform {

// Filled ahead of every other static object, so that a test's replacements,
// made during ordinary static initialisation, are never overwritten.
__attribute__((init_priority(101))) Win32Calls g_calls = {
    ::CreateFileA,      ::ReadFile,         ::GetTempPathA,   ::WriteFile,        ::GetTempFileNameA,
    ::CreateDirectoryA, ::SHFileOperationA, ::FindFirstFileA, ::CoCreateInstance, ::DialogBoxParamA,
};

}  // namespace platform
