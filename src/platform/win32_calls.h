// The Windows calls whose failures the end-to-end tests provoke on purpose go
// through this table instead of straight to the import. The unpacker fills it
// with the real functions; the fault-injecting test build replaces single
// entries before WinMain runs ("the second ReadFile delivers nothing"), so the
// production path is the one under test.
#pragma once

#include "platform/windows_api.h"

#include <objbase.h>
#include <shellapi.h>

namespace platform {

struct Win32Calls {
  decltype(&::CreateFileA) CreateFileA;
  decltype(&::ReadFile) ReadFile;
  decltype(&::GetTempPathA) GetTempPathA;
  decltype(&::WriteFile) WriteFile;
  decltype(&::GetTempFileNameA) GetTempFileNameA;
  decltype(&::CreateDirectoryA) CreateDirectoryA;
  decltype(&::SHFileOperationA) SHFileOperationA;
  decltype(&::FindFirstFileA) FindFirstFileA;
  decltype(&::CoCreateInstance) CoCreateInstance;
  decltype(&::DialogBoxParamA) DialogBoxParamA;
};

extern Win32Calls g_calls;

}  // namespace platform
