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
};

struct StubCopy {
  // How many bytes of the stub the new package is built on.
  int64_t length = 0;
  // When the copy leaves a signature behind, the file offset of the 8-byte
  // security directory entry to clear, else -1: an entry pointing at a
  // certificate table that is gone would mislead whoever reads the package.
  int64_t certificateEntryToClear = -1;
  // The size of the certificate table left behind, 0 when the stub was not
  // signed.
  int64_t certificateSizeDropped = 0;
};

// False with *error when `source` is no Windows executable.
bool FindStubImage(package::PackageSource& source, StubImage* image, std::string* error);

// What of the stub a new package is built on: the image of a bare unpacker,
// without the signature of a signed one (appending breaks it anyway); for one
// that carries a package, the bytes before that package's header and the
// alignment before it, if `replacePackage` allows it. False with *error
// otherwise.
bool PlanStubCopy(package::PackageSource& stub, bool replacePackage, StubCopy* copy, std::string* error);

}  // namespace mkpackage
