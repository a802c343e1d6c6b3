// Finds out how much of a stub file is its executable image, so that a package
// it already carries is noticed instead of being buried under a new one.
#pragma once

#include <stdint.h>

#include <string>

#include "package/package_reader.h"

namespace mkpackage {

struct StubImage {
  // Headers, raw section data and a COFF symbol table: the image proper.
  int64_t imageEnd = 0;
  // The certificate table of a signed file (size 0 when unsigned). It is not
  // loaded: signing appends it at the very end, behind a package too.
  int64_t certificateOffset = 0;
  int64_t certificateSize = 0;
  // Where the security directory entry naming that table stands in the file.
  int64_t certificateEntryOffset = 0;
};

struct StubCopy {
  // How many bytes of the stub the new package is built on.
  int64_t length = 0;
  // When the copy leaves a signature behind, the file offset of the 8-byte
  // security directory entry to clear, else -1: an entry pointing at a
  // certificate table that is gone would mislead whoever reads the package.
  int64_t certificateEntryToClear = -1;
};

// False with *error when `source` is no Windows executable.
bool FindStubImage(package::PackageSource& source, StubImage* image, std::string* error);

// What of the stub a new package is built on: the whole file for a bare
// unpacker (signed or not); for one that carries a package, the bytes before
// that package's header, if `replacePackage` allows it. False with *error
// otherwise.
bool PlanStubCopy(package::PackageSource& stub, bool replacePackage, StubCopy* copy, std::string* error);

}  // namespace mkpackage
