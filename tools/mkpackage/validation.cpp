#include "validation.h"

#include <stdio.h>
#include <string.h>

#include "codepage.h"
#include "package/package_layout.h"
#include "ui/destination_examination.h"

namespace mkpackage {
namespace {

constexpr size_t kMaxModelPatterns = package::kModelSlotCount - 1;
constexpr size_t kMaxDevicePatterns = package::kDeviceSlotCount - 1;
constexpr size_t kMaxModelBytes = package::kModelSlotSize - 1;
constexpr size_t kMaxDeviceBytes = package::kDeviceSlotSize - 1;
constexpr char kForbiddenInDestination[] = "|><?*/";

std::string ByteName(char c) {
  char name[8];
  snprintf(name, sizeof name, "0x%02X", static_cast<unsigned char>(c));
  return name;
}

// Converts one text to code page bytes and applies the rules every line obeys.
bool EncodeLine(const std::string& label, const std::string& utf8, size_t maxBytes, int codePage,
                std::string* bytes, std::string* error) {
  if (!Utf8ToCodePage(utf8, codePage, bytes, error)) {
    *error = label + " " + *error;
    return false;
  }
  static const struct {
    char byte;
    const char* name;
  } kLineBreakers[] = {{'\n', "a line feed"}, {'\r', "a carriage return"}, {'\0', "a NUL byte"}};
  for (const auto& breaker : kLineBreakers) {
    if (bytes->find(breaker.byte) != std::string::npos) {
      *error = label + " holds " + breaker.name + ", which a header line cannot carry";
      return false;
    }
  }
  if (bytes->size() > maxBytes) {
    *error = label + " is " + std::to_string(bytes->size()) + " bytes long in code page " +
             std::to_string(codePage) + "; at most " + std::to_string(maxBytes) + " fit";
    return false;
  }
  return true;
}

bool EncodeModelSection(const PackageDefinition& definition, std::string* header, std::string* error) {
  if (definition.allModels && !definition.modelPatterns.empty()) {
    *error = "model patterns and a package for all models exclude each other";
    return false;
  }
  if (!definition.allModels && definition.modelPatterns.empty()) {
    *error = "no model pattern given: name the models (--model) or build for all models (--all-models)";
    return false;
  }
  if (definition.allModels && !definition.devicePatterns.empty()) {
    // The unpacker runs no check at all when the package names no model.
    *error = "device patterns have no effect in a package for all models";
    return false;
  }
  if (definition.modelPatterns.size() > kMaxModelPatterns) {
    *error = std::to_string(definition.modelPatterns.size()) + " model patterns given; at most " +
             std::to_string(kMaxModelPatterns) + " fit";
    return false;
  }
  for (size_t i = 0; i < definition.modelPatterns.size(); ++i) {
    const std::string label = "model pattern " + std::to_string(i + 1);
    std::string bytes;
    if (!EncodeLine(label, definition.modelPatterns[i], kMaxModelBytes, definition.codePage, &bytes, error))
      return false;
    if (bytes.empty()) {
      *error = label + " is empty, which would end the model list";
      return false;
    }
    if (bytes[0] == package::kModelTerminatorByte) {
      *error = label + " begins with '#', which would end the model section";
      return false;
    }
    *header += bytes + '\n';
  }
  *header += std::string(1, package::kModelTerminatorByte) + '\n';
  return true;
}

bool EncodeDeviceSection(const PackageDefinition& definition, std::string* header, std::string* error) {
  if (definition.devicePatterns.size() > kMaxDevicePatterns) {
    *error = std::to_string(definition.devicePatterns.size()) + " device patterns given; at most " +
             std::to_string(kMaxDevicePatterns) + " fit";
    return false;
  }
  for (size_t i = 0; i < definition.devicePatterns.size(); ++i) {
    const std::string label = "device pattern " + std::to_string(i + 1);
    std::string bytes;
    if (!EncodeLine(label, definition.devicePatterns[i], kMaxDeviceBytes, definition.codePage, &bytes, error))
      return false;
    if (bytes.empty()) {
      *error = label + " is empty, which would end the device list";
      return false;
    }
    if (bytes == package::kDeviceTerminator) {
      *error = label + " is \"##\", which would end the device section";
      return false;
    }
    *header += bytes + '\n';
  }
  *header += std::string(package::kDeviceTerminator) + '\n';
  return true;
}

}  // namespace

std::string PayloadFileNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name == "." || name == "..") return "names a folder, not a file";
  // The name is joined to the temporary folder: any path delimiter would put
  // the payload somewhere else. ASCII bytes in UTF-8 are always characters, so
  // a byte search finds exactly these characters.
  if (name.find_first_of("\\/:") != std::string::npos) {
    return "must be a bare file name, without '\\', '/' or ':'";
  }
  for (char c : name) {
    if (strchr("<>\"|?*", c) != nullptr || static_cast<unsigned char>(c) < 0x20) {
      return "holds the character " + ByteName(c) + ", which Windows does not allow in a file name";
    }
  }
  return std::string();
}

std::string DestinationProblem(const std::string& bytes, int codePage) {
  // The destination dialog's own examination, on the packager's machine: the
  // disks of the target machine are unknown here, so nothing "exists".
  class PackagerPathRules final : public ui::PortablePathRules {
   public:
    using PortablePathRules::PortablePathRules;
    int Exists(const char*) const override { return 0; }
  };
  const PackagerPathRules rules(LeadByteTestFor(codePage));
  if (bytes.size() < ui::kDestinationTextSize && bytes.find('\0') == std::string::npos &&
      ui::ExamineDestination(bytes.c_str(), rules) == ui::kDestinationAccepted) {
    return std::string();
  }
  // Searched byte by byte, as the dialog does: in code page 932 the second
  // byte of a character can be one of these.
  const size_t at = bytes.find_first_of(kForbiddenInDestination);
  if (at != std::string::npos) {
    return "holds the byte " + ByteName(bytes[at]) + " ('" + bytes[at] + "') in code page " +
           std::to_string(codePage) + ", which the destination dialog refuses (\"" + kForbiddenInDestination +
           "\" are not allowed, also as the second byte of a double-byte character)";
  }
  return "must begin with a drive letter, a colon and a backslash, like C:\\Drivers";
}

bool EncodeHeader(const PackageDefinition& definition, std::string* header, std::string* error) {
  if (!IsSupportedCodePage(definition.codePage)) {
    *error = "code page " + std::to_string(definition.codePage) + " is not supported; use 1252 or 932";
    return false;
  }
  const size_t maxText = package::kMaxLineBytes;
  std::string name, destination, title;
  if (!EncodeLine("payload file name", definition.payloadFileName, maxText, definition.codePage, &name,
                  error) ||
      !EncodeLine("destination folder", definition.destinationFolder, maxText, definition.codePage,
                  &destination, error) ||
      !EncodeLine("title", definition.title, maxText, definition.codePage, &title, error)) {
    return false;
  }
  const std::string nameProblem = PayloadFileNameProblem(definition.payloadFileName);
  if (!nameProblem.empty()) {
    *error = "payload file name " + nameProblem;
    return false;
  }
  const std::string destinationProblem = DestinationProblem(destination, definition.codePage);
  if (!destinationProblem.empty()) {
    *error = "destination folder " + destinationProblem;
    return false;
  }
  std::string lines = name + '\n' + destination + '\n' + title + '\n';
  if (!EncodeModelSection(definition, &lines, error) || !EncodeDeviceSection(definition, &lines, error))
    return false;
  *header = lines;
  return true;
}

}  // namespace mkpackage
