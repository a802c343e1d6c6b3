// The package read from the unpacker's own file handle.
#pragma once

#include "package/package_reader.h"
#include "platform/windows_api.h"

namespace package {

class Win32PackageFile final : public PackageSource {
 public:
  explicit Win32PackageFile(HANDLE file) : file_(file) {}
  int64_t Length() override;
  void Seek(int64_t position) override;
  uint32_t Read(void* buffer, uint32_t count) override;

 private:
  HANDLE file_;
};

}  // namespace package
