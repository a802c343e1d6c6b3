// Reads a finished package with the unpacker's own reader and explains, when
// that reader refuses it, where the header breaks.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>

#include "package/package_reader.h"

namespace mkpackage {

struct PackageReport {
  int64_t fileSize = 0;
  // Where the package's trailer ends: before the certificate table of a
  // signed package, at the end of the file otherwise.
  int64_t packageEnd = 0;
  bool isSigned = false;
  int64_t certificateSize = 0;
  int64_t headerOffset = 0;
  int64_t payloadOffset = 0;
  int64_t payloadSize = 0;
  std::unique_ptr<package::PackageHeader> header;

  bool AppliesToAllModels() const { return header->modelPatterns[0][0] == package::kModelTerminatorByte; }
};

// True when the unpacker would accept the package: its reader takes the
// trailer and the header, and at least one payload byte stands between the
// header and the trailer. Otherwise false with *error saying why.
bool ReadPackage(package::PackageSource& source, PackageReport* report, std::string* error);

// Copies the payload (without the trailer) to `outputPath`, whole or not at all.
bool ExtractPayload(FILE* package, const PackageReport& report, const std::string& outputPath,
                    std::string* error);

}  // namespace mkpackage
