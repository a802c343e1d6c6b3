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
};

// False with *error when `source` is no Windows executable.
bool FindStubImage(package::PackageSource& source, StubImage* image, std::string* error);

// How many bytes of the stub a new package is built on: the whole file for a
// bare unpacker; for one that carries a package, the bytes before that
// package's header, if `replacePackage` allows it. False with *error otherwise.
bool StubLengthToCopy(package::PackageSource& stub, bool replacePackage, int64_t* length, std::string* error);

}  // namespace mkpackage
