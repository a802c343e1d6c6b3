// Builds a package: the unpacker, the header, the payload and the trailer, in
// one file that appears whole or not at all.
#pragma once

#include <string>

#include "package_definition.h"

namespace mkpackage {

struct BuildOptions {
  // A stub that already carries a package is refused unless this is set; then
  // the old package is cut off and the new one takes its place.
  bool replacePackage = false;
};

// Checks every header rule before anything is written, then writes the package
// to a temporary file beside `outputPath` and renames it into place. On failure
// returns false with *error set and leaves no output file behind (a file that
// stood at `outputPath` before stays as it was). The package's length is a
// multiple of 8, by zero bytes between the stub and the header, so that a
// signature can follow it directly. A signed stub loses its signature; then
// *notice, when given, says so.
bool BuildPackage(const PackageDefinition& definition, const std::string& stubPath,
                  const std::string& payloadPath, const std::string& outputPath, std::string* error,
                  const BuildOptions& options = BuildOptions(), std::string* notice = nullptr);

}  // namespace mkpackage
