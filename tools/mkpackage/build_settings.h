// The settings of one build as they are gathered from a description file and
// the command line; each is unset until one of them gives it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mkpackage {

struct BuildSettings {
  std::optional<std::string> stub;
  std::optional<std::string> payload;
  std::optional<std::string> output;
  std::optional<std::string> name;
  std::optional<std::string> destination;
  std::optional<std::string> title;
  // Model patterns and "all models" are one choice: whoever gives either
  // decides the model section.
  std::optional<std::vector<std::string>> models;
  std::optional<bool> allModels;
  std::optional<std::vector<std::string>> devices;
  std::optional<int> codePage;

  // Takes every setting that `overrides` gives.
  void OverrideWith(const BuildSettings& overrides);
};

// Reads a description file (see description_file.cpp for the format). Paths
// in it are taken relative to the file's own folder.
bool ReadDescriptionFile(const std::string& path, BuildSettings* settings, std::string* error);

// The same, on the file's text; `folder` is where its relative paths start
// ("" for the current folder, else ending in a path separator).
bool ParseDescription(const std::string& text, const std::string& folder, BuildSettings* settings,
                      std::string* error);

}  // namespace mkpackage
