// What a packager asks for: the header fields as UTF-8 text and the ANSI code
// page the package targets. The builder converts and checks them before it
// writes a single byte.
#pragma once

#include <string>
#include <vector>

namespace mkpackage {

struct PackageDefinition {
  std::string payloadFileName;
  std::string destinationFolder;
  std::string title;
  std::vector<std::string> modelPatterns;
  std::vector<std::string> devicePatterns;
  // An empty model section makes the package apply to every machine; asking for
  // it explicitly keeps a forgotten --model from shipping such a package.
  bool allModels = false;
  int codePage = 1252;
};

}  // namespace mkpackage
