#include "machine_match.h"

#include <string.h>

#include "codepage.h"
#include "machine/applicability.h"
#include "machine/property_text.h"

namespace mkpackage {
namespace {

// Strict UTF-8 (no overlong forms, surrogates or values above U+10FFFF) to
// UTF-16, as the system's MultiByteToWideChar with MB_ERR_INVALID_CHARS takes it.
bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16) {
  utf16->clear();
  for (size_t at = 0; at < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[at]);
    int length = 0;
    char32_t value = 0, least = 0;
    if (lead < 0x80) {
      length = 1, value = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, value = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, value = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, value = lead & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (at + length > utf8.size()) return false;
    for (int i = 1; i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(utf8[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    if (value >= 0x10000) {
      utf16->push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
      utf16->push_back(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
    } else {
      utf16->push_back(static_cast<char16_t>(value));
    }
    at += static_cast<size_t>(length);
  }
  return true;
}

template <size_t Size>
int CopyText(const std::optional<std::string>& text, char (&buffer)[Size]) {
  if (!text || text->size() >= Size) return 0;
  memcpy(buffer, text->c_str(), text->size() + 1);
  return 1;
}

// The described machine behind the rules' platform reads, remembering which
// reads the decision made.
class DescribedMachine final : public machine::MachineReads {
 public:
  DescribedMachine(const std::optional<std::string>& manufacturer, const std::optional<std::string>& model,
                   const std::optional<std::vector<std::string>>& pciInstanceIds)
      : manufacturer_(manufacturer), model_(model), pciInstanceIds_(pciInstanceIds) {}

  int ReadManufacturer(char (&text)[machine::kPropertyTextSize]) override {
    manufacturerRead = true;
    return CopyText(manufacturer_, text);
  }
  int ReadModel(char (&text)[machine::kPropertyTextSize]) override {
    modelRead = true;
    return CopyText(model_, text);
  }
  int OpenPciDevices() override {
    devicesListed = true;
    return pciInstanceIds_.has_value();
  }
  // An ID that does not fit the unpacker's buffer is one SetupAPI cannot hand
  // over: that device is skipped.
  machine::DeviceRead ReadPciDevice(int index, char (&instanceId)[machine::kInstanceIdSize]) override {
    if (index >= static_cast<int>(pciInstanceIds_->size())) return machine::DeviceRead::Ended;
    if (!CopyText((*pciInstanceIds_)[index], instanceId)) return machine::DeviceRead::Skipped;
    lastDeviceRead = index;
    return machine::DeviceRead::Read;
  }
  void ClosePciDevices() override {}

  bool manufacturerRead = false, modelRead = false, devicesListed = false;
  int lastDeviceRead = -1;

 private:
  std::optional<std::string> manufacturer_, model_;
  std::optional<std::vector<std::string>> pciInstanceIds_;
};

bool NamesNoModels(const package::PackageHeader& header) {
  // The decision turns the checks off for good only for a package naming no models.
  int checksEnabled = 1;
  DescribedMachine nothing(std::nullopt, std::nullopt, std::nullopt);
  machine::IsMachineApplicable(&checksEnabled, header, nothing);
  return checksEnabled == 0;
}

// The check passed, so the first pattern that matches on its own is the one
// the check stopped at: every slot before it neither matched nor ended the list.
std::string MatchedModelPattern(const machine::ModelPatterns& patterns, const std::string& model) {
  for (const char* pattern : patterns) {
    if (machine::MatchModelPattern(pattern, model.c_str())) return pattern;
  }
  return std::string();
}

// The first device slot that, as the only pattern, lets the device pass.
std::string MatchedDevicePattern(const machine::DevicePatterns& patterns, const std::string& device) {
  for (const char* pattern : patterns) {
    machine::DevicePatterns one = {};
    strncpy(one[0], pattern, sizeof one[0] - 1);
    DescribedMachine reads(std::nullopt, std::nullopt, std::vector<std::string>{device});
    if (machine::CheckPciDevices(one, reads)) return pattern;
  }
  return std::string();
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool Utf8ToPropertyText(const std::string& utf8, std::string* text, std::string* error) {
  std::u16string utf16;
  if (!Utf8ToUtf16(utf8, &utf16)) {
    *error = "is not valid UTF-8 text";
    return false;
  }
  char buffer[machine::kPropertyTextSize];
  machine::ConvertToPropertyText(utf16.c_str(), buffer);
  *text = buffer;
  return true;
}

std::string PropertyTextToUtf8(const std::string& text) {
  std::string utf8;
  for (const char byte : text) {
    const unsigned char value = static_cast<unsigned char>(byte);
    if (value < 0x80) {
      utf8 += byte;
    } else {
      utf8 += static_cast<char>(0xC0 | (value >> 6));
      utf8 += static_cast<char>(0x80 | (value & 0x3F));
    }
  }
  return utf8;
}

bool MatchMachine(const package::PackageHeader& header, const MachineDescription& described,
                  bool checksEnabled, int codePage, MatchOutcome* outcome, std::string* error) {
  auto asRead = [error](const std::optional<std::string>& given, const char* name,
                        std::optional<std::string>* text) {
    if (!given) return true;
    std::string converted;
    if (!Utf8ToPropertyText(*given, &converted, error)) {
      *error = std::string(name) + " " + Quoted(*given) + " " + *error;
      return false;
    }
    *text = converted;
    return true;
  };
  std::optional<std::string> manufacturer, model;
  if (!asRead(described.manufacturer, "manufacturer", &manufacturer) ||
      !asRead(described.model, "model", &model))
    return false;
  std::optional<std::vector<std::string>> devices;
  if (described.pciInstanceIds) {
    devices.emplace();
    for (const auto& id : *described.pciInstanceIds) {
      std::string bytes;
      if (!Utf8ToCodePage(id, codePage, &bytes, error)) {
        *error = "PCI instance ID " + Quoted(id) + " " + *error;
        return false;
      }
      devices->push_back(bytes);
    }
  }

  *outcome = MatchOutcome();
  auto shown = [&](const std::optional<std::string>& text) -> std::optional<std::string> {
    if (!text) return std::nullopt;
    return PropertyTextToUtf8(*text);
  };
  outcome->manufacturerAsRead = shown(manufacturer);
  outcome->modelAsRead = shown(model);
  outcome->pciDevicesListed = devices.has_value();

  int checks = checksEnabled ? 1 : 0;
  DescribedMachine reads(manufacturer, model, devices);
  outcome->applicable = machine::IsMachineApplicable(&checks, header, reads) != 0;

  // The reads made tell which check ended the decision: each runs only after
  // the one before it passed.
  if (!reads.manufacturerRead) {
    outcome->decidedBy = NamesNoModels(header) ? DecidingCheck::AllModels : DecidingCheck::Switch;
    return true;
  }
  if (!reads.modelRead) {
    outcome->decidedBy = DecidingCheck::Manufacturer;
    return true;
  }
  outcome->decidedBy = reads.devicesListed ? DecidingCheck::PciDevices : DecidingCheck::Model;
  if (outcome->decidedBy == DecidingCheck::Model && !outcome->applicable) return true;
  outcome->modelPattern = CodePageToUtf8(MatchedModelPattern(header.modelPatterns, *model), codePage);
  if (outcome->decidedBy == DecidingCheck::PciDevices && outcome->applicable) {
    const std::string& device = (*devices)[static_cast<size_t>(reads.lastDeviceRead)];
    outcome->pciDevice = CodePageToUtf8(device, codePage);
    outcome->devicePattern = CodePageToUtf8(MatchedDevicePattern(header.devicePatterns, device), codePage);
  }
  return true;
}

const char* DecidingCheckName(DecidingCheck check) {
  switch (check) {
    case DecidingCheck::AllModels:
      return "all-models";
    case DecidingCheck::Switch:
      return "switch";
    case DecidingCheck::Manufacturer:
      return "manufacturer";
    case DecidingCheck::Model:
      return "model";
    case DecidingCheck::PciDevices:
      return "pci-devices";
  }
  return "";
}

std::string DescribeOutcome(const MatchOutcome& outcome) {
  std::string text = std::string(outcome.applicable ? "applicable: " : "not applicable: ") +
                     DecidingCheckName(outcome.decidedBy) + ": ";
  const char* const kNoneGiven = "none given (a failed WMI read)";
  switch (outcome.decidedBy) {
    case DecidingCheck::AllModels:
      return text + "the package names no models, so no check runs";
    case DecidingCheck::Switch:
      return text + "\"-a ZORV_NOCHECK\" turns the checks off";
    case DecidingCheck::Manufacturer:
      if (!outcome.manufacturerAsRead) return text + kNoneGiven;
      return text + Quoted(*outcome.manufacturerAsRead) + " does not begin with " +
             Quoted(machine::kManufacturerPrefix);
    case DecidingCheck::Model:
      if (!outcome.modelAsRead) return text + kNoneGiven;
      if (!outcome.applicable) return text + Quoted(*outcome.modelAsRead) + " matches no model pattern";
      return text + Quoted(*outcome.modelAsRead) + " matches the model pattern " +
             Quoted(*outcome.modelPattern) + "; the package names no devices";
    case DecidingCheck::PciDevices:
      if (outcome.applicable) {
        text +=
            Quoted(*outcome.pciDevice) + " begins with the device pattern " + Quoted(*outcome.devicePattern);
      } else {
        text += outcome.pciDevicesListed ? "no device given begins with a device pattern"
                                         : "the device list cannot be made";
      }
      return text + " (model " + Quoted(*outcome.modelAsRead) + " matches the model pattern " +
             Quoted(*outcome.modelPattern) + ")";
  }
  return text;
}

}  // namespace mkpackage
