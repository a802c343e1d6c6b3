// The package most tests start from: a payload, a destination, a title, two
// model patterns and one device pattern, all valid.
#pragma once

#include "mkpackage/package_definition.h"

namespace mkpackage_test {

inline mkpackage::PackageDefinition TypicalDefinition() {
  mkpackage::PackageDefinition definition;
  definition.payloadFileName = "setup.exe";
  definition.destinationFolder = "C:\\Drivers\\Audio";
  definition.title = "Audio Driver";
  definition.modelPatterns = {"QR-7.B", "QR-80"};
  definition.devicePatterns = {"PCI\\VEN_10EC&DEV_8168"};
  return definition;
}

}  // namespace mkpackage_test
